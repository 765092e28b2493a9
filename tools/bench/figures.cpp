// The floor of an update, taken apart between the frames the simulator
// logged, and the printed figures of a run.
#include "figures.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "package_generator.h"

namespace bench {

namespace {

constexpr double BYTE_MS = 10.0 * 1000.0 / 19200.0;  // 10 bits a byte at 19200 baud
constexpr double REPLY_PAUSE_MS = 80, WAKE_PAUSE_MS = 80, ERASE_WRITE_PAUSE_MS = 50;
constexpr double AFTER_FIRST_G_MS = 5000, SECTION4_PAUSE_MS = 100;
constexpr int PAGE_REPLY_BYTES = 130;  // length byte, one byte, 128 data bytes
constexpr int ACK_REPLY_BYTES = 2;

// The floor of the time up to one frame's arrival (or, past the last frame,
// up to message 7), split as Floor splits the whole.
struct Piece {
    double pauses_ms = 0, line_ms = 0, reachable_ms = 0;
    long to_cartridge = 0, from_cartridge = 0;
};

int reply_bytes(const sim::LogEntry& e) {
    if (e.outcome == "data") return PAGE_REPLY_BYTES;
    if (e.outcome == "ack" || e.outcome == "nak") return ACK_REPLY_BYTES;
    return 0;
}

// Piece i ends at frame i; piece log.size() ends at message 7.
std::vector<Piece> pieces_of(const std::vector<sim::LogEntry>& log, bool paced) {
    const int section4_pages = pkggen::shipped_shape().firmware_pages.at(3);
    std::vector<Piece> pieces(log.size() + 1);
    int first_g = -1, section4_erases = 0;
    for (size_t i = 0; i <= log.size(); ++i) {
        Piece& p = pieces[i];
        long reply_of_previous = 0;
        if (i == 0) {
            p.pauses_ms += WAKE_PAUSE_MS;
            p.to_cartridge += 1;  // the wake byte
        } else {
            const sim::LogEntry& previous = log[i - 1];
            p.pauses_ms += REPLY_PAUSE_MS;
            reply_of_previous = reply_bytes(previous);
            p.from_cartridge += reply_of_previous;
            if (static_cast<int>(i - 1) == first_g) p.pauses_ms += AFTER_FIRST_G_MS;
        }
        if (i < log.size()) {
            const sim::LogEntry& e = log[i];
            if (e.command == 'G' && first_g < 0) first_g = static_cast<int>(i);
            if (e.command == 'W') p.pauses_ms += ERASE_WRITE_PAUSE_MS;
            if (e.command == 'E' && first_g >= 0 && first_g < static_cast<int>(i) &&
                section4_erases < section4_pages) {
                ++section4_erases;
                p.pauses_ms += SECTION4_PAUSE_MS;
            }
            p.to_cartridge += 1 + static_cast<long>(e.frame.size());  // sync byte, frame
            p.from_cartridge += 1;                                     // its complement
        }
        p.reachable_ms = p.pauses_ms;
        if (!paced) continue;
        p.line_ms = static_cast<double>(p.to_cartridge + p.from_cartridge) * BYTE_MS;
        // On the simulated line the host's writes take no time: the loader
        // paces the complement, then has the frame only its line time after
        // its first byte (when it logs it), and answers at once. The host's
        // 80 ms pause runs from the frame's first byte, so the frame's line
        // time and the reply's lie inside it unless together they are longer.
        if (i > 0) {
            const double frame_ms = static_cast<double>(log[i - 1].frame.size()) * BYTE_MS;
            p.reachable_ms += std::max(0.0, frame_ms + reply_of_previous * BYTE_MS - REPLY_PAUSE_MS) - frame_ms;
        }
        if (i < log.size()) p.reachable_ms += (1 + static_cast<double>(log[i].frame.size())) * BYTE_MS;
    }
    return pieces;
}

int index_of(const std::vector<sim::LogEntry>& log, char command, int nth) {
    for (size_t i = 0; i < log.size(); ++i)
        if (log[i].command == command && --nth == 0) return static_cast<int>(i);
    return -1;
}

std::string thousands(double value) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%.0f", value);
    std::string text = digits, out;
    const size_t lead = text[0] == '-' ? 1 : 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (i > lead && (text.size() - i) % 3 == 0) out += ' ';
        out += text[i];
    }
    return out;
}

void line(const char* label, const std::string& value, const std::string& note = "") {
    std::printf("  %-34s %14s%s%s\n", label, value.c_str(), note.empty() ? "" : "  ", note.c_str());
}

std::string fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// "149 703 ms, 2 min 30 s".
std::string minutes(double ms) {
    const long s = std::lround(ms / 1000);
    char text[32];
    std::snprintf(text, sizeof text, ", %ld min %02ld s", s / 60, s % 60);
    return thousands(ms) + " ms" + text;
}

// The update's time behind USB adapters of each write cost and latency timer,
// and on a built-in port; with no write cost, to set against the paced runs.
void adapter_table(const std::vector<sim::LogEntry>& log, long write_calls) {
    long frame_bytes = 0;
    for (const sim::LogEntry& e : log) frame_bytes += static_cast<long>(e.frame.size());
    std::printf("  update time behind an adapter, worked out from %ld write calls (1 wake byte, %zu sync bytes,\n"
                "  %ld frame bytes) and %zu exchanges:\n",
                write_calls, log.size(), frame_bytes, log.size());
    std::printf("    %-40s %24s %24s\n", "per write call", "latency timer 1 ms", "latency timer 16 ms");
    for (const double call : {0.125, 0.5, 1.0})
        std::printf("    %-40s %24s %24s\n", (fixed(call, 3) + " ms").c_str(),
                    minutes(time_behind_adapter(log, write_calls, call, 1)).c_str(),
                    minutes(time_behind_adapter(log, write_calls, call, 16)).c_str());
    std::printf("    %-40s %24s %24s\n    %-40s %24s\n", "0 ms (as on the pty of the paced runs)",
                minutes(time_behind_adapter(log, write_calls, 0, 1)).c_str(),
                minutes(time_behind_adapter(log, write_calls, 0, 16)).c_str(), "0 ms, no adapter",
                minutes(time_behind_adapter(log, write_calls, 0, 0)).c_str());
    std::printf("    %-40s %24s\n", "built-in port (each write waits a byte)",
                minutes(time_behind_adapter(log, write_calls, BYTE_MS, 0)).c_str());
}

}  // namespace

double time_behind_adapter(const std::vector<sim::LogEntry>& log, long write_calls, double call_ms,
                           double latency_ms) {
    double total = static_cast<double>(write_calls) * call_ms;
    for (const Piece& p : pieces_of(log, false)) total += p.pauses_ms;
    for (const sim::LogEntry& e : log) {
        const double frame = static_cast<double>(e.frame.size());
        total += 2 * BYTE_MS + latency_ms;  // the sync byte out, its complement back and held
        // The frame's last byte is in once the line has sent them all, or a
        // byte's time after the last write when the writes are the slower.
        const double frame_in = std::max(frame * call_ms + BYTE_MS, call_ms + frame * BYTE_MS);
        const double reply_in = frame_in + reply_bytes(e) * BYTE_MS + latency_ms;
        total += std::max(0.0, reply_in - frame * call_ms - REPLY_PAUSE_MS);
    }
    return total;
}

double now_ms() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

std::unique_ptr<sim::Simulator> start_cartridge(Measured& m, const char* tool) {
    sim::Options options;
    options.identity = sim::default_identity();
    options.paced = m.paced;
    options.latency_ms = static_cast<uint32_t>(m.latency_ms);
    auto cartridge = std::make_unique<sim::Simulator>(options);
    std::string error;
    const double before = now_ms();
    if (!cartridge->start(&error)) {
        std::fprintf(stderr, "%s: %s\n", tool, error.c_str());
        return nullptr;
    }
    m.sim_start_ms = (before + now_ms()) / 2;
    return cartridge;
}

Floor floor_of(const std::vector<sim::LogEntry>& log, size_t bytes_received, bool paced) {
    Floor f;
    f.exchanges = static_cast<int>(log.size());
    for (const Piece& p : pieces_of(log, paced)) {
        f.pauses_ms += p.pauses_ms;
        f.reachable_ms += p.reachable_ms;
        f.bytes_from_cartridge += p.from_cartridge;
    }
    const int section4 = pkggen::shipped_shape().firmware_pages.at(3);
    int erases_after_g = 0;
    bool after_g = false;
    for (const sim::LogEntry& e : log) {
        if (e.command == 'W') ++f.page_writes;
        if (e.command == 'E' && after_g) ++erases_after_g;
        if (e.command == 'G') after_g = true;
    }
    f.section4_pages = std::min(section4, erases_after_g);
    // Every byte the cartridge got, as it counted them.
    f.bytes_to_cartridge = static_cast<long>(bytes_received);
    if (paced) f.line_ms = static_cast<double>(f.bytes_to_cartridge + f.bytes_from_cartridge) * BYTE_MS;
    return f;
}

std::vector<Stage> stages_of(const Measured& m, const std::vector<sim::LogEntry>& log, bool paced) {
    int last_f = -1;
    for (size_t i = 0; i < log.size(); ++i)
        if (log[i].command == 'F') last_f = static_cast<int>(i);
    const int first_g = index_of(log, 'G', 1);
    const int ends[] = {index_of(log, 'D', 2), first_g,           first_g < 0 ? -1 : first_g + 1,
                        index_of(log, 'F', 1) - 1, last_f, static_cast<int>(log.size())};
    const char* const names[] = {"identification", "first stage", "5 s pause", "second stage", "modules",
                                 "identity page"};
    std::vector<Stage> stages;
    const std::vector<Piece> pieces = pieces_of(log, paced);
    int from = 0;
    double start_ms = m.ok_ms;
    for (int s = 0; s < 6; ++s) {
        const int end = ends[s];
        if (end < from || end > static_cast<int>(log.size())) return {};  // not a whole update
        Stage st;
        st.name = names[s];
        const double end_ms = end < static_cast<int>(log.size()) ? m.sim_start_ms + log[end].t_ms : m.message7_ms;
        st.wall_ms = end_ms - start_ms;
        for (int i = from; i <= end; ++i) {
            st.floor_ms += pieces[i].pauses_ms + pieces[i].line_ms;
            st.reachable_ms += pieces[i].reachable_ms;
        }
        stages.push_back(st);
        from = end + 1;
        start_ms = end_ms;
    }
    return stages;
}

void report(const Measured& m, const sim::Simulator& cartridge, const std::string& stages_file) {
    const std::vector<sim::LogEntry> log = cartridge.log();
    const Floor f = floor_of(log, cartridge.bytes_received().size(), m.paced);
    const double wall = m.message7_ms - m.ok_ms;
    std::printf("== %s%s\n", m.run.c_str(), m.completed ? "" : "  (THE UPDATE DID NOT COMPLETE)");
    line("wall, OK to message 7", thousands(wall) + " ms");
    line("floor, fixed pauses", thousands(f.pauses_ms) + " ms",
         std::to_string(f.exchanges) + " x 80 + " + std::to_string(f.page_writes) + " x 50 + 5000 + " +
             std::to_string(f.section4_pages) + " x 100 + 80");
    if (m.paced)
        line("floor, line time", thousands(f.line_ms) + " ms",
             "(" + std::to_string(f.bytes_to_cartridge) + " + " + std::to_string(f.bytes_from_cartridge) +
                 " bytes) x 10 bits / 19200");
    line("floor", thousands(f.total_ms()) + " ms");
    line("ratio wall/floor", fixed(wall / f.total_ms(), 4));
    if (m.paced) {
        line("reachable floor on this line", thousands(f.reachable_ms) + " ms",
             "frames and replies travel during the 80 ms pauses");
        line("ratio wall/reachable floor", fixed(wall / f.reachable_ms, 4));
    }
    if (m.latency_ms > 0) {
        // Every complement waits out the timer, and so does a reply that
        // would otherwise have come within the host's 80 ms pause.
        const double floor_here = m.paced ? f.reachable_ms : f.total_ms();
        line("adapter latency timer", std::to_string(m.latency_ms) + " ms", "on every byte to the host");
        line("above that floor per exchange", fixed((wall - floor_here) / f.exchanges, 1) + " ms",
             std::to_string(f.exchanges) + " exchanges");
    }
    if (m.adapter_table) adapter_table(log, f.bytes_to_cartridge);
    line("host CPU, user+system", thousands(m.cpu_ms) + " ms", m.cpu_detail);
    line("CPU share of the wall", fixed(100.0 * m.cpu_ms / wall, 2) + " %");
    line("peak resident memory", fixed(m.peak_rss_mib, 1) + " MiB", m.peak_rss_detail);
    line("start to package shown", fixed(m.to_package_ms, 1) + " ms");
    if (m.start_to_pass_ms >= 0)
        line("main() to the pass's end", fixed(m.start_to_pass_ms, 1) + " ms", "bench_pass.exe, median of 3");
    if (m.pass_ms >= 0) line("the package pass", fixed(m.pass_ms, 2) + " ms");
    if (m.exe_bytes >= 0) line("exe size", thousands(static_cast<double>(m.exe_bytes)) + " bytes");

    const std::vector<Stage> stages = stages_of(m, log, m.paced);
    if (stages.empty()) return;
    std::printf("  %-16s %10s %10s %8s", "stage", "wall ms", "floor ms", "ratio");
    std::printf(m.paced ? " %14s %8s\n" : "\n", "reachable ms", "ratio");
    for (const Stage& s : stages) {
        std::printf("  %-16s %10.0f %10.0f %8.4f", s.name.c_str(), s.wall_ms, s.floor_ms, s.wall_ms / s.floor_ms);
        if (m.paced) std::printf(" %14.0f %8.4f", s.reachable_ms, s.wall_ms / s.reachable_ms);
        std::printf("\n");
    }
    if (stages_file.empty()) return;
    std::ofstream out(stages_file, std::ios::app);
    for (const Stage& s : stages)
        out << m.run << '\t' << s.name << '\t' << s.wall_ms << '\t' << s.floor_ms << '\t' << s.reachable_ms << '\n';
}

}  // namespace bench
