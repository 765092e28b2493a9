// The pty master with poll(): every wait also watches the stop pipe.
#include "line.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

bool fail(std::string* error, const char* what) {
    if (error) *error = std::string(what) + ": " + std::strerror(errno) + " (errno " + std::to_string(errno) + ")";
    return false;
}

}  // namespace

bool open_pty(int* master, int* slave, std::string* slave_path, std::string* error) {
    int m = posix_openpt(O_RDWR | O_NOCTTY);
    if (m < 0) return fail(error, "posix_openpt");
    char name[128];
    if (grantpt(m) != 0 || unlockpt(m) != 0 || ptsname_r(m, name, sizeof name) != 0) {
        bool r = fail(error, "grantpt/unlockpt/ptsname");
        close(m);
        return r;
    }
    int s = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (s < 0 || tcgetattr(s, &tio) != 0) {
        bool r = fail(error, "opening the pty slave");
        if (s >= 0) close(s);
        close(m);
        return r;
    }
    cfmakeraw(&tio);
    cfsetspeed(&tio, B19200);
    if (tcsetattr(s, TCSANOW, &tio) != 0 || fcntl(m, F_SETFD, FD_CLOEXEC) != 0 ||
        fcntl(m, F_SETFL, fcntl(m, F_GETFL) | O_NONBLOCK) != 0) {
        bool r = fail(error, "setting up the pty");
        close(s);
        close(m);
        return r;
    }
    *master = m;
    *slave = s;
    *slave_path = name;
    return true;
}

Line::Line(int master, int wake, std::function<void(const uint8_t*, size_t)> on_receive,
           std::chrono::milliseconds latency)
    : master_(master), wake_(wake), on_receive_(std::move(on_receive)), latency_(latency) {}

Line::Wait Line::wait_for(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        if (!release_due_burst()) return Wait::gone;
        // A held burst cuts the wait short at its release time.
        const Clock::time_point until = held_.empty() ? deadline : std::min(deadline, release_at_);
        pollfd fds[2] = {{wake_, POLLIN, 0}, {fd, events, 0}};
        timespec ts{};
        timespec* timeout = nullptr;
        if (until != Clock::time_point::max()) {
            auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(until - Clock::now());
            if (left.count() < 0) left = left.zero();
            ts.tv_sec = static_cast<time_t>(left.count() / 1000000000);
            ts.tv_nsec = static_cast<long>(left.count() % 1000000000);
            timeout = &ts;
        }
        int n = ppoll(fds, fd >= 0 ? 2 : 1, timeout, nullptr);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Wait::gone;
        if (fds[0].revents) return Wait::stopped;
        if (n == 0 && until < deadline) continue;
        if (n == 0) return release_due_burst() ? Wait::timeout : Wait::gone;
        if (fds[1].revents & events) return Wait::ready;
        return Wait::gone;  // POLLHUP/POLLERR without the event we wait for
    }
}

Line::Wait Line::read_byte(Clock::time_point deadline, uint8_t* byte) {
    while (next_ == pending_.size()) {
        Wait w = wait_for(master_, POLLIN, deadline);
        if (w != Wait::ready) return w;
        uint8_t chunk[512];
        ssize_t n = read(master_, chunk, sizeof chunk);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) return Wait::gone;
        pending_.assign(chunk, chunk + n);
        next_ = 0;
        on_receive_(chunk, static_cast<size_t>(n));
    }
    *byte = pending_[next_++];
    return Wait::ready;
}

bool Line::write_all(const uint8_t* data, size_t count) {
    while (count > 0) {
        ssize_t n = write(master_, data, count);
        if (n > 0) {
            data += n;
            count -= static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            // The client is not reading and the pty buffer is full.
            if (wait_for(master_, POLLOUT, Clock::time_point::max()) != Wait::ready) return false;
        } else {
            return false;
        }
    }
    return true;
}

bool Line::hand_over(const uint8_t* data, size_t count) {
    if (latency_.count() == 0) return write_all(data, count);
    if (held_.empty()) release_at_ = Clock::now() + latency_;
    held_.insert(held_.end(), data, data + count);
    return true;
}

bool Line::release_due_burst() {
    if (held_.empty() || Clock::now() < release_at_) return true;
    std::vector<uint8_t> burst;
    burst.swap(held_);  // write_all's own waits must not release it again
    return write_all(burst.data(), burst.size());
}

bool Line::send(const std::vector<uint8_t>& bytes, bool paced) {
    if (!paced) return hand_over(bytes.data(), bytes.size());
    const Clock::time_point start = Clock::now();
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (!sleep_until(start + BYTE_TIME * static_cast<long>(i + 1))) return false;
        if (!hand_over(&bytes[i], 1)) return false;
    }
    return true;
}

bool Line::sleep_until(Clock::time_point when) {
    return wait_for(-1, 0, when) == Wait::timeout;
}

Clock::time_point Line::delivered_by() const {
    return held_.empty() ? Clock::now() : release_at_;
}

}  // namespace sim
