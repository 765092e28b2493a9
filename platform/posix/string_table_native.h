// Native builds: the package table the build embeds, and a way for tests to
// read another package in its place.
#pragma once
#include <string>
#include <vector>

namespace plat {
// Entries read from `entries` instead of the embedded table; nullptr restores it.
void string_table_use(const std::vector<std::string>* entries);
}  // namespace plat
