// The whole conversation of an update with the small package, pinned line by
// line: every frame the cartridge received, in order, and every pause the
// program took between them, with its length. The pauses are fast-forwarded;
// the clock tells the test of each one as it begins.
#include <chrono>
#include <mutex>
#include <sstream>
#include <thread>

#include "app_fixture.h"
#include "clock.h"
#include "test_helpers.h"

namespace {

using test_helpers::Clock;
using test_helpers::hex4;

constexpr auto CATCH_UP_LIMIT = std::chrono::seconds(5);

struct Pause {
    bool after_wake;    // the wake byte had reached the cartridge
    size_t frames;      // frames the cartridge had received before it
    uint32_t ms;
};

// Where each pause falls. The host pauses only once every byte before it is
// written, but the simulator may not have read them yet: the observer holds
// the host until it has. A host that got k sync answers has sent k frames,
// each owed to the log; before the first, the wake byte is owed, if sent.
class PauseLog {
public:
    explicit PauseLog(const sim::Simulator& cartridge) : cartridge_(cartridge) {
        plat::set_pause_observer([this](uint32_t ms) { place(ms); });
    }
    ~PauseLog() { plat::set_pause_observer(nullptr); }
    std::vector<Pause> pauses() const {
        std::lock_guard<std::mutex> hold(lock_);
        return pauses_;
    }

private:
    void place(uint32_t ms) {
        const size_t owed = static_cast<size_t>(cartridge_.handshakes());
        const auto limit = Clock::now() + CATCH_UP_LIMIT;
        auto caught_up = [&] {
            return owed > 0 ? cartridge_.log().size() >= owed : !cartridge_.bytes_received().empty();
        };
        while (!caught_up() && Clock::now() < limit) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::lock_guard<std::mutex> hold(lock_);
        pauses_.push_back({!cartridge_.bytes_received().empty(), cartridge_.log().size(), ms});
    }

    const sim::Simulator& cartridge_;
    mutable std::mutex lock_;
    std::vector<Pause> pauses_;
};

std::string frame_text(const sim::LogEntry& e) {
    switch (e.command) {
    case 'G': return "G";
    case 'F': return "F " + std::to_string(e.address) + (e.half ? "/80" : "/00");
    default: return std::string(1, e.command) + " " + hex4(e.address);
    }
}

// One line per thing received (the wake byte, then each frame), followed
// after " |" by the pauses the program then took, in ms; pauses before the
// wake byte follow "start".
std::string transcript(const sim::Simulator& cartridge, const std::vector<Pause>& pauses) {
    std::ostringstream out;
    auto pauses_at = [&](bool after_wake, size_t frames) {
        for (const Pause& p : pauses)
            if (p.after_wake == after_wake && p.frames == frames) out << " " << p.ms;
        out << "\n";
    };
    out << "start |";
    pauses_at(false, 0);
    const std::vector<uint8_t> received = cartridge.bytes_received();
    out << (received.empty() ? "--" : sim::hex(received.data(), 1)) << " |";
    pauses_at(true, 0);
    const std::vector<sim::LogEntry> log = cartridge.log();
    for (size_t i = 0; i < log.size(); ++i) {
        out << frame_text(log[i]) << " |";
        pauses_at(true, i + 1);
    }
    return out.str();
}

// The small package: section 1 at 8C00 (1 Page), 2 at AA00 (2), 3 at B480
// (1), then 4 at 8100 (2), 5 at 8C00 (1) and 6 at 8E00 (2); 9 Blocks in
// module sections of 2, 1, 3, 1 and 2.
const std::string SMALL_PACKAGE_CONVERSATION = R"(start |
AB | 80
D 8000 | 80
D 8000 | 80
E 8C00 | 80 50
W 8C00 | 80
E AA00 | 80 50
W AA00 | 80
E AA80 | 80 50
W AA80 | 80
E B480 | 80 50
W B480 | 80
G | 80 5000 100
E 8100 | 80 50
W 8100 | 80 100
E 8180 | 80 50
W 8180 | 80
E 8C00 | 80 50
W 8C00 | 80
E 8E00 | 80 50
W 8E00 | 80
E 8E80 | 80 50
W 8E80 | 80
E B600 | 80
E A700 | 80
F 0/00 | 80
F 0/80 | 80
F 1/00 | 80
F 1/80 | 80
F 2/00 | 80
F 2/80 | 80
F 3/00 | 80
F 3/80 | 80
F 4/00 | 80
F 4/80 | 80
F 5/00 | 80
F 5/80 | 80
F 6/00 | 80
F 6/80 | 80
F 7/00 | 80
F 7/80 | 80
F 8/00 | 80
F 8/80 | 80
E 8080 | 80 50
W 8080 | 80
E 8000 | 80 50
W 8000 | 80
G | 80
)";

}  // namespace

class Transcript : public AppTest {};

// Nothing before the wake byte; 80 ms after it and before every reply; 50 ms
// between each erase and its write; 5 s after the first G; 100 ms before each
// Page of section 4 and before none of sections 5 and 6; the two erases ahead
// of the module area; each Block in two halves; the final G last.
TEST_F(Transcript, SmallPackageFromTheWakeByteToTheFinalG) {
    start_program(pkggen::make_package(pkggen::small_shape()));
    attach_cartridge();
    PauseLog pause_log(*cartridge);
    press_update();
    ASSERT_EQ(dialogs.size(), 2u);  // the confirmation, then message 7
    EXPECT_EQ(transcript(*cartridge, pause_log.pauses()), SMALL_PACKAGE_CONVERSATION);

    // Nothing else went on the line: the wake byte, then a sync byte before each frame.
    std::vector<uint8_t> line = {0xAB};
    for (const sim::LogEntry& e : cartridge->log()) {
        line.push_back(0x87);
        line.insert(line.end(), e.frame.begin(), e.frame.end());
    }
    EXPECT_EQ(cartridge->bytes_received(), line);
}
