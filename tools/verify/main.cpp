// verify: checks the memory in a simcart report against what a complete
// update with a package must leave in the cartridge.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "expected_image.h"
#include "report.h"
#include "simulator.h"

namespace {

const char USAGE[] =
    "Usage: verify --report REPORT.json --package PACKAGE.txt\n"
    "Compares the pages, Blocks and writes of a simcart report (a cartridge with\n"
    "simcart's default identity page) with those a complete update with the\n"
    "package must leave. Prints \"memory verified\" when they match, else the\n"
    "first difference.\n"
    "Exit status: 0 verified, 1 different, 2 bad usage or unreadable input.\n";

bool read_file(const char* path, std::string* content) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    *content = text.str();
    return file.good() || file.eof();
}

std::vector<std::string> package_entries(const std::string& text) {
    std::vector<std::string> entries;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        entries.push_back(line);
    }
    return entries;
}

std::string hex(unsigned value, int digits) {
    char text[8];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

// The first difference, or "" when the report holds what was expected.
std::string difference(const ExpectedImage& expected, const ReportedMemory& found) {
    for (size_t a = 0; a < found.pages.size(); ++a)
        if (found.pages[a] != expected.pages[a])
            return "page memory at " + hex(static_cast<unsigned>(a), 4) + ": expected " +
                   hex(expected.pages[a], 2) + ", found " + hex(found.pages[a], 2);
    for (const auto& [number, block] : expected.blocks) {
        auto it = found.blocks.find(number);
        if (it == found.blocks.end()) return "Block " + std::to_string(number) + " was never written";
        if (it->second != block) return "Block " + std::to_string(number) + " differs";
    }
    for (const auto& entry : found.blocks)
        if (!expected.blocks.count(entry.first)) return "Block " + std::to_string(entry.first) + " is extra";
    for (size_t i = 0; i < expected.writes.size() || i < found.writes.size(); ++i) {
        const std::string want = i < expected.writes.size() ? expected.writes[i] : "nothing";
        const std::string got = i < found.writes.size() ? found.writes[i] : "nothing";
        if (want != got) return "write " + std::to_string(i + 1) + ": expected " + want + ", found " + got;
    }
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    const char* report_path = nullptr;
    const char* package_path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--report") && i + 1 < argc) {
            report_path = argv[++i];
        } else if (!std::strcmp(argv[i], "--package") && i + 1 < argc) {
            package_path = argv[++i];
        } else {
            std::fputs(USAGE, std::strcmp(argv[i], "--help") ? stderr : stdout);
            return std::strcmp(argv[i], "--help") ? 2 : 0;
        }
    }
    if (!report_path || !package_path) {
        std::fputs(USAGE, stderr);
        return 2;
    }

    std::string json, package_text, error;
    ReportedMemory found;
    if (!read_file(report_path, &json) || !read_report(json, &found, &error)) {
        std::fprintf(stderr, "verify: %s: %s\n", report_path, error.empty() ? "cannot read it" : error.c_str());
        return 2;
    }
    if (!read_file(package_path, &package_text)) {
        std::fprintf(stderr, "verify: %s: cannot read it\n", package_path);
        return 2;
    }
    ExpectedImage expected;
    try {
        expected = expected_image(package_entries(package_text), sim::default_identity());
    } catch (const std::exception&) {  // indices and numbers of a package out of shape
        std::fprintf(stderr, "verify: %s: not a package of the expected layout\n", package_path);
        return 2;
    }

    const std::string why = difference(expected, found);
    if (!why.empty()) {
        std::printf("memory differs: %s\n", why.c_str());
        return 1;
    }
    std::printf("memory verified: %zu Page writes and %zu Blocks as the package lays them out\n",
                static_cast<size_t>(std::count_if(expected.writes.begin(), expected.writes.end(),
                                                  [](const std::string& w) { return w[0] == 'W'; })),
                expected.blocks.size());
    return 0;
}
