// pkggen: writes a firmware package source, one entry per line.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

#include "package_generator.h"

int main(int argc, char** argv) {
    pkggen::PackageShape shape = pkggen::shipped_shape();
    const char* out = nullptr;
    const char *date = nullptr, *title = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--small")) {
            shape = pkggen::small_shape();
        } else if (!std::strcmp(argv[i], "--out") && i + 1 < argc) {
            out = argv[++i];
        } else if (!std::strcmp(argv[i], "--date") && i + 1 < argc) {
            date = argv[++i];
        } else if (!std::strcmp(argv[i], "--title") && i + 1 < argc) {
            title = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: pkggen [--small] [--date DD/MM/YYYY] [--title TEXT] [--out FILE]\n"
                         "Writes the stand-in firmware package (or a small one of the same layout)\n"
                         "as UTF-8 text, one entry per line, from index 0 to \"FIM\"; the date and\n"
                         "the title replace the stand-in's own.\n");
            return 2;
        }
    }
    if (date) shape.date = date;
    if (title) shape.title = title;
    std::ofstream file;
    if (out) file.open(out, std::ios::binary);
    std::ostream& stream = out ? file : std::cout;
    for (const std::string& entry : pkggen::make_package(shape)) stream << entry << '\n';
    return stream.good() ? 0 : 1;
}
