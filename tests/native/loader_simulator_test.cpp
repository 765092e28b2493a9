// Loader commands against a whole loader: the cartridge simulator keeps what
// the host writes, and hands it back.
#include <chrono>
#include <memory>

#include <gtest/gtest.h>

#include "clock.h"
#include "posix/serial_ports.h"
#include "simulator.h"
#include "uSER_KV.h"

namespace {

constexpr int PORTA_SIMULADOR = 10;

class LoaderSimulatorTest : public ::testing::Test {
protected:
    void inicia(sim::Options opcoes) {
        opcoes.identity = sim::default_identity();
        simulador = std::make_unique<sim::Simulator>(opcoes);
        std::string erro;
        ASSERT_TRUE(simulador->start(&erro)) << erro;
        plat::serial_set_device_path(PORTA_SIMULADOR, simulador->slave_path());
        ASSERT_TRUE(CONECTA(PORTA_SIMULADOR));
        BYTE_SINC = opcoes.sync_byte;
    }
    void TearDown() override {
        DESCONECTA();
        if (simulador) simulador->stop();
        plat::set_fast_forward(false);
        plat::serial_set_device_path(PORTA_SIMULADOR, "");
    }
    std::unique_ptr<sim::Simulator> simulador;
};

std::string texto_hex(int n, int semente) {
    std::string texto;
    for (int i = 0; i < n; ++i) texto += BYTE_PARA_HEX(static_cast<uint8_t>(i * semente + 1));
    return texto;
}

TEST_F(LoaderSimulatorTest, PageWrittenFromHexTextReadsBackTheSame) {
    plat::set_fast_forward(true);
    inicia({});
    const std::string texto = texto_hex(TAM_PAGINA, 37);
    ASSERT_TRUE(GRAVA_PAGINA_HEX(0x9C00, texto));
    uint8_t pagina[TAM_PAGINA] = {};
    ASSERT_TRUE(LE_PAGINA(0x9C00, pagina));
    std::string lido;
    for (uint8_t b : pagina) lido += BYTE_PARA_HEX(b);
    EXPECT_EQ(lido, texto);
}

TEST_F(LoaderSimulatorTest, BlockWrittenFromHexTextIsKeptWhole) {
    plat::set_fast_forward(true);
    inicia({});
    const std::string texto = texto_hex(TAM_BLOCO, 11);
    ASSERT_TRUE(GRAVA_BLOCO_HEX(20, texto));
    const auto blocos = simulador->blocks();
    ASSERT_EQ(blocos.count(20), 1u);
    std::string guardado;
    for (uint8_t b : blocos.at(20)) guardado += BYTE_PARA_HEX(b);
    EXPECT_EQ(guardado, texto);
}

TEST_F(LoaderSimulatorTest, IdentityTextOfAnOtherGenerationLoader) {
    plat::set_fast_forward(true);
    sim::Options opcoes;
    opcoes.sync_byte = 0x85;
    inicia(opcoes);
    std::string texto;
    EXPECT_TRUE(LE_SERIE(texto));
    EXPECT_EQ(texto, "3012AB0F");
}

TEST_F(LoaderSimulatorTest, PageWriteTakesTwoReplyPausesAndTheErasePauseAtLeast) {
    sim::Options opcoes;
    opcoes.paced = true;
    inicia(opcoes);
    const auto inicio = std::chrono::steady_clock::now();
    EXPECT_TRUE(GRAVA_PAGINA_HEX(0x8080, texto_hex(TAM_PAGINA, 3)));
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - inicio).count();
    EXPECT_GE(ms, 2 * PAUSA_RESPOSTA_MS + PAUSA_APAGA_GRAVA_MS);
    EXPECT_LT(ms, 1000);
}

// The host waits for the complement of every sync byte, so an adapter's
// latency timer adds its length to every command; the acknowledgement, held
// for less than the reply pause, costs nothing more.
TEST_F(LoaderSimulatorTest, AdapterLatencyDelaysEveryCommandByItsLength) {
    constexpr uint32_t LATENCIA_MS = 60;
    sim::Options opcoes;
    opcoes.latency_ms = LATENCIA_MS;
    inicia(opcoes);
    const auto inicio = std::chrono::steady_clock::now();
    EXPECT_TRUE(COMANDO_G());
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - inicio).count();
    EXPECT_GE(ms, LATENCIA_MS + PAUSA_RESPOSTA_MS);
    EXPECT_LT(ms, 1000);
}

}  // namespace
