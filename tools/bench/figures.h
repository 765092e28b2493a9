// What one benchmark run measured, the floor that the protocol's fixed
// pauses and the line set for it, and the figures printed from both.
#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "simulator.h"

namespace bench {

// Milliseconds on the monotonic clock (steady_clock, CLOCK_MONOTONIC).
double now_ms();

struct Measured {
    std::string run;              // "native unpaced", "wine paced", ...
    bool paced = false;
    int latency_ms = 0;           // a USB adapter's latency timer on the simulated line
    double sim_start_ms = 0;      // the simulator's clock origin, on now_ms()
    double ok_ms = 0;             // "OK" on the confirmation, on now_ms()
    double message7_ms = 0;       // message 7 shown, on now_ms()
    bool completed = false;       // message 7 came and nothing else did
    double cpu_ms = 0;            // host CPU, user + system, between the two
    std::string cpu_detail;       // how cpu_ms was taken
    double peak_rss_mib = 0;      // peak resident memory of the host process
    std::string peak_rss_detail;
    double to_package_ms = 0;     // start of the program to the window showing the package
    double pass_ms = -1;          // the package pass alone, when it was measured
    double start_to_pass_ms = -1; // the program's start to the pass's end, Wine's start-up left out
    long exe_bytes = -1;
    bool adapter_table = false;   // also print the update's time behind USB adapters, worked out
};

struct Stage {
    std::string name;
    double wall_ms = 0;
    double floor_ms = 0;
    double reachable_ms = 0;  // see Floor
};

// The run's floor. `pauses_ms`: the fixed pauses (80 ms per reply wait, 50 ms
// per Page write, 5000 ms after the first G, 100 ms per Page of section 4,
// 80 ms after the wake byte). `line_ms`: when paced, every byte sent and
// received at 10 bits per byte. `reachable_ms`: what a host could reach on
// the simulated line, where a reply and the frame before it travel during
// the host's 80 ms reply pause (a pty makes no write wait for the line).
struct Floor {
    int exchanges = 0, page_writes = 0, section4_pages = 0;
    long bytes_to_cartridge = 0, bytes_from_cartridge = 0;
    double pauses_ms = 0, line_ms = 0, reachable_ms = 0;
    double total_ms() const { return pauses_ms + line_ms; }
};

// Starts the simulated cartridge of a run (default identity, paced and with
// the adapter latency the run has) and sets the run's clock origin; on
// failure says why, as `tool`, and gives null.
std::unique_ptr<sim::Simulator> start_cartridge(Measured& m, const char* tool);

Floor floor_of(const std::vector<sim::LogEntry>& log, size_t bytes_received, bool paced);

// Identification, first stage, the 5 s pause, second stage, modules, identity
// page: wall time on the simulator's frame times and each one's floor.
std::vector<Stage> stages_of(const Measured& m, const std::vector<sim::LogEntry>& log, bool paced);

// The update's time behind a USB-serial adapter, worked out from the frames
// of the run and its write calls (one a byte: every byte the cartridge got).
// Every write call returns only after its USB transfer, `call_ms`; the
// adapter sends each byte on the line as it has it, at 19200 baud; the loader
// answers a frame once the frame is in; the adapter's latency timer holds the
// complement and every reply `latency_ms`; the host's 80 ms reply pause starts
// when its last write returns. With `call_ms` at a byte's line time and no
// timer, a built-in port whose every write waits for the byte before it.
double time_behind_adapter(const std::vector<sim::LogEntry>& log, long write_calls, double call_ms,
                           double latency_ms);

// Prints the figures of one run; appends its stages to `stages_file` when
// one is named ("run<TAB>stage<TAB>wall_ms<TAB>floor_ms<TAB>reachable_ms").
void report(const Measured& m, const sim::Simulator& cartridge, const std::string& stages_file);

}  // namespace bench
