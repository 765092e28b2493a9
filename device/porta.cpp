// The one serial port of an update attempt: opened by number, with fixed line
// settings and time-outs, written and read in whole transfers.
#include "uSER_KV.h"

plat::PortHandle PORTA = plat::NO_PORT;
bool PORTA_ABERTA = false;
uint32_t ERRO_SO_PORTA = 0;
bool LEITURA_RECUSADA = false;

namespace {
constexpr uint8_t BITS_DADOS = 8;
constexpr uint8_t SEM_PARIDADE = 0;
}  // namespace

plat::PortHandle ABRE_PORTA(int numero, uint8_t& status) {
    status = ABRE_OK;
    ERRO_SO_PORTA = 0;
    plat::PortHandle porta = plat::serial_open(numero, &ERRO_SO_PORTA);
    if (porta < 0) {
        status = ABRE_SEM_DISPOSITIVO;
        return porta;
    }
    plat::serial_setup_queues(porta, PORTA_FILA_BYTES, PORTA_FILA_BYTES);
    plat::serial_set_line(porta, PORTA_BAUD, BITS_DADOS, SEM_PARIDADE);
    if (!plat::serial_set_timeouts(porta, PORTA_TIMEOUTS)) status = ABRE_SEM_TIMEOUTS;
    return porta;
}

bool CONECTA(int numero) {
    if (PORTA_ABERTA) {
        // Left open by an attempt that never disconnected: release the stale
        // handle so that the next call can open the port afresh.
        DESCONECTA();
        return false;
    }
    uint8_t status = ABRE_OK;
    plat::PortHandle porta = ABRE_PORTA(numero, status);
    if (status != ABRE_OK) {
        FECHA_PORTA(porta);
        return false;
    }
    PORTA = porta;
    PORTA_ABERTA = true;
    return true;
}

void DESCONECTA() {
    if (!PORTA_ABERTA) return;
    FECHA_PORTA(PORTA);
    PORTA = plat::NO_PORT;
    PORTA_ABERTA = false;
}

void FECHA_PORTA(plat::PortHandle porta) {
    if (porta < 0) return;
    plat::serial_purge(porta, plat::PURGE_RXCLEAR_FLAG);
    plat::serial_purge(porta, plat::PURGE_TXCLEAR_FLAG);
    plat::serial_close(porta);
}

bool ESCREVE_PORTA(const uint8_t* dados, int n, uint32_t& escritos) {
    escritos = 0;
    if (n < 0) return false;
    return plat::serial_write(PORTA, dados, static_cast<uint32_t>(n), &escritos) &&
           escritos == static_cast<uint32_t>(n);
}

bool LE_PORTA(int n, uint8_t* buffer, uint32_t& lidos) {
    lidos = 0;
    LEITURA_RECUSADA = false;
    if (n < 0) return false;
    return plat::serial_read(PORTA, buffer, static_cast<uint32_t>(n), &lidos, &LEITURA_RECUSADA) &&
           lidos == static_cast<uint32_t>(n);
}
