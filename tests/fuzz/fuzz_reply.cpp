// libFuzzer harness: arbitrary bytes from the loader's side of the line into
// the host's reply path (RECEBE_RESPOSTA, LE_PAGINA). The first input byte
// picks the target; fuzz_hex.cpp takes the hexadecimal conversions.
#include <algorithm>

#include "clock.h"
#include "posix/serial_ports.h"
#include "pty_peer.h"
#include "test_helpers.h"
#include "uSER_KV.h"

namespace {

using testing_pty::Bytes;
using testing_pty::PtyPeer;

constexpr int FUZZ_PORT = 7;
constexpr size_t MAX_LINE_BYTES = 1024;  // below the pty's input queue: a write never blocks
// The port's completion rules with shorter limits, so that a reply that stops
// short costs a millisecond per byte, not a tenth of a second. A reply cut
// early by them is a failed read, which the checks below allow for.
constexpr plat::LineTimeouts FUZZ_TIMEOUTS{2, 1, 0, 5000, 5000};
constexpr int PEER_WAIT_MS = 1000;

PtyPeer& line() {
    static PtyPeer* peer = [] {
        auto* p = new PtyPeer;
        REQUIRE(p->ok());
        plat::serial_set_device_path(FUZZ_PORT, p->slave_path());
        REQUIRE(CONECTA(FUZZ_PORT));
        REQUIRE(plat::serial_set_timeouts(PORTA, FUZZ_TIMEOUTS));
        plat::set_fast_forward(true);
        BYTE_SINC = 0x87;
        return p;
    }();
    return *peer;
}

// A reply already waiting on the line when the host looks for it.
void waiting_reply(const Bytes& bytes) {
    if (bytes.empty()) return;  // no length byte at all only tests a 5 s wait
    plat::serial_purge(PORTA, plat::PURGE_RXCLEAR_FLAG);
    line().write(bytes);
    const bool ok = RECEBE_RESPOSTA();
    if (ok) {
        REQUIRE(RX_TAM == bytes[0] && RX_TAM > 0 && bytes.size() >= static_cast<size_t>(RX_TAM));
        if (RX_TAM > 1) REQUIRE(std::equal(bytes.begin() + 1, bytes.begin() + RX_TAM, RX_BUF));
    } else {
        REQUIRE(ERRO_COM == ERRO_TAMANHO_ZERO || ERRO_COM == ERRO_LEITURA || ERRO_COM == ERRO_TEMPO);
    }
}

// A D exchange whose reply is the input.
void page_read(const Bytes& bytes) {
    if (bytes.empty()) return;
    PtyPeer& peer = line();
    peer.play([&bytes](PtyPeer& p) {
        p.read(1, PEER_WAIT_MS);
        p.write({static_cast<uint8_t>(~BYTE_SINC)});
        p.read(4, PEER_WAIT_MS);
        p.write(bytes);
    });
    uint8_t page[TAM_PAGINA];
    std::fill(page, page + TAM_PAGINA, 0x5C);
    const bool ok = LE_PAGINA(0x8000, page);
    peer.join();
    if (ok) {
        REQUIRE(bytes[0] >= 130 && bytes.size() >= bytes[0]);
        for (int i = 0; i < TAM_PAGINA; ++i) REQUIRE(page[i] == CODIFICA_BYTE(bytes[2 + i]));
    } else {
        REQUIRE(std::all_of(page, page + TAM_PAGINA, [](uint8_t b) { return b == 0x5C; }));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t* body = data + 1;
    const size_t n = std::min(size - 1, MAX_LINE_BYTES);
    if (data[0] % 2 == 0)
        waiting_reply(Bytes(body, body + n));
    else
        page_read(Bytes(body, body + n));
    return 0;
}
