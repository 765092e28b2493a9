// The test side of a pseudo-terminal pair.
#include "pty_peer.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace testing_pty {

PtyPeer::PtyPeer() {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        if (master >= 0) close(master);
        return;
    }
    slave_path_ = ptsname(master);
    slave_keep_ = open(slave_path_.c_str(), O_RDWR | O_NOCTTY);
    termios tio{};
    if (slave_keep_ < 0 || tcgetattr(slave_keep_, &tio) != 0) {
        close(master);
        return;
    }
    cfmakeraw(&tio);  // no echo, no line editing: bytes pass as they are
    tcsetattr(slave_keep_, TCSANOW, &tio);
    master_ = master;
}

PtyPeer::~PtyPeer() {
    join();
    hang_up();
}

Bytes PtyPeer::read(size_t n, int timeout_ms) { return test_helpers::read_bytes(master_, n, timeout_ms); }

Bytes PtyPeer::read_until_quiet(int quiet_ms) {
    Bytes all;
    for (;;) {
        Bytes more = read(4096, quiet_ms);
        if (more.empty()) return all;
        all.insert(all.end(), more.begin(), more.end());
    }
}

void PtyPeer::write(const Bytes& bytes) {
    size_t done = 0;
    while (done < bytes.size() && master_ >= 0) {
        ssize_t k = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (k < 0 && errno != EINTR && errno != EAGAIN) return;
        if (k > 0) done += static_cast<size_t>(k);
    }
}

void PtyPeer::hang_up() {
    if (master_ >= 0) close(master_);
    if (slave_keep_ >= 0) close(slave_keep_);
    master_ = slave_keep_ = -1;
}

void PtyPeer::play(std::function<void(PtyPeer&)> script) {
    join();
    script_ = std::thread([this, script] { script(*this); });
}

void PtyPeer::join() {
    if (script_.joinable()) script_.join();
}

}  // namespace testing_pty
