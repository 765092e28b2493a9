// Device link: the serial port, the cartridge loader's commands and the
// hexadecimal conversions shared with the firmware package.
#pragma once
#include <cstdint>
#include <string>

#include "../platform/serial.h"

// --- Serial port (porta.cpp) ---------------------------------------------
constexpr uint32_t PORTA_BAUD = 19200;
constexpr uint32_t PORTA_FILA_BYTES = 256;  // receive and transmit queues
constexpr plat::LineTimeouts PORTA_TIMEOUTS{100, 100, 0, 5000, 5000};

enum : uint8_t { ABRE_OK = 0, ABRE_SEM_DISPOSITIVO = 1, ABRE_SEM_TIMEOUTS = 2 };

extern plat::PortHandle PORTA;
extern bool PORTA_ABERTA;
extern uint32_t ERRO_SO_PORTA;  // OS error number of the last open that failed, 0 if none
// The last LE_PORTA failed because the system refused the read (a port gone,
// a device error), not because the port's time-outs ended it.
extern bool LEITURA_RECUSADA;

plat::PortHandle ABRE_PORTA(int numero, uint8_t& status);
bool CONECTA(int numero);
void DESCONECTA();
void FECHA_PORTA(plat::PortHandle porta);
bool ESCREVE_PORTA(const uint8_t* dados, int n, uint32_t& escritos);
bool LE_PORTA(int n, uint8_t* buffer, uint32_t& lidos);

// --- Loader commands (comandos.cpp) --------------------------------------
constexpr uint8_t BYTE_DESPERTA = 0xAB;  // wake byte, sent raw once per attempt
constexpr uint8_t ACK = 0xAA;
constexpr uint32_t PAUSA_DESPERTA_MS = 80;
constexpr uint32_t PAUSA_RESPOSTA_MS = 80;
constexpr uint32_t PAUSA_APAGA_GRAVA_MS = 50;
constexpr uint32_t LIMITE_ESPERA_MS = 5000;
constexpr uint16_t ENDERECO_IDENTIDADE = 0x8000;
constexpr int TAM_PAGINA = 128;
constexpr int TAM_BLOCO = 256;

enum : uint8_t { ERRO_OK = 0, ERRO_ESCRITA = 1, ERRO_TAMANHO_ZERO = 2, ERRO_LEITURA = 4, ERRO_TEMPO = 5 };

// Why the last command failed, as its exchange left it.
enum CausaFalha : uint8_t {
    FALHA_NENHUMA = 0,          // it succeeded
    FALHA_RECUSA,               // a whole reply came, without the acknowledgement
    FALHA_SEM_RESPOSTA,         // no complement or no reply within the limit
    FALHA_RESPOSTA_INCOMPLETA,  // length 0, a body cut short, or shorter than the command's reply
    FALHA_PORTA,                // the port refused a write, or the read that ended the wait
};

extern uint8_t BYTE_SINC;
extern uint8_t TX_BUF[260];
extern uint8_t RX_BUF[260];
extern int RX_TAM;
extern uint8_t ERRO_COM;
extern std::string NUMERO_SERIE;

bool ENVIA_COMANDO();
bool RECEBE_RESPOSTA();
uint8_t CODIFICA_BYTE(uint8_t b);
bool COMANDO_G();
bool APAGA_PAGINA(uint16_t endereco);
bool LE_PAGINA(uint16_t endereco, uint8_t pagina[TAM_PAGINA]);
bool GRAVA_PAGINA(uint16_t endereco, const uint8_t pagina[TAM_PAGINA]);
bool GRAVA_BLOCO(uint16_t bloco, const uint8_t dados[TAM_BLOCO]);
bool LE_SERIE(std::string& texto);
bool LE_INFO(std::string& texto, uint8_t pagina[TAM_PAGINA]);
bool GRAVA_PAGINA_HEX(uint16_t endereco, const std::string& texto);
bool GRAVA_BLOCO_HEX(uint16_t bloco, const std::string& texto);
// The cause of the last command's failure; read it before another command.
CausaFalha CAUSA_FALHA();

// --- Hexadecimal text (hex.cpp) ------------------------------------------
int64_t HEX_PARA_INT(const std::string& texto);
// Fills area[0..] by pairs of digits; never writes past `tamanho` bytes.
void HEX_PARA_BYTES(const std::string& texto, uint8_t* area, int tamanho);
std::string BYTE_PARA_HEX(uint8_t b);  // two upper-case digits, zero-padded
