// bench_native: one full update of the shipped package by the native program
// (headless windows, the real clock) against the simulated cartridge, with
// the figures of docs/PERFORMANCE.md.
//
//   bench_native [--paced] [--latency MS] [--name RUN] [--stages FILE] [--strace FILE]
//
// --latency MS holds the simulator's bytes to the host as a USB-serial
// adapter's latency timer does.
// The simulator runs here; the program runs in a child process of its own
// (this file run with --host), so that its CPU time and memory are its own.
// --strace runs the child under `strace -f -c` and reports only its system
// calls per Page (per W or F frame), strace's slowdown making the times moot.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "figures.h"
#include "headless/ui_headless.h"
#include "posix/serial_ports.h"
#include "simulator.h"
#include "uATU.h"
#include "uMSG.h"

extern char** environ;

namespace {

constexpr unsigned MENSAGEM_CONCLUIDA = 7;

double cpu_ms(const rusage& r) {
    return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1000.0 + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1000.0;
}

// The child: the program's start-up and one attempt, answered OK throughout.
// Prints its measurements as key=value lines.
int run_host(const std::string& port, const std::string& dump) {
    const double started = bench::now_ms();
    ARQUIVO_DUMP = dump;
    plat::serial_set_device_path(1, port);
    double ok_ms = -1, message7_ms = -1;
    rusage at_ok{}, at_message7{};
    int dialogs = 0;
    ui::headless::set_modal_answer([&](ui::Form* form) {
        if (++dialogs == 1) {  // the confirmation
            getrusage(RUSAGE_SELF, &at_ok);
            ok_ms = bench::now_ms();
        } else if (static_cast<unsigned>(ui::form_tag(form)) == MENSAGEM_CONCLUIDA) {
            message7_ms = bench::now_ms();
            getrusage(RUSAGE_SELF, &at_message7);
        }
        return 1;
    });
    const double before_pass = bench::now_ms();
    CRIA_JANELAS();
    ui::app_run(fmATU->form);
    const double shown = bench::now_ms();
    ui::headless::click(ui::find_control(fmATU->form, "sbATU"));
    rusage end{};
    getrusage(RUSAGE_SELF, &end);
    std::printf("started=%.3f\nshown=%.3f\npass=%.3f\nok=%.3f\nmessage7=%.3f\ncpu=%.3f\nmaxrss_kib=%ld\n"
                "dialogs=%d\nboxes=%zu\n",
                started, shown, shown - before_pass, ok_ms, message7_ms, cpu_ms(at_message7) - cpu_ms(at_ok),
                end.ru_maxrss, dialogs, ui::headless::message_boxes().size());
    return 0;
}

// Runs `argv` with its standard output into a string; its exit status.
int run_child(const std::vector<std::string>& args, std::string* out) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) out->append(buffer, n);
    close(fds[0]);
    int status = -1;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::map<std::string, double> values_of(const std::string& text) {
    std::map<std::string, double> values;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = std::stod(line.substr(eq + 1));
    }
    return values;
}

// The "total" row of `strace -c`: its calls column.
long strace_total(const std::string& path) {
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (line.find("total") == std::string::npos) continue;
        std::istringstream row(line);
        double percent, seconds;
        long usecs, calls;
        if (row >> percent >> seconds >> usecs >> calls) return calls;
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--host") == 0) return run_host(argv[2], argv[3]);

    bench::Measured m;
    std::string stages_file, strace_file;
    m.run = "native";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--paced") m.paced = true;
        else if (a == "--latency" && i + 1 < argc) m.latency_ms = std::atoi(argv[++i]);
        else if (a == "--name" && i + 1 < argc) m.run = argv[++i];
        else if (a == "--stages" && i + 1 < argc) stages_file = argv[++i];
        else if (a == "--strace" && i + 1 < argc) strace_file = argv[++i];
        else {
            std::fprintf(stderr, "usage: bench_native [--paced] [--latency MS] [--name RUN] [--stages FILE] "
                                 "[--strace FILE]\n");
            return 2;
        }
    }

    const std::unique_ptr<sim::Simulator> cartridge = bench::start_cartridge(m, "bench_native");
    if (!cartridge) return 1;

    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return 1;
    self[n] = '\0';
    const std::string dump = "/tmp/bench_native_" + std::to_string(getpid()) + ".txt";
    std::vector<std::string> child = {self, "--host", cartridge->slave_path(), dump};
    if (!strace_file.empty()) child.insert(child.begin(), {"strace", "-f", "-c", "-o", strace_file, "--"});
    std::string out;
    const double spawned = bench::now_ms();
    const int status = run_child(child, &out);
    cartridge->stop();
    std::remove(dump.c_str());
    std::map<std::string, double> v = values_of(out);
    if (status != 0 || !v.count("message7")) {
        std::fprintf(stderr, "bench_native: the program failed (status %d)\n%s", status, out.c_str());
        return 1;
    }
    m.ok_ms = v["ok"];
    m.message7_ms = v["message7"];
    m.completed = v["message7"] > 0 && v["dialogs"] == 2 && v["boxes"] == 0;
    m.cpu_ms = v["cpu"];
    m.cpu_detail = "getrusage of the program's process";
    m.peak_rss_mib = v["maxrss_kib"] / 1024.0;
    m.peak_rss_detail = "ru_maxrss of the program's process";
    m.to_package_ms = v["shown"] - spawned;
    m.pass_ms = v["pass"];
    m.adapter_table = !m.paced && m.latency_ms == 0;
    if (strace_file.empty()) {
        bench::report(m, *cartridge, stages_file);
        return m.completed ? 0 : 1;
    }
    // Under strace the times are strace's own: only the count is reported.
    const long calls = strace_total(strace_file);
    int frames = 0;
    for (const sim::LogEntry& e : cartridge->log()) frames += e.command == 'W' || e.command == 'F';
    std::printf("== %s\n  %-34s %14.1f  %ld calls / %d W and F frames (strace -f -c)\n", m.run.c_str(),
                "system calls per Page", frames ? static_cast<double>(calls) / frames : 0.0, calls, frames);
    return m.completed && calls > 0 ? 0 : 1;
}
