// Deterministic package generator.
#include "package_generator.h"

#include <cstdio>

namespace pkggen {
namespace {

constexpr int PAGE_DIGITS = 256;
constexpr int BLOCK_DIGITS = 512;

std::vector<std::string> module_lines() {
    static const char* const NAMES[] = {
        "Fiat Immo", "Fiat Code", "VW Immo III", "VW Immo IV", "GM Opel", "GM Chevrolet", "Ford PATS",
        "Ford Transponder", "Renault Cartão", "Renault Chave", "Peugeot BSI", "Citroën BSI",
        "Honda Immo", "Toyota Transponder", "Hyundai Smartra", "Kia Smartra", "Nissan NATS",
        "Mitsubishi Immo", "Mercedes Chave", "Audi Painel", "Painel VDO", "Painel Magneti",
        "Controle Remoto", "Chave Canivete", "Leitura de PIN", "Cópia de Chave", "Motos Honda",
        "Utilitários"};
    std::vector<std::string> lines;
    for (int i = 0; i < 28; ++i) {
        char version[16];
        std::snprintf(version, sizeof version, "v5.%02d", i * 30 / 27);  // 5.00 to 5.30
        lines.push_back(std::string(NAMES[i]) + " - " + version);
    }
    lines.push_back("Firmware versão 6.22");
    lines.push_back("QUILLA II Plus");
    return lines;
}

}  // namespace

std::string random_hex(uint32_t seed, int digits) {
    static const char HEX[] = "0123456789ABCDEF";
    uint32_t state = seed * 2654435761u + 0x9E3779B9u;
    std::string text(digits, '0');
    for (char& c : text) {
        state ^= state << 13;  // xorshift32
        state ^= state >> 17;
        state ^= state << 5;
        c = HEX[state >> 28];
    }
    return text;
}

PackageShape shipped_shape() {
    PackageShape shape;
    shape.date = "08/08/2013";
    shape.title = "Atualização Cartucho QUILLA II";
    shape.version = "22";
    shape.display_lines = module_lines();
    shape.empty_display_lines = 34;
    shape.section_addresses = {"8C00", "AA00", "B480", "8100", "8C00", "8E00"};
    shape.firmware_pages = {1, 21, 1, 22, 4, 50};
    shape.tail_addresses = {"8C00", "8E00", "B600", "A700"};
    shape.keys = {"VW", "Fiat", "GM", "Ford", "Renault", "Peugeot", "Citroen", "Honda", "Toyota",
                  "Hyundai", "Kia", "Nissan", "Mitsubishi", "Immo", "Remote", "Key Prog", "Dash", "PIN"};
    shape.module_blocks = {14, 1, 67, 50, 41, 43, 47, 54, 13, 20, 14, 6, 11, 41, 24, 9,
                           5,  13, 18, 25, 1, 5, 3, 4, 1, 1, 1, 1, 1, 1, 1, 1,
                           5,  5, 5, 5, 5, 5, 5, 5, 1, 5, 1, 5, 5, 1, 5};
    shape.seed = 2013;
    return shape;
}

PackageShape small_shape() {
    PackageShape shape = shipped_shape();
    shape.empty_display_lines = 2;
    shape.firmware_pages = {1, 2, 1, 2, 1, 2};
    shape.keys = {"VW", "Fiat"};
    shape.module_blocks = {2, 1, 3, 1, 2};
    shape.seed = 7;
    return shape;
}

std::vector<std::string> make_package(const PackageShape& shape) {
    std::vector<std::string> p = {"", shape.date, shape.title, shape.version};
    p.insert(p.end(), shape.display_lines.begin(), shape.display_lines.end());
    p.insert(p.end(), shape.empty_display_lines, "");
    p.push_back("*");
    p.insert(p.end(), shape.section_addresses.begin(), shape.section_addresses.end());
    p.push_back("*");
    uint32_t seed = shape.seed * 100000u;
    for (int pages : shape.firmware_pages) {
        for (int i = 0; i < pages; ++i) p.push_back(random_hex(++seed, PAGE_DIGITS));
        p.push_back("*");
    }
    p.push_back("**");
    p.insert(p.end(), shape.tail_addresses.begin(), shape.tail_addresses.end());
    p.insert(p.end(), shape.keys.begin(), shape.keys.end());
    p.push_back("*");
    for (int blocks : shape.module_blocks) {
        for (int i = 0; i < blocks; ++i) p.push_back(random_hex(++seed, BLOCK_DIGITS));
        p.push_back("*");
    }
    p.push_back("FIM");
    return p;
}

}  // namespace pkggen
