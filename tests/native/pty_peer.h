// The far end of a pseudo-terminal for tests that must control every byte the
// host sees: the host opens slave_path() as its port, the test plays the
// other side on the master, on a thread of its own when it must answer.
#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "test_helpers.h"

namespace testing_pty {

using test_helpers::Bytes;
using test_helpers::Clock;
using test_helpers::ms_since;

class PtyPeer {
public:
    PtyPeer();   // opens a raw pty and keeps its slave open (a host close is no hang-up)
    ~PtyPeer();  // joins the script, closes everything
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    bool ok() const { return master_ >= 0; }
    const std::string& slave_path() const { return slave_path_; }
    int slave_fd() const { return slave_keep_; }

    // Up to n bytes, returning early once n arrived or timeout_ms passed.
    Bytes read(size_t n, int timeout_ms);
    // Whatever arrives until the line stays silent for quiet_ms.
    Bytes read_until_quiet(int quiet_ms);
    void write(const Bytes& bytes);
    // Pulls the line: closes the master and the kept slave.
    void hang_up();

    // Runs the script on its own thread; join() waits for it.
    void play(std::function<void(PtyPeer&)> script);
    void join();

private:
    int master_ = -1;
    int slave_keep_ = -1;
    std::string slave_path_;
    std::thread script_;
};

}  // namespace testing_pty
