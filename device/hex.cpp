// Hexadecimal text: the numbers and firmware of the package, the identity text.
#include <algorithm>
#include <cstddef>

#include "uSER_KV.h"

namespace {

// Value of one upper-case hexadecimal digit, or -1 for any other character.
int valor_digito(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The digits of [inicio, fim) in order, every other character skipped. Kept
// unsigned while shifting so that over-long texts simply keep their low 64 bits.
uint64_t valor_hex(const char* inicio, const char* fim) {
    uint64_t valor = 0;
    for (const char* c = inicio; c != fim; ++c) {
        int digito = valor_digito(*c);
        if (digito >= 0) valor = (valor << 4) | static_cast<uint64_t>(digito);
    }
    return valor;
}

}  // namespace

int64_t HEX_PARA_INT(const std::string& texto) {
    return static_cast<int64_t>(valor_hex(texto.data(), texto.data() + texto.size()));
}

void HEX_PARA_BYTES(const std::string& texto, uint8_t* area, int tamanho) {
    // One byte per pair of characters; an empty text still makes one (empty)
    // pair, so byte 0 becomes 0x00. The last pair of an odd text is one digit.
    const std::ptrdiff_t comprimento = static_cast<std::ptrdiff_t>(texto.size());
    const std::ptrdiff_t pares = (comprimento - 1) / 2 + 1;
    for (std::ptrdiff_t k = 0; k < pares && k < tamanho; ++k) {
        const char* inicio = texto.data() + std::min(2 * k, comprimento);
        const char* fim = texto.data() + std::min(2 * k + 2, comprimento);
        area[k] = static_cast<uint8_t>(valor_hex(inicio, fim) & 0xFF);
    }
}

std::string BYTE_PARA_HEX(uint8_t b) {
    static const char DIGITOS[] = "0123456789ABCDEF";
    return std::string{DIGITOS[b >> 4], DIGITOS[b & 0x0F]};
}
