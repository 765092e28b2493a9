// The package as the executable's STRINGTABLE resource (Windows-specific).
#include <windows.h>

#include "../string_table.h"
#include "utf.h"

namespace plat {

// Portuguese (Brazil), 1046: the language the table is stored under.
static const WORD TABLE_LANGUAGE = MAKELANGID(LANG_PORTUGUESE, SUBLANG_PORTUGUESE_BRAZILIAN);

std::string string_table_entry(int32_t id) {
    if (id < 0 || id > 0xFFFF) return {};
    // Strings live in blocks of sixteen; block b holds identifiers 16(b-1) to 16b-1.
    HRSRC found = FindResourceExW(nullptr, MAKEINTRESOURCEW(6) /* RT_STRING */,
                                  MAKEINTRESOURCEW(id / 16 + 1), TABLE_LANGUAGE);
    if (!found) return {};
    HGLOBAL loaded = LoadResource(nullptr, found);
    auto p = static_cast<const WORD*>(LockResource(loaded));
    if (!p) return {};
    for (int i = 0; i < id % 16; ++i) p += 1 + *p;  // each string: its length, then its characters
    int length = *p < STRING_TABLE_READ_MAX ? *p : STRING_TABLE_READ_MAX;
    return narrow(reinterpret_cast<const wchar_t*>(p + 1), length);
}

}  // namespace plat
