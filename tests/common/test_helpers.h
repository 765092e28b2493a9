// Small helpers shared by the native and the Wine tests, written once here.
#pragma once
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// For the fuzz harnesses: a broken expectation names itself before the
// harness stops, so that the fuzzer's log says which one an input broke.
#define REQUIRE(condition)                                                                              \
    ((condition) ? (void)0                                                                              \
                 : (std::fprintf(stderr, "expected: %s (%s:%d)\n", #condition, __FILE__, __LINE__), \
                    __builtin_trap()))

namespace test_helpers {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

// Real milliseconds since `start`.
inline double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Four upper-case hex digits, as the program names a Page's address.
inline std::string hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFFu);
    return text;
}

// A whole file's bytes; empty when there is none.
inline std::string read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// What a shell command printed on its standard output, and its exit status
// (-1 when it did not exit).
struct CommandResult {
    int status = -1;
    std::string out;
};
inline CommandResult run_command(const std::string& command) {
    CommandResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) result.out += buffer;
    const int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

// A package source as the build reads it: one entry a line.
inline std::string package_source(const std::vector<std::string>& package) {
    std::string text;
    for (const std::string& entry : package) text += entry + "\n";
    return text;
}

inline Bytes concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The loader's data-byte encoding (nibbles swapped, then inverted), written
// here apart from the program's and the simulator's own.
inline uint8_t encoded(uint8_t b) { return static_cast<uint8_t>(~((b << 4) | (b >> 4))); }

inline bool ends_with(const Bytes& all, const Bytes& tail) {
    return all.size() >= tail.size() && std::equal(tail.begin(), tail.end(), all.end() - tail.size());
}

// Up to n bytes from a pty end, returning early once n arrived, timeout_ms
// passed or the line closed.
inline Bytes read_bytes(int fd, size_t n, int timeout_ms) {
    Bytes got;
    const auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (got.size() < n && fd >= 0) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) break;
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || !(p.revents & POLLIN)) break;
        uint8_t buffer[512];
        const ssize_t k = ::read(fd, buffer, std::min(sizeof buffer, n - got.size()));
        if (k > 0)
            got.insert(got.end(), buffer, buffer + k);
        else if (k == 0 || (errno != EINTR && errno != EAGAIN))
            break;
    }
    return got;
}

}  // namespace test_helpers
