// libFuzzer harness: arbitrary bytes from the loader's side of the line into
// the host's reply path (RECEBE_RESPOSTA, LE_PAGINA). The first input byte
// picks the target; fuzz_hex.cpp takes the hexadecimal conversions.
#include <algorithm>

#include "clock.h"
#include "posix/serial_ports.h"
#include "pty_peer.h"
#include "uSER_KV.h"

namespace {

using testing_pty::Bytes;
using testing_pty::PtyPeer;

constexpr int PORTA_FUZZ = 7;
constexpr size_t MAXIMO_LINHA = 1024;  // below the pty's input queue: a write never blocks
// The port's completion rules with shorter limits, so that a reply that stops
// short costs a millisecond per byte, not a tenth of a second. A reply cut
// early by them is a failed read, which the checks below allow for.
constexpr plat::LineTimeouts TIMEOUTS_FUZZ{2, 1, 0, 5000, 5000};
constexpr int ESPERA_PEER_MS = 1000;

void exige(bool condicao) {
    if (!condicao) __builtin_trap();
}

PtyPeer& linha() {
    static PtyPeer* peer = [] {
        auto* p = new PtyPeer;
        exige(p->ok());
        plat::serial_set_device_path(PORTA_FUZZ, p->slave_path());
        exige(CONECTA(PORTA_FUZZ));
        exige(plat::serial_set_timeouts(PORTA, TIMEOUTS_FUZZ));
        plat::set_fast_forward(true);
        BYTE_SINC = 0x87;
        return p;
    }();
    return *peer;
}

// A reply already waiting on the line when the host looks for it.
void resposta(const Bytes& bytes) {
    if (bytes.empty()) return;  // no length byte at all only tests a 5 s wait
    plat::serial_purge(PORTA, plat::PURGE_RXCLEAR_FLAG);
    linha().write(bytes);
    const bool ok = RECEBE_RESPOSTA();
    if (ok) {
        exige(RX_TAM == bytes[0] && RX_TAM > 0 && bytes.size() >= static_cast<size_t>(RX_TAM));
        if (RX_TAM > 1) exige(std::equal(bytes.begin() + 1, bytes.begin() + RX_TAM, RX_BUF));
    } else {
        exige(ERRO_COM == ERRO_TAMANHO_ZERO || ERRO_COM == ERRO_LEITURA || ERRO_COM == ERRO_TEMPO);
    }
}

// A D exchange whose reply is the input.
void pagina(const Bytes& bytes) {
    if (bytes.empty()) return;
    PtyPeer& peer = linha();
    peer.play([&bytes](PtyPeer& p) {
        p.read(1, ESPERA_PEER_MS);
        p.write({static_cast<uint8_t>(~BYTE_SINC)});
        p.read(4, ESPERA_PEER_MS);
        p.write(bytes);
    });
    uint8_t lida[TAM_PAGINA];
    std::fill(lida, lida + TAM_PAGINA, 0x5C);
    const bool ok = LE_PAGINA(0x8000, lida);
    peer.join();
    if (ok) {
        exige(bytes[0] >= 130 && bytes.size() >= bytes[0]);
        for (int i = 0; i < TAM_PAGINA; ++i) exige(lida[i] == CODIFICA_BYTE(bytes[2 + i]));
    } else {
        exige(std::all_of(lida, lida + TAM_PAGINA, [](uint8_t b) { return b == 0x5C; }));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t* corpo = data + 1;
    const size_t n = std::min(size - 1, MAXIMO_LINHA);
    if (data[0] % 2 == 0)
        resposta(Bytes(corpo, corpo + n));
    else
        pagina(Bytes(corpo, corpo + n));
    return 0;
}
