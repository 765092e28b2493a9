// The string table embedded in the program, read by numeric identifier.
#pragma once
#include <cstdint>
#include <string>

namespace plat {
// Longest text one read gives, in characters (a 1024-character buffer).
constexpr int STRING_TABLE_READ_MAX = 1023;

// The entry's text in UTF-8; the empty text for an identifier not held.
std::string string_table_entry(int32_t id);
}  // namespace plat
