// Runs Windows programs under Wine for the tests: in the private prefix and
// on the X server that wine_env.sh started, with COM ports linked to ptys.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace wine {

std::string prefix();
// The home folder Wine runs with; the prefix's Documents folder links to it.
std::string home();
std::string dist_exe();        // dist/pATU.exe
std::string small_exe();       // the same program around pkggen's small package
std::string driver_exe();      // the Win32 test driver

// COM n of the prefix opens `device` (a pty's slave); "" removes the link.
void link_com(int n, const std::string& device);

struct Result {
    int status = -1;     // exit status; -1 when it had to be killed
    std::string out;     // standard output
};
// Runs `wine program args...` to its end, at most `timeout_ms`.
Result run(const std::string& program, const std::vector<std::string>& args, int timeout_ms = 60000);

// A Windows program left running.
class Process {
public:
    Process(const std::string& program, const std::vector<std::string>& args);
    ~Process();  // kills it if still running
    // Waits for the end; its exit status, or -1 after `timeout_ms`.
    int wait(int timeout_ms);
    bool running();

private:
    pid_t pid_ = -1;
    int status_ = -1;
};

// One driver command; its output lines. Fails the test when the driver does.
std::vector<std::string> drive(const std::vector<std::string>& command, int timeout_ms = 60000);

}  // namespace wine
