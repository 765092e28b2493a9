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

constexpr int SIMULATOR_PORT = 10;

class LoaderSimulatorTest : public ::testing::Test {
protected:
    void start_loader(sim::Options options) {
        options.identity = sim::default_identity();
        loader = std::make_unique<sim::Simulator>(options);
        std::string error;
        ASSERT_TRUE(loader->start(&error)) << error;
        plat::serial_set_device_path(SIMULATOR_PORT, loader->slave_path());
        ASSERT_TRUE(CONECTA(SIMULATOR_PORT));
        BYTE_SINC = options.sync_byte;
    }
    void TearDown() override {
        DESCONECTA();
        if (loader) loader->stop();
        plat::set_fast_forward(false);
        plat::serial_set_device_path(SIMULATOR_PORT, "");
    }
    std::unique_ptr<sim::Simulator> loader;
};

std::string hex_text(int n, int seed) {
    std::string text;
    for (int i = 0; i < n; ++i) text += BYTE_PARA_HEX(static_cast<uint8_t>(i * seed + 1));
    return text;
}

TEST_F(LoaderSimulatorTest, PageWrittenFromHexTextReadsBackTheSame) {
    plat::set_fast_forward(true);
    start_loader({});
    const std::string text = hex_text(TAM_PAGINA, 37);
    ASSERT_TRUE(GRAVA_PAGINA_HEX(0x9C00, text));
    uint8_t page[TAM_PAGINA] = {};
    ASSERT_TRUE(LE_PAGINA(0x9C00, page));
    std::string got_reply;
    for (uint8_t b : page) got_reply += BYTE_PARA_HEX(b);
    EXPECT_EQ(got_reply, text);
}

TEST_F(LoaderSimulatorTest, BlockWrittenFromHexTextIsKeptWhole) {
    plat::set_fast_forward(true);
    start_loader({});
    const std::string text = hex_text(TAM_BLOCO, 11);
    ASSERT_TRUE(GRAVA_BLOCO_HEX(20, text));
    const auto blocks = loader->blocks();
    ASSERT_EQ(blocks.count(20), 1u);
    std::string guardado;
    for (uint8_t b : blocks.at(20)) guardado += BYTE_PARA_HEX(b);
    EXPECT_EQ(guardado, text);
}

TEST_F(LoaderSimulatorTest, IdentityTextOfAnOtherGenerationLoader) {
    plat::set_fast_forward(true);
    sim::Options options;
    options.sync_byte = 0x85;
    start_loader(options);
    std::string text;
    EXPECT_TRUE(LE_SERIE(text));
    EXPECT_EQ(text, "3012AB0F");
}

TEST_F(LoaderSimulatorTest, PageWriteTakesTwoReplyPausesAndTheErasePauseAtLeast) {
    sim::Options options;
    options.paced = true;
    start_loader(options);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(GRAVA_PAGINA_HEX(0x8080, hex_text(TAM_PAGINA, 3)));
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(ms, 2 * PAUSA_RESPOSTA_MS + PAUSA_APAGA_GRAVA_MS);
    EXPECT_LT(ms, 1000);
}

// The host waits for the complement of every sync byte, so an adapter's
// latency timer adds its length to every command; the acknowledgement, held
// for less than the reply pause, costs nothing more.
TEST_F(LoaderSimulatorTest, AdapterLatencyDelaysEveryCommandByItsLength) {
    constexpr uint32_t LATENCIA_MS = 60;
    sim::Options options;
    options.latency_ms = LATENCIA_MS;
    start_loader(options);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(COMANDO_G());
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(ms, LATENCIA_MS + PAUSA_RESPOSTA_MS);
    EXPECT_LT(ms, 1000);
}

}  // namespace
