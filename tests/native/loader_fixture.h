// Shared set-up for the loader command tests: an open port on a pty whose far
// end the test plays as the cartridge's loader, byte by byte.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "clock.h"
#include "posix/serial_ports.h"
#include "pty_peer.h"
#include "uSER_KV.h"

namespace testing_pty {

constexpr int PORTA_CARREGADOR = 8;
constexpr int ESPERA_PEER_MS = 3000;  // how long the far end waits for the host

// The data encoding written out independently of the code under test.
inline uint8_t codifica_ref(uint8_t b) { return static_cast<uint8_t>(~((b << 4) | (b >> 4))); }

inline Bytes codificados(const uint8_t* dados, int n) {
    Bytes saida;
    for (int i = 0; i < n; ++i) saida.push_back(codifica_ref(dados[i]));
    return saida;
}

// The loader's side of a handshake and a frame: takes the sync byte, answers
// its complement, takes the whole frame. Returns the frame, or whatever came
// instead before the host stopped sending.
inline Bytes recebe_quadro(PtyPeer& p, uint8_t sinc = 0x87) {
    Bytes s = p.read(1, ESPERA_PEER_MS);
    if (s != Bytes{sinc}) return s;
    p.write({static_cast<uint8_t>(~sinc)});
    Bytes quadro = p.read(1, ESPERA_PEER_MS);
    if (quadro.empty()) return quadro;
    Bytes resto = p.read(static_cast<size_t>(quadro[0]) - 1, ESPERA_PEER_MS);
    quadro.insert(quadro.end(), resto.begin(), resto.end());
    return quadro;
}

// A D reply carrying `pagina`: length 130, acknowledgement, 128 encoded bytes.
inline Bytes resposta_d(const uint8_t* pagina) {
    Bytes r{0x82, 0xAA};
    Bytes d = codificados(pagina, TAM_PAGINA);
    r.insert(r.end(), d.begin(), d.end());
    return r;
}

// Takes the sync byte and answers it with the complement of 0x87 only once
// the tick counter is past the 5 s limit; the host notes the start of its wait
// first.
inline void complemento_atrasado(PtyPeer& p) {
    p.read(1, ESPERA_PEER_MS);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    plat::advance_ticks(LIMITE_ESPERA_MS + 1);
    p.write({0x78});
}

inline Bytes concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer.ok());
        plat::serial_set_device_path(PORTA_CARREGADOR, peer.slave_path());
        ASSERT_TRUE(CONECTA(PORTA_CARREGADOR));
        BYTE_SINC = 0x87;
        plat::set_fast_forward(true);  // pauses are checked in tests of their own
    }
    void TearDown() override {
        peer.join();
        DESCONECTA();
        plat::set_fast_forward(false);
        plat::serial_set_device_path(PORTA_CARREGADOR, "");
    }
    PtyPeer peer;
};

}  // namespace testing_pty
