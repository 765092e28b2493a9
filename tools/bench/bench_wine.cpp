// bench_wine: one full update of the shipped package by pATU.exe under Wine,
// driven through its windows by windriver.exe, against the simulated
// cartridge on COM 1; the figures of docs/PERFORMANCE.md.
//
//   bench_wine --wine-dir DIR --exe PATU.EXE --driver WINDRIVER.EXE
//              [--pass BENCH_PASS.EXE] [--paced] [--name RUN] [--stages FILE]
//
// DIR is what tests/wine/wine_env.sh started: DIR/prefix, DIR/ports/com1
// (the link Wine's COM 1 follows) and DIR/display. The host's CPU time is
// that of pATU.exe's process and of the prefix's wineserver, from /proc.
// --pass: bench_pass.exe, run three times for the package pass alone.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "figures.h"
#include "simulator.h"

extern char** environ;

namespace {

const char WINDOW[] = "\"Atualização QUILLA II\"";
const char DIALOG[] = "Mensagem";

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

// user + system time of a process, in ms; -1 when it is gone.
double process_cpu_ms(pid_t pid) {
    const std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    double utime = 0, stime = 0;
    for (int i = 3; fields >> field; ++i) {  // field 3 is the state
        if (i == 14) utime = std::stod(field);
        if (i == 15) {
            stime = std::stod(field);
            break;
        }
    }
    return (utime + stime) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// A value of /proc/PID/status in kB ("VmHWM").
double status_kib(pid_t pid, const std::string& key) {
    std::istringstream in(read_file("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + ":", 0) == 0) return std::stod(line.substr(key.size() + 1));
    return -1;
}

// The process whose command line holds `part` and whose environment holds `env`.
pid_t find_process(const std::string& part, const std::string& env) {
    DIR* proc = opendir("/proc");
    pid_t found = -1;
    for (dirent* d; proc && found < 0 && (d = readdir(proc));) {
        const pid_t pid = std::atoi(d->d_name);
        if (pid <= 0) continue;
        const std::string base = std::string("/proc/") + d->d_name;
        std::string environ_text = read_file(base + "/environ");
        std::replace(environ_text.begin(), environ_text.end(), '\0', '\n');
        if (read_file(base + "/cmdline").find(part) != std::string::npos &&
            (environ_text.find("\n" + env + "\n") != std::string::npos || environ_text.rfind(env + "\n", 0) == 0))
            found = pid;
    }
    if (proc) closedir(proc);
    return found;
}

class Wine {
public:
    explicit Wine(const std::string& dir) : dir_(dir) {
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (entry.rfind("WINEPREFIX=", 0) && entry.rfind("DISPLAY=", 0) && entry.rfind("WINEDEBUG=", 0) &&
                entry.rfind("LC_ALL=", 0))
                env_.push_back(entry);
        }
        std::string display = read_file(dir + "/display");
        while (!display.empty() && (display.back() == '\n' || display.back() == ' ')) display.pop_back();
        env_.insert(env_.end(), {"LC_ALL=C.UTF-8", "WINEPREFIX=" + prefix(), "WINEDEBUG=-all", "DISPLAY=" + display});
    }
    std::string prefix() const { return dir_ + "/prefix"; }
    std::string com1() const { return dir_ + "/ports/com1"; }

    // `wine program`, with its standard input and output on the given fds
    // (-1: /dev/null).
    pid_t spawn(const std::string& program, int in_fd, int out_fd) {
        std::vector<std::string> args = {"wine", program};
        std::vector<char*> argv, envp;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : env_) envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (in_fd >= 0) posix_spawn_file_actions_adddup2(&actions, in_fd, 0);
        else posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        if (out_fd >= 0) posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
        else posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = -1;
        if (posix_spawnp(&pid, "wine", &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }

private:
    std::string dir_;
    std::vector<std::string> env_;
};

// windriver.exe reading its commands from a pipe, one line at a time.
class Driver {
public:
    Driver(Wine& wine, const std::string& exe) {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
        pid_ = wine.spawn(exe, in[0], out[1]);
        close(in[0]);
        close(out[1]);
        to_ = in[1];
        from_ = out[0];
    }
    ~Driver() {
        if (to_ >= 0) close(to_);
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
        if (from_ >= 0) close(from_);
    }
    void send(const std::string& command) {
        const std::string line = command + "\n";
        (void)!write(to_, line.data(), line.size());
    }
    // The next output line; "" when none came within `timeout_ms` or the
    // driver ended (a failed command ends it).
    std::string line(int timeout_ms) {
        const double end = bench::now_ms() + timeout_ms;
        for (;;) {
            const size_t nl = buffer_.find('\n');
            if (nl != std::string::npos) {
                std::string l = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                if (!l.empty() && l.back() == '\r') l.pop_back();
                return l;
            }
            const double left = end - bench::now_ms();
            pollfd p{from_, POLLIN, 0};
            if (left <= 0 || poll(&p, 1, static_cast<int>(left) + 1) <= 0) return "";
            char chunk[4096];
            const ssize_t n = read(from_, chunk, sizeof chunk);
            if (n <= 0) return "";
            buffer_.append(chunk, n);
        }
    }

private:
    pid_t pid_ = -1;
    int to_ = -1, from_ = -1;
    std::string buffer_;
};

// bench_pass.exe run three times: the medians of its "start_ms" and
// "pass_ms"; -1 for what it never printed.
void measure_pass(Wine& wine, const std::string& exe, bench::Measured* m) {
    std::vector<double> starts, passes;
    auto value = [](const std::string& out, const std::string& key, std::vector<double>* into) {
        const size_t at = out.find(key + "=");
        if (at != std::string::npos) into->push_back(std::stod(out.substr(at + key.size() + 1)));
    };
    for (int run = 0; run < 3; ++run) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) break;
        const pid_t pid = wine.spawn(exe, -1, fds[1]);
        close(fds[1]);
        std::string out;
        char chunk[512];
        for (ssize_t n; (n = read(fds[0], chunk, sizeof chunk)) > 0;) out.append(chunk, n);
        close(fds[0]);
        if (pid > 0) waitpid(pid, nullptr, 0);
        value(out, "start_ms", &starts);
        value(out, "pass_ms", &passes);
    }
    auto median = [](std::vector<double>& v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? -1.0 : v[v.size() / 2];
    };
    m->start_to_pass_ms = median(starts);
    m->pass_ms = median(passes);
}

struct Sample {
    double program_ms = 0, server_ms = 0;
};

}  // namespace

int main(int argc, char** argv) {
    bench::Measured m;
    m.run = "wine";
    std::string dir, exe, driver_exe, pass_exe, stages_file;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool has_value = i + 1 < argc;
        if (a == "--paced") m.paced = true;
        else if (a == "--wine-dir" && has_value) dir = argv[++i];
        else if (a == "--exe" && has_value) exe = argv[++i];
        else if (a == "--driver" && has_value) driver_exe = argv[++i];
        else if (a == "--pass" && has_value) pass_exe = argv[++i];
        else if (a == "--name" && has_value) m.run = argv[++i];
        else if (a == "--stages" && has_value) stages_file = argv[++i];
        else dir.clear(), i = argc;
    }
    if (dir.empty() || exe.empty() || driver_exe.empty()) {
        std::fprintf(stderr, "usage: bench_wine --wine-dir DIR --exe PATU.EXE --driver WINDRIVER.EXE "
                             "[--pass BENCH_PASS.EXE] [--paced] [--name RUN] [--stages FILE]\n");
        return 2;
    }
    struct stat st{};
    if (stat(exe.c_str(), &st) == 0) m.exe_bytes = st.st_size;

    const std::unique_ptr<sim::Simulator> cartridge = bench::start_cartridge(m, "bench_wine");
    if (!cartridge) return 1;
    Wine wine(dir);
    unlink(wine.com1().c_str());
    if (symlink(cartridge->slave_path().c_str(), wine.com1().c_str()) != 0) {
        std::fprintf(stderr, "bench_wine: cannot link %s\n", wine.com1().c_str());
        return 1;
    }

    Driver driver(wine, driver_exe);
    auto fail = [&](const char* what) {
        std::fprintf(stderr, "bench_wine: %s\n", what);
        unlink(wine.com1().c_str());
        return 1;
    };
    const double launched = bench::now_ms();
    const pid_t program = wine.spawn(exe, -1, -1);
    driver.send(std::string("wait-text ") + WINDOW + " 08/08/2013 60000");
    if (driver.line(70000).empty()) return fail("the window never showed the package");
    m.to_package_ms = bench::now_ms() - launched;
    pid_t program_pid = program;
    if (read_file("/proc/" + std::to_string(program) + "/cmdline").find("pATU.exe") == std::string::npos)
        program_pid = find_process("pATU.exe", "WINEPREFIX=" + wine.prefix());
    const pid_t server_pid = find_process("wineserver", "WINEPREFIX=" + wine.prefix());

    driver.send(std::string("click ") + WINDOW + " Atualiza");
    driver.send(std::string("wait-text ") + DIALOG + " \"Para iniciar a atualização deste cartucho\" 20000");
    if (driver.line(30000).empty()) return fail("no confirmation");
    auto sample = [&] { return Sample{process_cpu_ms(program_pid), process_cpu_ms(server_pid)}; };
    const Sample at_ok = sample();
    m.ok_ms = bench::now_ms();
    driver.send(std::string("click ") + DIALOG + " OK");
    driver.send(std::string("wait-gone ") + DIALOG + " 10000");
    driver.send(std::string("wait-window ") + DIALOG + " 900000");
    driver.send(std::string("wait-text ") + DIALOG + " \"Atualização concluída com sucesso!!\" 10000");
    // The update takes minutes; a program that ends early ends the wait.
    std::string done;
    bool program_ended = false;
    for (const double limit = bench::now_ms() + 920000; done.empty() && bench::now_ms() < limit;) {
        done = driver.line(500);
        if (done.empty() && waitpid(program, nullptr, WNOHANG) == program) {
            program_ended = true;
            break;
        }
    }
    m.message7_ms = bench::now_ms();
    const Sample at_message7 = sample();
    m.peak_rss_mib = status_kib(program_pid, "VmHWM") / 1024.0;
    m.peak_rss_detail = "VmHWM of pATU.exe's process (Wine's own libraries included)";
    m.completed = !done.empty();
    const double program_cpu = at_message7.program_ms - at_ok.program_ms;
    const double server_cpu = at_message7.server_ms - at_ok.server_ms;
    m.cpu_ms = program_cpu + server_cpu;
    char detail[160];
    std::snprintf(detail, sizeof detail, "pATU.exe %.0f ms + wineserver %.0f ms (/proc/PID/stat)", program_cpu,
                  server_cpu);
    m.cpu_detail = detail;

    driver.send(std::string("click ") + DIALOG + " OK");
    for (int i = 0; i < 400 && !program_ended; ++i) {
        program_ended = waitpid(program, nullptr, WNOHANG) == program;
        if (!program_ended) usleep(50000);
    }
    if (!program_ended) {
        kill(program, SIGKILL);
        waitpid(program, nullptr, 0);
    }
    cartridge->stop();
    unlink(wine.com1().c_str());
    if (!pass_exe.empty()) measure_pass(wine, pass_exe, &m);
    bench::report(m, *cartridge, stages_file);
    return m.completed ? 0 : 1;
}
