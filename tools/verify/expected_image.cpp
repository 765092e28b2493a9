// The expected memory of an updated cartridge, from the package's layout.
#include "expected_image.h"

#include <cstdio>

namespace {

int digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

template <size_t N>
std::array<uint8_t, N> decode(const std::string& hex) {
    std::array<uint8_t, N> bytes;
    bytes.fill(0xFF);
    for (size_t i = 0; i < N && 2 * i < hex.size(); ++i) {
        int high = digit(hex[2 * i]);
        bytes[i] = static_cast<uint8_t>(2 * i + 1 < hex.size() ? high * 16 + digit(hex[2 * i + 1]) : high);
    }
    return bytes;
}

std::string hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value);
    return text;
}

size_t find(const std::vector<std::string>& p, const std::string& marker, size_t from) {
    while (p.at(from) != marker) ++from;
    return from;
}

}  // namespace

ExpectedImage expected_image(const std::vector<std::string>& p, const std::array<uint8_t, 128>& identity) {
    ExpectedImage e;
    e.pages.fill(0xFF);
    auto write_page = [&](unsigned address, const std::array<uint8_t, 128>& page) {
        e.writes.push_back("W " + hex4(address));
        for (int i = 0; i < 128; ++i) e.pages[address + i] = page[i];
    };

    size_t j = find(p, "*", 4) + 8;
    const unsigned bases[] = {0x8C00, 0xAA00, 0xB480, 0x8100, 0x8C00, 0x8E00};
    for (unsigned base : bases) {
        for (; p[j] != "*"; ++j, base += 0x80) write_page(base, decode<128>(p[j]));
        ++j;
    }
    const size_t M = find(p, "**", j);
    const unsigned address3 = std::stoul(p[M + 3], nullptr, 16), address4 = std::stoul(p[M + 4], nullptr, 16);
    for (unsigned address : {address3, address4})
        for (int i = 0; i < 128; ++i) e.pages[address + i] = 0xFF;

    const size_t C = find(p, "*", M + 5);
    uint16_t block = 0;
    std::string first_of_section_1;
    int section = 0;
    for (j = C + 1; p[j] != "FIM"; ++j, ++section) {
        e.directory.push_back(block);
        if (section == 1) first_of_section_1 = p[j];
        for (; p[j] != "*"; ++j, ++block) {
            e.blocks[block] = decode<256>(p[j]);
            e.writes.push_back("F " + std::to_string(block) + "/00");
            e.writes.push_back("F " + std::to_string(block) + "/80");
        }
    }
    e.directory.push_back(block);
    write_page(0x8080, decode<128>(first_of_section_1.substr(0, 256)));

    std::array<uint8_t, 128> id = identity;
    id[6] = static_cast<uint8_t>(std::stoi(p[3]));
    id[14] = address4 >> 8;
    id[15] = address4 & 0xFF;
    id[16] = address3 >> 8;
    id[17] = address3 & 0xFF;
    for (size_t s = 0; s < e.directory.size(); ++s) {
        id[18 + 2 * s] = e.directory[s] >> 8;
        id[19 + 2 * s] = e.directory[s] & 0xFF;
    }
    write_page(0x8000, id);
    return e;
}

std::string expected_dump(const uint8_t* image) {
    std::string line;
    char pair[4];
    for (int i = 0; i < 128; ++i) {
        std::snprintf(pair, sizeof pair, "%02X.", image[i]);
        line += pair;
    }
    return line + "\r\n";
}
