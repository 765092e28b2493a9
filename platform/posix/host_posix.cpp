// Host services (POSIX-specific).
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "../host.h"

namespace plat {

bool write_text_file(const std::string& path, const std::string& content, std::string* error) {
    FILE* file = std::fopen(path.c_str(), "wb");
    bool ok = file && std::fwrite(content.data(), 1, content.size(), file) == content.size();
    int code = errno;
    if (file && std::fclose(file) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (!ok && error) *error = std::string(std::strerror(code)) + " (erro " + std::to_string(code) + ")";
    return ok;
}

void keep_awake(bool) {}  // a test host has nothing to keep awake

}  // namespace plat
