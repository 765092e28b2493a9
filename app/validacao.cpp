// Package validation: runs before the pass shows anything, so that an unsound
// package is refused before a byte reaches the cartridge. It refuses what
// would make the update write other than what the package says, or keep the
// walk from ending inside the package, and nothing that the walk passes over.
// Reads no entry past "FIM".
#include "validacao.h"

#include "pacote.h"

namespace {

bool eh_digito_hex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

// Every refusal names an entry, in a sentence of its own.
std::string defeito(int32_t indice, const std::string& motivo) {
    return "Defeito na entrada " + std::to_string(indice) + ": " + motivo + ".";
}

// Index of the first `marca` in [de, ate), or -1.
int32_t procura(const char* marca, int32_t de, int32_t ate) {
    for (int32_t j = de; j < ate; ++j)
        if (LE_ENTRADA(j) == marca) return j;
    return -1;
}

// Why a Page or Block entry would not be written as it reads, or "": the
// conversion skips other characters, drops digits past the area, makes a
// byte 00 of an empty text and a byte 0 to 15 of a lone last digit.
std::string defeito_dados(const std::string& entrada, size_t max_digitos, const char* tipo) {
    const std::string nome = std::string("a entrada de ") + tipo;
    if (entrada.empty()) return nome + " está vazia";
    for (size_t i = 0; i < entrada.size(); ++i)
        if (!eh_digito_hex(entrada[i]))
            return "o caractere " + std::to_string(i + 1) + " da entrada de " + tipo +
                   " não é um dígito hexadecimal (0 a 9, A a F)";
    const std::string digitos = std::to_string(entrada.size()) + " dígitos";
    if (entrada.size() > max_digitos)
        return nome + " tem " + digitos + "; cabem no máximo " + std::to_string(max_digitos);
    if (entrada.size() % 2 != 0) return nome + " tem " + digitos + ", um número ímpar: o último byte está cortado";
    return "";
}

// A run of data entries closed by "*", from `j`: the index after the "*", or
// the defect.
struct Secao {
    int32_t proxima;
    std::string defeito;
};

Secao le_secao(int32_t j, int32_t F, size_t digitos, const char* tipo, const std::string& secao) {
    for (; j < F; ++j) {
        const std::string entrada = LE_ENTRADA(j);
        if (entrada == MARCA_SECAO) return {j + 1, ""};
        const std::string motivo = defeito_dados(entrada, digitos, tipo);
        if (!motivo.empty()) return {j, defeito(j, motivo)};
    }
    return {j, defeito(F, "o \"FIM\" vem antes do \"*\" que fecha a " + secao)};
}

// ENDERECO_3 and ENDERECO_4 are erased and recorded as HEX_PARA_INT reads
// them, which skips other characters: only digits give the address meant.
bool eh_endereco(const std::string& entrada) {
    if (entrada.empty() || entrada.size() > 4) return false;
    for (char c : entrada)
        if (!eh_digito_hex(c)) return false;
    return true;
}

}  // namespace

std::string VALIDA_PACOTE() {
    int32_t F = -1, ultima = 0;
    for (int32_t j = 0; j < MAX_ENTRADAS && F < 0; ++j) {
        const std::string entrada = LE_ENTRADA(j);
        if (entrada == MARCA_FIM) F = j;
        else if (!entrada.empty()) ultima = j;
    }
    if (F < 0) return defeito(ultima, "é a última entrada do pacote, e não há entrada \"FIM\" que o encerre");

    const int32_t S = procura(MARCA_SECAO, PRIMEIRA_LINHA, F);
    if (S < 0) return defeito(F, "o \"FIM\" vem antes do \"*\" que encerra as linhas de texto");
    uint8_t versao = 0;
    if (!LE_NUM_VERSAO(LE_ENTRADA(3), &versao))
        return defeito(3, "o número da versão não é um número inteiro decimal");

    // S + 1 to S + 7 are passed over by position, whatever they hold.
    int32_t j = S + 8;
    for (int secao = 1; secao <= 6; ++secao) {
        Secao s = le_secao(j, F, DIGITOS_PAGINA, "página", "seção de firmware " + std::to_string(secao));
        if (!s.defeito.empty()) return s.defeito;
        j = s.proxima;
    }
    // Entries between the sixth "*" and "**" are never read.
    const int32_t M = procura(MARCA_MODULOS, S + 8, F);
    if (M < 0) return defeito(F, "o \"FIM\" vem antes da marca \"**\" que segue as seções de firmware");
    // M + 1 and M + 2 are not used.
    for (j = M + 3; j <= M + 4; ++j) {
        if (j >= F) return defeito(F, "o \"FIM\" vem antes dos endereços que seguem a marca \"**\"");
        if (!eh_endereco(LE_ENTRADA(j)))
            return defeito(j, "o endereço deve ter de 1 a 4 dígitos hexadecimais (0 a 9, A a F)");
    }
    const int32_t C = procura(MARCA_SECAO, M + 5, F);
    if (C < 0) return defeito(F, "o \"FIM\" vem antes do \"*\" que encerra a lista de módulos");
    const int chaves = C - (M + 5);

    // "FIM" lies below MAX_ENTRADAS, so the Blocks are fewer than 65536 and
    // their numbers and total fit 16 bits.
    int secoes = 0;
    for (j = C + 1; j < F; ++secoes) {
        if (secoes == 1 && LE_ENTRADA(j) == MARCA_SECAO)
            return defeito(j, "a seção de módulo 1 está vazia, mas é do seu primeiro bloco que vem a página "
                              "gravada em 8080");
        Secao s = le_secao(j, F, DIGITOS_BLOCO, "bloco", "seção de módulo " + std::to_string(secoes));
        if (!s.defeito.empty()) return s.defeito;
        j = s.proxima;
    }
    const std::string tem = "o pacote tem " + std::to_string(secoes) + " seções de módulo";
    if (secoes < secoes_sem_teste(chaves))
        return defeito(F, tem + ", e são necessárias pelo menos " + std::to_string(secoes_sem_teste(chaves)) +
                              ": o número de chaves de módulo mais três, e no mínimo quatro");
    if (secoes > MAX_SECOES_MODULO)
        return defeito(F, tem + "; cabem no máximo " + std::to_string(MAX_SECOES_MODULO));
    return "";
}
