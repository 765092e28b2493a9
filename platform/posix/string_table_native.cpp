// The package as a table compiled into the program (native builds).
#include "string_table_native.h"

#include "../string_table.h"

extern const char* const PACOTE_TABELA[];
extern const int PACOTE_TABELA_N;

namespace plat {
namespace {
const std::vector<std::string>* substitute = nullptr;

// At most STRING_TABLE_READ_MAX characters, counted as UTF-8 code points.
std::string limited(const std::string& text) {
    int characters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && ++characters > STRING_TABLE_READ_MAX)
            return text.substr(0, i);
    }
    return text;
}
}  // namespace

void string_table_use(const std::vector<std::string>* entries) { substitute = entries; }

std::string string_table_entry(int32_t id) {
    if (substitute) {
        if (id < 0 || static_cast<size_t>(id) >= substitute->size()) return {};
        return limited((*substitute)[id]);
    }
    if (id < 0 || id >= PACOTE_TABELA_N) return {};
    return limited(PACOTE_TABELA[id]);
}

}  // namespace plat
