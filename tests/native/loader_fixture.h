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

constexpr int LOADER_PORT = 8;
constexpr int PEER_WAIT_MS = 3000;  // how long the far end waits for the host

using test_helpers::concat;
using test_helpers::encoded;

inline Bytes encoded_bytes(const uint8_t* data, int n) {
    Bytes out;
    for (int i = 0; i < n; ++i) out.push_back(encoded(data[i]));
    return out;
}

// The loader's side of a handshake and a frame: takes the sync byte, answers
// its complement, takes the whole frame. Returns the frame, or whatever came
// instead before the host stopped sending.
inline Bytes take_frame(PtyPeer& p, uint8_t sync = 0x87) {
    Bytes s = p.read(1, PEER_WAIT_MS);
    if (s != Bytes{sync}) return s;
    p.write({static_cast<uint8_t>(~sync)});
    Bytes frame = p.read(1, PEER_WAIT_MS);
    if (frame.empty()) return frame;
    Bytes rest = p.read(static_cast<size_t>(frame[0]) - 1, PEER_WAIT_MS);
    frame.insert(frame.end(), rest.begin(), rest.end());
    return frame;
}

// A D reply carrying `page`: length 130, acknowledgement, 128 encoded bytes.
inline Bytes d_reply(const uint8_t* page) {
    Bytes r{0x82, 0xAA};
    Bytes d = encoded_bytes(page, TAM_PAGINA);
    r.insert(r.end(), d.begin(), d.end());
    return r;
}

// Takes the sync byte and answers it with the complement of 0x87 only once
// the tick counter is past the 5 s limit; the host notes the start of its wait
// first.
inline void late_complement(PtyPeer& p) {
    p.read(1, PEER_WAIT_MS);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    plat::advance_ticks(LIMITE_ESPERA_MS + 1);
    p.write({0x78});
}

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer.ok());
        plat::serial_set_device_path(LOADER_PORT, peer.slave_path());
        ASSERT_TRUE(CONECTA(LOADER_PORT));
        BYTE_SINC = 0x87;
        plat::set_fast_forward(true);  // pauses are checked in tests of their own
    }
    void TearDown() override {
        peer.join();
        DESCONECTA();
        plat::set_fast_forward(false);
        plat::serial_set_device_path(LOADER_PORT, "");
    }
    PtyPeer peer;
};

}  // namespace testing_pty
