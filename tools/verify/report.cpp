// Reads back the members of a simcart report that describe the memory. The
// report is our own JSON: those members are flat objects and lists of plain
// strings, without escapes.
#include "report.h"

#include <cctype>
#include <cstdlib>

namespace {

using Items = std::vector<std::pair<std::string, std::string>>;

void skip_space(const std::string& t, size_t& i) {
    while (i < t.size() && std::isspace(static_cast<unsigned char>(t[i]))) ++i;
}

bool take(const std::string& t, size_t& i, char c) {
    skip_space(t, i);
    if (i >= t.size() || t[i] != c) return false;
    ++i;
    return true;
}

bool take_string(const std::string& t, size_t& i, std::string* out) {
    if (!take(t, i, '"')) return false;
    const size_t end = t.find('"', i);
    if (end == std::string::npos) return false;
    *out = t.substr(i, end - i);
    i = end + 1;
    return true;
}

// The pairs of `"name":{"key":"value",...}`, or with `open` '[' the items of
// `"name":["value",...]` (keys left empty).
bool read_member(const std::string& t, const std::string& name, char open, Items* items) {
    size_t i = t.find("\"" + name + "\":");
    if (i == std::string::npos) return false;
    i += name.size() + 3;
    const char close = open == '{' ? '}' : ']';
    if (!take(t, i, open)) return false;
    if (take(t, i, close)) return true;
    do {
        std::pair<std::string, std::string> item;
        if (open == '{' && !(take_string(t, i, &item.first) && take(t, i, ':'))) return false;
        if (!take_string(t, i, &item.second)) return false;
        items->push_back(item);
    } while (take(t, i, ','));
    return take(t, i, close);
}

int digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Exactly 2 * count upper-case hexadecimal digits.
bool hex_bytes(const std::string& text, uint8_t* out, size_t count) {
    if (text.size() != 2 * count) return false;
    for (size_t k = 0; k < count; ++k) {
        const int high = digit(text[2 * k]), low = digit(text[2 * k + 1]);
        if (high < 0 || low < 0) return false;
        out[k] = static_cast<uint8_t>(high * 16 + low);
    }
    return true;
}

// A key within 0..0xFFFF in the given base.
bool number(const std::string& text, int base, uint16_t* value) {
    char* end = nullptr;
    const unsigned long n = std::strtoul(text.c_str(), &end, base);
    *value = static_cast<uint16_t>(n);
    return !text.empty() && *end == '\0' && n <= 0xFFFF;
}

}  // namespace

bool read_report(const std::string& json, ReportedMemory* memory, std::string* error) {
    Items pages, blocks, writes;
    if (!read_member(json, "pages", '{', &pages) || !read_member(json, "blocks", '{', &blocks) ||
        !read_member(json, "writes", '[', &writes)) {
        *error = "the report lacks its pages, blocks or writes, or they are malformed";
        return false;
    }
    memory->pages.fill(0xFF);
    for (const auto& [key, hex] : pages) {
        uint16_t address = 0;
        if (!number(key, 16, &address) || address > 0x10000 - 128 ||
            !hex_bytes(hex, &memory->pages[address], 128)) {
            *error = "bad page \"" + key + "\" in the report";
            return false;
        }
    }
    memory->blocks.clear();
    for (const auto& [key, hex] : blocks) {
        uint16_t number_of_block = 0;
        std::array<uint8_t, 256> block;
        if (!number(key, 10, &number_of_block) || !hex_bytes(hex, block.data(), block.size())) {
            *error = "bad block \"" + key + "\" in the report";
            return false;
        }
        memory->blocks[number_of_block] = block;
    }
    memory->writes.clear();
    for (const auto& item : writes) memory->writes.push_back(item.second);
    return true;
}
