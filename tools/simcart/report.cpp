// The simulator's state as JSON, for tests and for the demo's report file.
#include "frame.h"
#include "simulator.h"

#include <cstdio>
#include <set>

namespace sim {

std::string hex(const uint8_t* data, size_t count) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(count * 2);
    for (size_t i = 0; i < count; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 0x0F];
    }
    return out;
}

namespace {

std::string hex16(uint16_t value) {
    const uint8_t bytes[] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    return hex(bytes, 2);
}

// A JSON string; our texts are ASCII, anything else is written as \u00XX.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", c);
            out += escaped;
        }
    }
    return out + "\"";
}

bool carried_out(const LogEntry& e) { return e.outcome == "ack"; }

std::vector<std::string> writes_in(const std::vector<LogEntry>& log) {
    std::vector<std::string> writes;
    for (const LogEntry& e : log) {
        if (!carried_out(e)) continue;
        if (e.command == 'W') writes.push_back("W " + hex16(e.address));
        if (e.command == 'F') writes.push_back("F " + std::to_string(e.address) + "/" + hex(&e.half, 1));
    }
    return writes;
}

std::string log_entry(const LogEntry& e) {
    char t_ms[32];
    std::snprintf(t_ms, sizeof t_ms, "%.3f", e.t_ms);
    return "{\"n\":" + std::to_string(e.n) + ",\"command\":" + quoted(std::string(1, e.command)) +
           ",\"address\":\"" + hex16(e.address) + "\",\"half\":\"" + hex(&e.half, 1) +
           "\",\"outcome\":" + quoted(e.outcome) + ",\"t_ms\":" + t_ms + ",\"frame\":\"" +
           hex(e.frame.data(), e.frame.size()) + "\"}";
}

// A comma-separated list of the items, each made by `item`.
template <typename Items, typename Item>
std::string joined(const Items& items, Item item) {
    std::string out;
    for (const auto& i : items) out += (out.empty() ? "" : ",") + item(i);
    return out;
}

}  // namespace

std::vector<std::string> Simulator::writes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return writes_in(log_);
}

std::string Simulator::report_json() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::set<uint16_t> shown;
    for (size_t a = 0; a < pages_.size(); a += PAGE_BYTES)
        for (size_t i = 0; i < PAGE_BYTES; ++i)
            if (pages_[a + i] != 0xFF) {
                shown.insert(static_cast<uint16_t>(a));
                break;
            }
    for (const LogEntry& e : log_)
        if (carried_out(e) && e.command == 'W') shown.insert(e.address);

    auto page_at = [this](uint16_t a) {
        uint8_t page[PAGE_BYTES];
        for (size_t i = 0; i < PAGE_BYTES; ++i) page[i] = pages_[static_cast<uint16_t>(a + i)];
        return hex(page, PAGE_BYTES);
    };
    return "{\"sync_byte\":\"" + hex(&options_.sync_byte, 1) + "\",\n\"pages\":{" +
           joined(shown, [&](uint16_t a) { return "\"" + hex16(a) + "\":\"" + page_at(a) + "\""; }) +
           "},\n\"identity\":\"" + page_at(IDENTITY_ADDRESS) + "\",\n\"blocks\":{" +
           joined(blocks_,
                  [](const auto& b) {
                      return "\"" + std::to_string(b.first) + "\":\"" + hex(b.second.data(), BLOCK_BYTES) + "\"";
                  }) +
           "},\n\"log\":[" + joined(log_, [](const LogEntry& e) { return "\n" + log_entry(e); }) +
           "],\n\"writes\":[" + joined(writes_in(log_), quoted) + "]}\n";
}

}  // namespace sim
