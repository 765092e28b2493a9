// The cartridge loader's protocol: sync handshake, length-prefixed frames and
// replies, the data-byte encoding and the commands G, E, D, W and F.
#include <cstring>

#include "../platform/clock.h"
#include "uSER_KV.h"

uint8_t BYTE_SINC = 0;
uint8_t TX_BUF[260];
uint8_t RX_BUF[260];
int RX_TAM = 0;
uint8_t ERRO_COM = ERRO_OK;
std::string NUMERO_SERIE;

namespace {

constexpr uint8_t CMD_G = 'G';  // start the firmware
constexpr uint8_t CMD_E = 'E';  // erase a Page
constexpr uint8_t CMD_D = 'D';  // read a Page
constexpr uint8_t CMD_W = 'W';  // write a Page
constexpr uint8_t CMD_F = 'F';  // write half a Block

constexpr uint8_t TAM_QUADRO_G = 2;         // length byte, command
constexpr uint8_t TAM_QUADRO_CURTO = 4;     // length byte, command, address
constexpr uint8_t TAM_QUADRO_DADOS = 0x85;  // 5 header bytes and 128 data bytes
constexpr int INICIO_DADOS = 5;             // data offset in a W or F frame
constexpr uint8_t W_CONSTANTE = 0x08;       // fixed byte of the W frame
constexpr uint8_t F_METADE_BAIXA = 0x00;    // F: Block bytes 0 to 127
constexpr uint8_t F_METADE_ALTA = 0x80;     // F: Block bytes 128 to 255
constexpr int TAM_RESPOSTA_D = 130;         // length byte, acknowledgement, 128 data bytes
constexpr int TAM_RESPOSTA_ACK = 2;         // length byte, acknowledgement
const char PREFIXO_IDENTIDADE[] = "30";     // leads the identity text

uint8_t byte_alto(uint16_t v) { return static_cast<uint8_t>(v >> 8); }
uint8_t byte_baixo(uint16_t v) { return static_cast<uint8_t>(v & 0xFF); }

// Frame of a command on a 16-bit address: L, command, aH, aL.
void MONTA_QUADRO_CURTO(uint8_t comando, uint16_t endereco) {
    TX_BUF[0] = TAM_QUADRO_CURTO;
    TX_BUF[1] = comando;
    TX_BUF[2] = byte_alto(endereco);
    TX_BUF[3] = byte_baixo(endereco);
}

// Frame of 128 data bytes: L, command, three argument bytes, encoded data.
void MONTA_QUADRO_DADOS(uint8_t comando, uint8_t arg1, uint8_t arg2, uint8_t arg3, const uint8_t* dados) {
    TX_BUF[0] = TAM_QUADRO_DADOS;
    TX_BUF[1] = comando;
    TX_BUF[2] = arg1;
    TX_BUF[3] = arg2;
    TX_BUF[4] = arg3;
    for (int i = 0; i < TAM_PAGINA; ++i) TX_BUF[INICIO_DADOS + i] = CODIFICA_BYTE(dados[i]);
}

// One exchange of the frame in TX_BUF whose reply must acknowledge it.
bool TROCA_COM_ACK() { return ENVIA_COMANDO() && RECEBE_RESPOSTA() && RX_BUF[0] == ACK; }

}  // namespace

uint8_t CODIFICA_BYTE(uint8_t b) { return static_cast<uint8_t>(((b >> 4) | ((b & 0x0F) << 4)) ^ 0xFF); }

bool ENVIA_COMANDO() {
    plat::serial_purge(PORTA, plat::PURGE_TXCLEAR_FLAG);
    plat::serial_purge(PORTA, plat::PURGE_RXCLEAR_FLAG);
    ERRO_COM = ERRO_OK;
    uint32_t contagem = 0;
    if (!ESCREVE_PORTA(&BYTE_SINC, 1, contagem)) {
        ERRO_COM = ERRO_ESCRITA;
    } else {
        // The loader answers the sync byte with its complement; anything else
        // is dropped, and the sync byte is not sent again.
        const uint8_t complemento = static_cast<uint8_t>(~BYTE_SINC);
        const uint32_t t0 = plat::tick_ms();
        uint32_t t = t0;
        do {
            const bool lido = LE_PORTA(1, RX_BUF, contagem);
            t = plat::tick_ms();
            if (lido && RX_BUF[0] == complemento) break;
        } while (plat::elapsed_ms(t0, t) <= LIMITE_ESPERA_MS);
        // A complement that came too late is a time-out all the same.
        if (plat::elapsed_ms(t0, t) > LIMITE_ESPERA_MS) ERRO_COM = ERRO_TEMPO;
    }
    if (ERRO_COM == ERRO_OK) {
        // One write call per frame byte: the loader takes them one at a time.
        for (int i = 0; i < TX_BUF[0]; ++i) {
            if (!ESCREVE_PORTA(&TX_BUF[i], 1, contagem)) {
                ERRO_COM = ERRO_ESCRITA;
                break;
            }
        }
    }
    return ERRO_COM == ERRO_OK;
}

bool RECEBE_RESPOSTA() {
    plat::sleep_ms(PAUSA_RESPOSTA_MS);
    ERRO_COM = ERRO_OK;
    uint32_t contagem = 0;
    const uint32_t t0 = plat::tick_ms();
    uint32_t t = t0;
    do {
        if (LE_PORTA(1, RX_BUF, contagem)) {
            RX_TAM = RX_BUF[0];
            ERRO_COM = ERRO_OK;
            break;
        }
        ERRO_COM = ERRO_LEITURA;
        t = plat::tick_ms();
    } while (plat::elapsed_ms(t0, t) <= LIMITE_ESPERA_MS);
    if (plat::elapsed_ms(t0, t) > LIMITE_ESPERA_MS) ERRO_COM = ERRO_TEMPO;

    if (ERRO_COM == ERRO_OK && RX_TAM == 0) ERRO_COM = ERRO_TAMANHO_ZERO;
    // The body goes over the length byte: the acknowledgement lands in RX_BUF[0].
    if (ERRO_COM == ERRO_OK && !LE_PORTA(RX_TAM - 1, RX_BUF, contagem)) ERRO_COM = ERRO_LEITURA;
    return ERRO_COM == ERRO_OK;
}

bool COMANDO_G() {
    TX_BUF[0] = TAM_QUADRO_G;
    TX_BUF[1] = CMD_G;
    return TROCA_COM_ACK();
}

bool APAGA_PAGINA(uint16_t endereco) {
    MONTA_QUADRO_CURTO(CMD_E, endereco);
    return TROCA_COM_ACK();
}

bool LE_PAGINA(uint16_t endereco, uint8_t pagina[TAM_PAGINA]) {
    MONTA_QUADRO_CURTO(CMD_D, endereco);
    // A reply too short to hold a Page would leave bytes of earlier replies
    // in RX_BUF: it is a failed read, and the Page is left as it was.
    if (!ENVIA_COMANDO() || !RECEBE_RESPOSTA() || RX_TAM < TAM_RESPOSTA_D) return false;
    for (int i = 0; i < TAM_PAGINA; ++i) pagina[i] = CODIFICA_BYTE(RX_BUF[1 + i]);
    return true;
}

bool GRAVA_PAGINA(uint16_t endereco, const uint8_t pagina[TAM_PAGINA]) {
    if (!APAGA_PAGINA(endereco)) return false;
    plat::sleep_ms(PAUSA_APAGA_GRAVA_MS);
    MONTA_QUADRO_DADOS(CMD_W, W_CONSTANTE, byte_alto(endereco), byte_baixo(endereco), pagina);
    return TROCA_COM_ACK();
}

bool GRAVA_BLOCO(uint16_t bloco, const uint8_t dados[TAM_BLOCO]) {
    MONTA_QUADRO_DADOS(CMD_F, byte_alto(bloco), byte_baixo(bloco), F_METADE_BAIXA, dados);
    if (!TROCA_COM_ACK()) return false;
    MONTA_QUADRO_DADOS(CMD_F, byte_alto(bloco), byte_baixo(bloco), F_METADE_ALTA, dados + TAM_PAGINA);
    return TROCA_COM_ACK();
}

bool LE_INFO(std::string& texto, uint8_t pagina[TAM_PAGINA]) {
    if (!LE_PAGINA(ENDERECO_IDENTIDADE, pagina)) {
        texto.clear();
        return false;
    }
    texto = PREFIXO_IDENTIDADE + BYTE_PARA_HEX(pagina[0]) + BYTE_PARA_HEX(pagina[1]) + BYTE_PARA_HEX(pagina[2]);
    return true;
}

bool LE_SERIE(std::string& texto) {
    uint8_t pagina[TAM_PAGINA];
    return LE_INFO(texto, pagina);
}

bool GRAVA_PAGINA_HEX(uint16_t endereco, const std::string& texto) {
    uint8_t pagina[TAM_PAGINA];
    std::memset(pagina, 0xFF, sizeof pagina);
    HEX_PARA_BYTES(texto, pagina, TAM_PAGINA);
    return GRAVA_PAGINA(endereco, pagina);
}

bool GRAVA_BLOCO_HEX(uint16_t bloco, const std::string& texto) {
    uint8_t dados[TAM_BLOCO];
    std::memset(dados, 0xFF, sizeof dados);
    HEX_PARA_BYTES(texto, dados, TAM_BLOCO);
    return GRAVA_BLOCO(bloco, dados);
}

CausaFalha CAUSA_FALHA() {
    // A wait or a read that failed ended with the exchange's last read: when
    // the system refused that one, the port is gone, whatever the cartridge did.
    switch (ERRO_COM) {
    case ERRO_ESCRITA: return FALHA_PORTA;
    case ERRO_TEMPO: return LEITURA_RECUSADA ? FALHA_PORTA : FALHA_SEM_RESPOSTA;
    case ERRO_LEITURA: return LEITURA_RECUSADA ? FALHA_PORTA : FALHA_RESPOSTA_INCOMPLETA;
    case ERRO_TAMANHO_ZERO: return FALHA_RESPOSTA_INCOMPLETA;
    default: break;
    }
    // A whole reply came. TX_BUF still holds the frame it answered: a D
    // needs a Page in it, every other command only the acknowledgement.
    const bool leitura = TX_BUF[1] == CMD_D;
    if (RX_TAM < (leitura ? TAM_RESPOSTA_D : TAM_RESPOSTA_ACK)) return FALHA_RESPOSTA_INCOMPLETA;
    if (!leitura && RX_BUF[0] != ACK) return FALHA_RECUSA;
    return FALHA_NENHUMA;
}
