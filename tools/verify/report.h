// The cartridge memory a simcart report describes, read back from its JSON.
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct ReportedMemory {
    std::array<uint8_t, 65536> pages;  // 0xFF where the report shows no page
    std::map<uint16_t, std::array<uint8_t, 256>> blocks;
    std::vector<std::string> writes;   // "W 8C00", "F 14/00", ... in order
};

// Reads the "pages", "blocks" and "writes" members of a report; false, with
// the reason in *error, when one is missing or malformed.
bool read_report(const std::string& json, ReportedMemory* memory, std::string* error);
