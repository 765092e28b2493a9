// libFuzzer harness: arbitrary text into the hexadecimal conversions. The
// first input byte sizes the byte area (1 to 256 bytes, exactly allocated, so
// that a write past it is caught by ASan); the rest is the text. Results are
// checked against a model written from the rules, not from the code.
#include <algorithm>
#include <memory>
#include <string>

#include "uSER_KV.h"

namespace {

void exige(bool condicao) {
    if (!condicao) __builtin_trap();
}

// The rules: each upper-case digit adds its four bits, anything else is
// skipped; `digitos` counts the digits seen.
uint64_t modelo(const std::string& texto, int* digitos) {
    uint64_t valor = 0;
    *digitos = 0;
    for (char c : texto) {
        int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (d < 0) continue;
        valor = valor << 4 | static_cast<uint64_t>(d);
        ++*digitos;
    }
    return valor;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int tamanho = 1 + data[0];
    const std::string texto(reinterpret_cast<const char*>(data + 1), size - 1);

    int digitos = 0;
    const uint64_t valor = modelo(texto, &digitos);
    const int64_t resultado = HEX_PARA_INT(texto);
    if (digitos <= 15) exige(static_cast<uint64_t>(resultado) == valor);  // exact up to 15 digits

    std::unique_ptr<uint8_t[]> area(new uint8_t[tamanho]);
    std::fill(area.get(), area.get() + tamanho, 0xFF);
    HEX_PARA_BYTES(texto, area.get(), tamanho);
    // Pair k is characters 2k and 2k + 1; an empty text still has pair 0.
    const size_t pares = texto.empty() ? 1 : (texto.size() + 1) / 2;
    for (size_t k = 0; k < static_cast<size_t>(tamanho); ++k) {
        int ignorados = 0;
        const uint8_t esperado =
            k < pares ? static_cast<uint8_t>(modelo(texto.substr(std::min(2 * k, texto.size()), 2), &ignorados))
                      : 0xFF;
        exige(area[k] == esperado);
    }

    // Bytes to text and back, for the byte this input starts with.
    const std::string dois = BYTE_PARA_HEX(data[0]);
    exige(dois.size() == 2 && HEX_PARA_INT(dois) == data[0]);
    return 0;
}
