// The simulator's end of the line: the pty master, read with deadlines and
// written at line pace, with waits that a stop request cuts short; bytes to
// the host may be held as a USB adapter's latency timer holds them.
#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sim {

using Clock = std::chrono::steady_clock;

// 19200 baud, 10 bits a byte (start, 8 data, stop): about 0.5208 ms.
constexpr std::chrono::nanoseconds BYTE_TIME{10 * 1000000000LL / 19200};

// Opens a pty pair: the master non-blocking, the slave raw and kept open by
// us. Both close on exec, so a child process cannot keep the line alive.
bool open_pty(int* master, int* slave, std::string* slave_path, std::string* error);

class Line {
public:
    enum class Wait { ready, timeout, stopped, gone };

    // `wake` becomes readable when serving must stop; `on_receive` sees every
    // chunk read from the master, in order. With a latency, a byte for the
    // host that finds nothing held starts a burst, and the whole burst reaches
    // the host `latency` after that byte; every wait lets due bursts out.
    Line(int master, int wake, std::function<void(const uint8_t*, size_t)> on_receive,
         std::chrono::milliseconds latency = std::chrono::milliseconds(0));

    Wait read_byte(Clock::time_point deadline, uint8_t* byte);
    // Paced: byte i leaves one byte time after byte i - 1, on absolute
    // deadlines from the start, so no drift accumulates.
    bool send(const std::vector<uint8_t>& bytes, bool paced);  // false: stopped or gone
    bool sleep_until(Clock::time_point when);                 // false: stopped
    // When every byte sent so far has reached the host (now, if none is held).
    Clock::time_point delivered_by() const;

private:
    Wait wait_for(int fd, short events, Clock::time_point deadline);  // fd < 0: stop pipe only
    bool write_all(const uint8_t* data, size_t count);
    bool hand_over(const uint8_t* data, size_t count);  // to the host, or into the burst
    bool release_due_burst();                            // false: the line is gone

    int master_;
    int wake_;
    std::function<void(const uint8_t*, size_t)> on_receive_;
    std::vector<uint8_t> pending_;
    size_t next_ = 0;
    std::chrono::milliseconds latency_;
    std::vector<uint8_t> held_;     // the burst the latency timer holds
    Clock::time_point release_at_;  // when held_ goes out
};

}  // namespace sim
