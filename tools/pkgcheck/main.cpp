// pkgcheck: runs the program's package check on a package source, as the
// build is about to embed it, and refuses an unsound one with the sentence
// the program would show at start-up.
//   pkgcheck FILE          exit 0 when the package is sound, 1 with the sentence when not
//   pkgcheck --info FILE   on a sound package, also prints its date, title and NUM_VERSAO
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pacote.h"
#include "posix/string_table_native.h"
#include "string_table.h"
#include "validacao.h"

// The check reads the file's entries in place of an embedded table.
extern const char* const PACOTE_TABELA[] = {""};
extern const int PACOTE_TABELA_N = 0;

std::string LE_ENTRADA(int32_t indice) { return plat::string_table_entry(indice); }

namespace {

// The entries as the build embeds them: one a line, carriage returns
// dropped, the last line end closing the last entry.
std::vector<std::string> entries_of(const std::string& content) {
    std::vector<std::string> entries(1);
    for (char c : content) {
        if (c == '\n')
            entries.emplace_back();
        else if (c != '\r')
            entries.back() += c;
    }
    if (entries.size() > 1 && entries.back().empty()) entries.pop_back();
    return entries;
}

}  // namespace

int main(int argc, char** argv) {
    const bool info = argc == 3 && !std::strcmp(argv[1], "--info");
    if (argc != 2 + info) {
        std::fprintf(stderr, "usage: pkgcheck [--info] FILE\n");
        return 2;
    }
    const char* path = argv[argc - 1];
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "pkgcheck: cannot read %s\n", path);
        return 2;
    }
    const std::vector<std::string> entries = entries_of(std::string(std::istreambuf_iterator<char>(file), {}));
    plat::string_table_use(&entries);
    const std::string defect = VALIDA_PACOTE();
    if (!defect.empty()) {
        std::fprintf(stderr, "%s: %s\n%s\n", path, TEXTO_PACOTE_DANIFICADO, defect.c_str());
        return 1;
    }
    if (info) {
        uint8_t version = 0;
        LE_NUM_VERSAO(LE_ENTRADA(3), &version);
        std::printf("date: %s\ntitle: %s\nNUM_VERSAO: %d\n", LE_ENTRADA(1).c_str(), LE_ENTRADA(2).c_str(), version);
    }
    return 0;
}
