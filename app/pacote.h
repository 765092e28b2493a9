// The firmware package: its entries, markers and walk constants.
#pragma once
#include <cstdint>
#include <string>

const char* const MARCA_FIM = "FIM";        // ends the package
const char* const MARCA_SECAO = "*";        // ends every list and section
const char* const MARCA_MODULOS = "**";     // follows the last firmware section
constexpr int32_t PRIMEIRA_LINHA = 4;       // first display line
constexpr int DIGITOS_PAGINA = 256;
constexpr int DIGITOS_BLOCO = 512;
constexpr int FOLGA_PROGRESSO = 10;         // the bar's range exceeds the single steps
constexpr int MAX_SECOES_MODULO = 54;       // what the identity page's directory holds
constexpr int32_t MAX_ENTRADAS = 65536;     // string identifiers are 16-bit

// Module sections the update takes before it first looks for "FIM": K + 3 for
// K module keys, and at least 4. A sound package holds at least this many.
constexpr int secoes_sem_teste(int chaves) { return chaves == 0 ? 4 : chaves + 3; }

// Entry 3 as the pass reads it: a decimal integer, an optional sign before
// its digits, of which the low 8 bits count. False for any other text.
bool LE_NUM_VERSAO(const std::string& texto, uint8_t* versao);

// What the user is told of a package that fails its checks.
const char* const TEXTO_PACOTE_DANIFICADO =
    "O pacote de atualização deste programa está danificado e não pode ser gravado no cartucho.";

// The entry's text; the empty text for an index the package does not hold.
std::string LE_ENTRADA(int32_t indice);
