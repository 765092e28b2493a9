// Wine processes for the tests.
#include "wine_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

extern char** environ;

namespace wine {
namespace {

const std::string WINE_DIR = BINARY_DIR "/wine";

std::string display() {
    std::ifstream file(WINE_DIR + "/display");
    std::string name;
    file >> name;
    return name;
}

std::vector<std::string> environment() {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        if (entry.rfind("WINEPREFIX=", 0) && entry.rfind("DISPLAY=", 0) && entry.rfind("WINEDEBUG=", 0) &&
            entry.rfind("LC_ALL=", 0) && entry.rfind("HOME=", 0))
            env.push_back(entry);
    }
    env.push_back("HOME=" + home());  // the one the prefix was made with (wine_env.sh)
    env.push_back("LC_ALL=C.UTF-8");  // the driver's arguments reach it as UTF-8
    env.push_back("WINEPREFIX=" + prefix());
    env.push_back("WINEDEBUG=-all");
    env.push_back("DISPLAY=" + display());
    return env;
}

pid_t spawn(const std::string& program, const std::vector<std::string>& args, int out_fd) {
    std::vector<std::string> argv_s = {"wine", program};
    argv_s.insert(argv_s.end(), args.begin(), args.end());
    std::vector<char*> argv, envp;
    for (auto& a : argv_s) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = environment();
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Wine leaves services of its own running after the program, and they
    // keep the descriptors they inherit: none of ours may reach them, or
    // whoever reads our output (ctest) waits for them forever.
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (out_fd >= 0)
        posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, "wine", &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int wait_for(pid_t pid, int timeout_ms, int* status) {
    for (auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);;) {
        int raw = 0;
        if (waitpid(pid, &raw, WNOHANG) == pid) {
            *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
            return 1;
        }
        if (std::chrono::steady_clock::now() > end) return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace

std::string prefix() { return WINE_DIR + "/prefix"; }
std::string home() { return WINE_DIR + "/home"; }
std::string dist_exe() { return DIST_DIR "/pATU.exe"; }
std::string small_exe() { return SMALL_EXE; }
std::string driver_exe() { return WIN_BUILD_DIR "/windriver.exe"; }

void link_com(int n, const std::string& device) {
    // The prefix maps COM n to this link of ours (see wine_env.sh).
    const std::string link = WINE_DIR + "/ports/com" + std::to_string(n);
    unlink(link.c_str());
    if (!device.empty()) symlink(device.c_str(), link.c_str());
}

Result run(const std::string& program, const std::vector<std::string>& args, int timeout_ms) {
    Result result;
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0) return result;
    pid_t pid = spawn(program, args, pipe_fds[1]);
    close(pipe_fds[1]);
    // Wine may start services of its own from the program, and they inherit
    // the pipe: read until the program itself has ended, not until end of file.
    bool ended = pid <= 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        pollfd fd{pipe_fds[0], POLLIN, 0};
        char buffer[4096];
        ssize_t n = poll(&fd, 1, ended ? 0 : 20) > 0 && (fd.revents & POLLIN)
                        ? read(pipe_fds[0], buffer, sizeof buffer)
                        : 0;
        if (n > 0) {
            result.out.append(buffer, n);
            continue;
        }
        if (ended) break;  // and drained
        if (fd.revents & POLLHUP) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        int raw = 0;
        if (waitpid(pid, &raw, WNOHANG) == pid) {
            result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
            ended = true;
        } else if (std::chrono::steady_clock::now() > end) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            ended = true;
        }
    }
    close(pipe_fds[0]);
    return result;
}

Process::Process(const std::string& program, const std::vector<std::string>& args)
    : pid_(spawn(program, args, -1)) {}

Process::~Process() {
    if (running()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

int Process::wait(int timeout_ms) {
    if (pid_ > 0 && wait_for(pid_, timeout_ms, &status_)) pid_ = -1;
    return pid_ > 0 ? -1 : status_;
}

bool Process::running() {
    if (pid_ <= 0) return false;
    int raw = 0;
    if (waitpid(pid_, &raw, WNOHANG) == pid_) {
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        pid_ = -1;
    }
    return pid_ > 0;
}

std::vector<std::string> drive(const std::vector<std::string>& command, int timeout_ms) {
    Result r = run(driver_exe(), command, timeout_ms);
    std::vector<std::string> lines;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    std::string joined;
    for (const auto& c : command) joined += c + " ";
    EXPECT_EQ(r.status, 0) << "windriver " << joined << "\n" << r.out;
    return lines;
}

}  // namespace wine
