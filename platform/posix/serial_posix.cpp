// Serial line primitives (POSIX-specific): a tty opened exclusively, raw, with
// the Windows completion rules for reads and writes rebuilt on poll().
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <map>

#include "../serial.h"
#include "serial_ports.h"

namespace plat {
namespace {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::milliseconds;

std::map<int, std::string> device_paths;
std::map<PortHandle, LineTimeouts> port_timeouts;  // all zero (no limit) until set

int fd_of(PortHandle port) { return static_cast<int>(port); }

// The limit a transfer of `count` bytes must end by; none when both are zero.
bool total_deadline(uint32_t multiplier_ms, uint32_t constant_ms, uint32_t count, Clock::time_point start,
                    Clock::time_point* deadline) {
    uint64_t total = uint64_t{multiplier_ms} * count + constant_ms;
    *deadline = start + Millis(total);
    return total != 0;
}

// poll() takes whole milliseconds: round up so that a wait never ends just
// short of its deadline and turns into a run of zero-length polls.
int poll_timeout(Clock::time_point deadline) {
    auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return 0;
    return static_cast<int>(std::chrono::ceil<Millis>(left).count());
}

void sleep_until(Clock::time_point deadline) {
    int ms = poll_timeout(deadline);
    timespec ts{ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

// B0 for a rate without a constant here: the speed is then left as it is.
speed_t speed_of(uint32_t baud) {
    switch (baud) {
        case 9600: return B9600;
        case 19200: return B19200;
        case 38400: return B38400;
        case 57600: return B57600;
        case 115200: return B115200;
        default: return B0;
    }
}

// Nothing more to wait for on this descriptor: the other end is gone.
bool line_gone(const pollfd& p) { return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0; }

tcflag_t char_size(uint8_t data_bits) {
    switch (data_bits) {
        case 5: return CS5;
        case 6: return CS6;
        case 7: return CS7;
        default: return CS8;
    }
}

}  // namespace

void serial_set_device_path(int port_number, const std::string& path) {
    if (path.empty())
        device_paths.erase(port_number);
    else
        device_paths[port_number] = path;
}

std::string serial_device_path(int port_number) {
    auto it = device_paths.find(port_number);
    if (it != device_paths.end()) return it->second;
    return "/dev/ttyS" + std::to_string(port_number - 1);
}

PortHandle serial_open(int port_number, uint32_t* os_error) {
    const std::string path = serial_device_path(port_number);
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    int error = fd < 0 ? errno : 0;
    if (fd >= 0 && !isatty(fd)) error = ENOTTY;
    // No sharing: TIOCEXCL keeps other opens out, except root's; the lock also
    // stops a second copy running as root (and a second open in this process).
    if (error == 0 && flock(fd, LOCK_EX | LOCK_NB) != 0) error = errno;
    if (error == 0 && ioctl(fd, TIOCEXCL) != 0) error = errno;
    if (error != 0) {
        if (fd >= 0) close(fd);
        if (os_error) *os_error = static_cast<uint32_t>(error);
        return NO_PORT;
    }
    if (os_error) *os_error = 0;
    port_timeouts[fd] = LineTimeouts{};
    return fd;
}

void serial_setup_queues(PortHandle, uint32_t, uint32_t) {}  // a tty's queues are the kernel's

void serial_set_line(PortHandle port, uint32_t baud, uint8_t data_bits, uint8_t parity) {
    termios tio{};
    if (tcgetattr(fd_of(port), &tio) != 0) return;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag = (tio.c_cflag & ~CSIZE) | char_size(data_bits);
    tio.c_cflag &= ~(PARENB | PARODD);
    if (parity != 0) tio.c_cflag |= PARENB | (parity == 1 ? PARODD : 0);  // 1 odd, 2 even
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (speed_t speed = speed_of(baud)) {
        cfsetispeed(&tio, speed);
        cfsetospeed(&tio, speed);
    }
    tcsetattr(fd_of(port), TCSANOW, &tio);
}

bool serial_set_timeouts(PortHandle port, const LineTimeouts& timeouts) {
    auto it = port_timeouts.find(port);
    if (it == port_timeouts.end()) return false;
    it->second = timeouts;
    return true;
}

void serial_purge(PortHandle port, uint32_t flags) {
    if (port < 0) return;
    if (flags & PURGE_TXCLEAR_FLAG) tcflush(fd_of(port), TCOFLUSH);
    if (flags & PURGE_RXCLEAR_FLAG) tcflush(fd_of(port), TCIFLUSH);
}

bool serial_write(PortHandle port, const uint8_t* data, uint32_t count, uint32_t* done) {
    *done = 0;
    auto it = port_timeouts.find(port);
    if (it == port_timeouts.end()) return false;
    Clock::time_point deadline;
    const bool limited = total_deadline(it->second.write_total_multiplier_ms, it->second.write_total_constant_ms,
                                        count, Clock::now(), &deadline);
    // The write is tried first and waited for only when the queue is full:
    // a frame goes out one byte per call, and a poll ahead of every byte
    // would double the system calls of an update.
    while (*done < count) {
        ssize_t n = write(fd_of(port), data + *done, count - *done);
        if (n > 0) {
            *done += static_cast<uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || errno != EAGAIN) return false;
        pollfd p{fd_of(port), POLLOUT, 0};
        int ready = poll(&p, 1, limited ? poll_timeout(deadline) : -1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || line_gone(p)) return false;  // time limit reached, poll failed, or hung up
    }
    return true;
}

bool serial_read(PortHandle port, uint8_t* buffer, uint32_t count, uint32_t* done, bool* refused) {
    *done = 0;
    *refused = false;
    auto it = port_timeouts.find(port);
    if (it == port_timeouts.end()) {
        *refused = true;  // no such port
        return false;
    }
    const LineTimeouts& limits = it->second;
    const Clock::time_point start = Clock::now();
    Clock::time_point total_end;
    const bool limited =
        total_deadline(limits.read_total_multiplier_ms, limits.read_total_constant_ms, count, start, &total_end);
    Clock::time_point interval_end;  // armed by the first byte
    bool got_byte = false;

    // The point at which the read ends if nothing more arrives.
    auto end_of_wait = [&](Clock::time_point* end) {
        bool use_interval = got_byte && limits.read_interval_ms != 0;
        if (!limited && !use_interval) return false;
        *end = !limited ? interval_end : !use_interval ? total_end : std::min(total_end, interval_end);
        return true;
    };

    while (*done < count) {
        Clock::time_point end;
        const bool has_end = end_of_wait(&end);
        pollfd p{fd_of(port), POLLIN, 0};
        int ready = poll(&p, 1, has_end ? poll_timeout(end) : -1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) return false;  // a time-out ended it
        ssize_t n = ready > 0 ? read(fd_of(port), buffer + *done, count - *done) : -1;
        if (n > 0) {
            *done += static_cast<uint32_t>(n);
            got_byte = true;
            interval_end = Clock::now() + Millis(limits.read_interval_ms);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR) && !line_gone(p)) continue;
        // Hang-up (EOF, EIO, POLLHUP) or a failed poll: the system refused the
        // read. It fails only when its time is up, as on a silent line, so that
        // a caller polling with short reads never spins.
        if (has_end) sleep_until(end);
        *refused = true;
        return false;
    }
    return true;
}

void serial_close(PortHandle port) {
    if (port < 0) return;
    port_timeouts.erase(port);
    close(fd_of(port));  // also drops the lock
}

}  // namespace plat
