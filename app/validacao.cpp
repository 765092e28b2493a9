// Package validation: runs before the pass shows anything, so that an unsound
// package is refused before a byte reaches the cartridge. Reads no entry past
// "FIM".
#include "validacao.h"

#include <algorithm>
#include <cctype>

#include "pacote.h"

namespace {

bool eh_hex(const std::string& texto, size_t max_digitos) {
    return !texto.empty() && texto.size() <= max_digitos &&
           std::all_of(texto.begin(), texto.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); });
}

bool eh_decimal(const std::string& texto) {
    size_t inicio = !texto.empty() && texto[0] == '-' ? 1 : 0;
    return texto.size() > inicio && texto.size() - inicio <= 9 &&
           std::all_of(texto.begin() + inicio, texto.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string erro(int32_t indice, const std::string& texto) {
    return "entrada " + std::to_string(indice) + ": " + texto;
}

// Index of the first `marca` in [de, ate), or -1.
int32_t procura(const char* marca, int32_t de, int32_t ate) {
    for (int32_t j = de; j < ate; ++j)
        if (LE_ENTRADA(j) == marca) return j;
    return -1;
}

// A run of data entries closed by "*", from `j`: the index after the "*", or
// what is wrong.
struct Secao {
    int32_t proxima;
    std::string erro;
};

Secao le_secao(int32_t j, int32_t fim, int digitos, const char* tipo) {
    for (; j < fim; ++j) {
        std::string entrada = LE_ENTRADA(j);
        if (entrada == MARCA_SECAO) return {j + 1, ""};
        if (!eh_hex(entrada, digitos))
            return {j, erro(j, std::string("esperada uma entrada de ") + tipo + " com até " +
                                   std::to_string(digitos) + " dígitos hexadecimais ou \"*\"")};
    }
    return {j, erro(j, "falta o \"*\" que fecha a seção")};
}

}  // namespace

std::string VALIDA_PACOTE() {
    const int32_t F = procura(MARCA_FIM, 0, MAX_ENTRADAS);
    if (F < 0) return "falta a entrada \"FIM\" que encerra o pacote";
    if (!eh_decimal(LE_ENTRADA(3))) return erro(3, "o número da versão não é um número decimal");

    const int32_t S = procura(MARCA_SECAO, PRIMEIRA_LINHA, F);
    if (S < 0) return erro(F, "falta o \"*\" que encerra as linhas do pacote");
    for (int32_t j = S + 1; j <= S + 6; ++j)
        if (j >= F || !eh_hex(LE_ENTRADA(j), 4)) return erro(j, "esperado um endereço de seção");
    if (S + 7 >= F || LE_ENTRADA(S + 7) != MARCA_SECAO) return erro(S + 7, "esperado \"*\" após os endereços");

    int32_t j = S + 8;
    for (int secao = 1; secao <= 6; ++secao) {
        Secao s = le_secao(j, F, DIGITOS_PAGINA, "página");
        if (!s.erro.empty()) return s.erro;
        j = s.proxima;
    }
    const int32_t M = j;
    if (M >= F || LE_ENTRADA(M) != MARCA_MODULOS) return erro(M, "esperado \"**\" após a sexta seção");
    for (j = M + 1; j <= M + 4; ++j)
        if (j >= F || !eh_hex(LE_ENTRADA(j), 4)) return erro(j, "esperado um endereço após \"**\"");

    const int32_t C = procura(MARCA_SECAO, M + 5, F);
    if (C < 0) return erro(F, "falta o \"*\" que encerra a lista de módulos");
    for (j = M + 5; j < C; ++j)
        if (LE_ENTRADA(j) == MARCA_MODULOS) return erro(j, "marca \"**\" na lista de módulos");
    const int32_t K = C - (M + 5);

    // "FIM" lies below MAX_ENTRADAS, so the Blocks are fewer than 65536 and
    // their numbers and total fit 16 bits.
    int secoes = 0;
    for (j = C + 1; j < F; ++secoes) {
        if (secoes == 1 && LE_ENTRADA(j) == MARCA_SECAO) return erro(j, "a seção de módulo 1 está vazia");
        Secao s = le_secao(j, F, DIGITOS_BLOCO, "bloco");
        if (!s.erro.empty()) return s.erro;
        j = s.proxima;
    }
    if (secoes < secoes_sem_teste(K))
        return erro(F, "o pacote tem " + std::to_string(secoes) + " seções de módulo; são necessárias pelo menos " +
                           std::to_string(secoes_sem_teste(K)));
    if (secoes > MAX_SECOES_MODULO)
        return erro(F, "o pacote tem " + std::to_string(secoes) + " seções de módulo; cabem no máximo " +
                           std::to_string(MAX_SECOES_MODULO));
    return "";
}
