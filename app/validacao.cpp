// Package validation: runs before the pass shows anything, so that an unsound
// package is refused before a byte reaches the cartridge. It holds the
// package to the layout the update walks by position (the six section bases,
// six firmware sections closed by "*" and then "**", module sections of one
// or more Blocks up to "FIM"), so that every Page and Block is written where
// its author laid it out, and refuses whatever the conversion would write
// other than the entry spells. Reads no entry past "FIM".
//
// The same file is built into pkgcheck, which refuses an unsound package at
// build time.
#include "validacao.h"

#include <cstdio>

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
// conversion skips other characters, drops digits past the area and makes a
// byte 00 of an empty text. A lone last digit is a byte of its own, 0 to 15.
std::string defeito_dados(const std::string& entrada, size_t max_digitos, const char* tipo) {
    const std::string nome = std::string("a entrada de ") + tipo;
    if (entrada.empty()) return nome + " está vazia";
    for (size_t i = 0; i < entrada.size(); ++i)
        if (!eh_digito_hex(entrada[i]))
            return "o caractere " + std::to_string(i + 1) + " da entrada de " + tipo +
                   " não é um dígito hexadecimal (0 a 9, A a F)";
    if (entrada.size() > max_digitos)
        return nome + " tem " + std::to_string(entrada.size()) + " dígitos; cabem no máximo " +
               std::to_string(max_digitos);
    return "";
}

// What a section holds: Pages in the six firmware sections, Blocks in the
// module area.
struct Conteudo {
    size_t digitos;
    const char* tipo;
    bool firmware;
};
const Conteudo PAGINAS = {DIGITOS_PAGINA, "página", true};
const Conteudo BLOCOS = {DIGITOS_BLOCO, "bloco", false};

// A section of one or more data entries closed by "*", from `j`: the index
// after the "*", or the defect. `vazia` says why it may not be empty.
struct Secao {
    int32_t proxima;
    std::string defeito;
};

Secao le_secao(int32_t j, int32_t F, const Conteudo& conteudo, const std::string& secao, const char* vazia) {
    if (j < F && LE_ENTRADA(j) == MARCA_SECAO) return {j, defeito(j, "a " + secao + " está vazia: " + vazia)};
    for (; j < F; ++j) {
        const std::string entrada = LE_ENTRADA(j);
        if (entrada == MARCA_SECAO) return {j + 1, ""};
        if (conteudo.firmware && entrada == MARCA_MODULOS)
            return {j, defeito(j, "a marca \"**\" vem antes do \"*\" que fecha a " + secao +
                                      "; o pacote deve ter seis seções de firmware")};
        const std::string motivo = defeito_dados(entrada, conteudo.digitos, conteudo.tipo);
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

// The bases the program writes the six firmware sections at, as the package
// names them.
struct Base {
    const char* texto;
    int32_t endereco;
};
const Base BASES[6] = {{"8C00", 0x8C00}, {"AA00", 0xAA00}, {"B480", 0xB480},
                       {"8100", 0x8100}, {"8C00", 0x8C00}, {"8E00", 0x8E00}};

// The entries after the first "*" name those bases; a package naming others
// would be written elsewhere than it says. The "*" after them closes the list.
std::string defeito_bases(int32_t S, int32_t F) {
    for (int k = 1; k <= 7; ++k) {
        const int32_t j = S + k;
        if (j == F)
            return defeito(F, "o \"FIM\" vem antes do \"*\" que encerra os endereços das seções de firmware");
        const std::string entrada = LE_ENTRADA(j);
        if (k == 7 && entrada != MARCA_SECAO)
            return defeito(j, "deve ser o \"*\" que encerra os endereços das seções de firmware");
        if (k < 7 && entrada != BASES[k - 1].texto)
            return defeito(j, std::string("deve ser \"") + BASES[k - 1].texto +
                                  "\", o endereço em que o programa grava a seção de firmware " + std::to_string(k));
    }
    return "";
}

// ENDERECO_3 and ENDERECO_4 are erased after the firmware sections are
// written: the 128 bytes from the address at entry `j` must not cover any of
// their Pages (past FFFF they wrap to 0000, below every section).
std::string defeito_apagamento(int32_t j, const int32_t paginas[6]) {
    const std::string texto = LE_ENTRADA(j);
    const int32_t inicio = static_cast<int32_t>(std::stoul(texto, nullptr, 16)), fim = inicio + 0x80;
    for (int secao = 1; secao <= 6; ++secao) {
        const int32_t base = BASES[secao - 1].endereco, depois = base + 0x80 * paginas[secao - 1];
        if (inicio >= depois || fim <= base) continue;
        const int32_t pagina = inicio <= base ? base : base + (inicio - base) / 0x80 * 0x80;
        char nome[8];
        std::snprintf(nome, sizeof nome, "%04X", static_cast<unsigned>(pagina));
        return defeito(j, "o programa apaga a página neste endereço (" + texto +
                              ") depois de gravar as seções de firmware, e apagaria a página " + nome +
                              " da seção de firmware " + std::to_string(secao));
    }
    return "";
}

}  // namespace

bool LE_NUM_VERSAO(const std::string& texto, uint8_t* versao) {
    const bool negativo = !texto.empty() && texto[0] == '-';
    const size_t inicio = !texto.empty() && (texto[0] == '-' || texto[0] == '+') ? 1 : 0;
    if (texto.size() == inicio) return false;
    uint8_t baixos = 0;  // the value modulo 256, however many digits it has
    for (size_t i = inicio; i < texto.size(); ++i) {
        if (texto[i] < '0' || texto[i] > '9') return false;
        baixos = static_cast<uint8_t>(baixos * 10 + (texto[i] - '0'));
    }
    *versao = negativo ? static_cast<uint8_t>(-baixos) : baixos;
    return true;
}

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
    std::string motivo = defeito_bases(S, F);
    if (!motivo.empty()) return motivo;

    int32_t j = S + 8;
    int32_t paginas[6];
    for (int secao = 1; secao <= 6; ++secao) {
        const std::string nome = "seção de firmware " + std::to_string(secao);
        Secao s = le_secao(j, F, PAGINAS, nome,
                           "cada seção de firmware precisa de pelo menos uma página antes do seu \"*\"");
        if (!s.defeito.empty()) return s.defeito;
        // Page addresses are 16-bit: one past FFFF would wrap to 0000.
        const int32_t cabem = (0x10000 - BASES[secao - 1].endereco) / 0x80;
        paginas[secao - 1] = s.proxima - 1 - j;
        if (paginas[secao - 1] > cabem)
            return defeito(j + cabem, "a " + nome + " não cabe na memória do cartucho: esta página ficaria depois "
                                      "do endereço FFFF");
        j = s.proxima;
    }
    // The walk jumps from the sixth "*" to the module area: whatever stood
    // between them would never be written.
    const int32_t M = j;
    if (M == F) return defeito(F, "o \"FIM\" vem antes da marca \"**\" que segue as seções de firmware");
    if (LE_ENTRADA(M) != MARCA_MODULOS)
        return defeito(M, "deve ser a marca \"**\", pois vem logo após o sexto \"*\" das seções de firmware "
                          "(entrada " + std::to_string(M - 1) + "); um \"*\" a mais dentro de uma seção também "
                          "leva a isso");
    // M + 1 and M + 2 are not used.
    for (j = M + 3; j <= M + 4; ++j) {
        if (j >= F) return defeito(F, "o \"FIM\" vem antes dos endereços que seguem a marca \"**\"");
        if (!eh_endereco(LE_ENTRADA(j)))
            return defeito(j, "o endereço deve ter de 1 a 4 dígitos hexadecimais (0 a 9, A a F)");
        motivo = defeito_apagamento(j, paginas);
        if (!motivo.empty()) return motivo;
    }
    const int32_t C = procura(MARCA_SECAO, M + 5, F);
    if (C < 0) return defeito(F, "o \"FIM\" vem antes do \"*\" que encerra a lista de módulos");
    const int chaves = C - (M + 5);

    // "FIM" lies below MAX_ENTRADAS, so the Blocks are fewer than 65536 and
    // their numbers and total fit 16 bits. An empty module section would
    // take a directory entry of its own and put every later start one off.
    int secoes = 0;
    for (j = C + 1; j < F; ++secoes) {
        const char* vazia = secoes == 1 ? "é do seu primeiro bloco que vem a página gravada em 8080"
                                        : "cada seção de módulo precisa de pelo menos um bloco antes do seu \"*\"";
        Secao s = le_secao(j, F, BLOCOS, "seção de módulo " + std::to_string(secoes), vazia);
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
