// Makes firmware packages: the stand-in package that ships, and packages of
// other shapes for tests. Deterministic: the same shape gives the same entries.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace pkggen {

struct PackageShape {
    std::string date;
    std::string title;
    std::string version;                      // entry 3, decimal
    std::vector<std::string> display_lines;   // shown in the memo
    int empty_display_lines = 0;              // empty entries after them
    std::vector<std::string> section_addresses;  // the six entries after the first "*"
    std::vector<int> firmware_pages;          // Pages in each of the six sections
    std::vector<std::string> tail_addresses;  // the four entries after "**"
    std::vector<std::string> keys;            // module keys
    std::vector<int> module_blocks;           // Blocks in each module section
    uint32_t seed = 1;
};

PackageShape shipped_shape();
// A package of the same layout with few Pages and Blocks, for quick updates.
PackageShape small_shape();

// Entries from index 0 up to and including "FIM".
std::vector<std::string> make_package(const PackageShape& shape);

// `digits` upper-case hexadecimal digits, the same for the same seed.
std::string random_hex(uint32_t seed, int digits);

}  // namespace pkggen
