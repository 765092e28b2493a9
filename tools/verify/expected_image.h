// What a cartridge's memory must hold after a complete update, worked out
// from the package alone (independently of the program's own walk).
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct ExpectedImage {
    std::array<uint8_t, 65536> pages;               // page memory, 0xFF where never written
    std::map<uint16_t, std::array<uint8_t, 256>> blocks;
    std::vector<std::string> writes;                // "W 8C00", "F 14/00", ... in order
    std::vector<uint16_t> directory;                // module section starts, then the total
};

ExpectedImage expected_image(const std::vector<std::string>& package, const std::array<uint8_t, 128>& identity);
// The dump file's content for an identity page image.
std::string expected_dump(const uint8_t* image);
