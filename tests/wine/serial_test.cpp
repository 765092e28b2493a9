// The Win32 serial port and loader commands under Wine, against the simulated
// cartridge through Wine's COM mapping: serial_probe.exe runs the routines,
// the simulator sees the bytes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <sstream>
#include <thread>

#include "wine_cartridges.h"

namespace {

const std::string PROBE = WIN_BUILD_DIR "/serial_probe.exe";

std::vector<std::string> probe(const std::vector<std::string>& checks) {
    wine::Result r = wine::run(PROBE, checks);
    EXPECT_EQ(r.status, 0) << r.out;
    std::vector<std::string> lines;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// "read5 false count=3 ms=151 bytes=7802AA": the ms figure.
int ms_of(const std::string& line) {
    const size_t at = line.find("ms=");
    return at == std::string::npos ? -1 : std::stoi(line.substr(at + 3));
}

// The text up to " ms=", without the time.
std::string without_time(const std::string& line) {
    const size_t at = line.find(" ms=");
    const size_t end = line.find(' ', at + 1);
    return at == std::string::npos ? line : line.substr(0, at) + line.substr(end);
}

// Bytes that differ from one another and from one Page or Block to the next.
std::vector<uint8_t> pattern(size_t count, int seed) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i * 37 + seed);
    return bytes;
}

using WineSerial = WineCartridges;

sim::Options silent() {
    sim::Options options = cartridge_options();
    options.silent = true;
    return options;
}

}  // namespace

TEST_F(WineSerial, AbrePortaOpensCom1At19200_8N_WithItsTimeOuts) {
    sim::Simulator& sim = cartridge(1, silent());
    EXPECT_EQ(probe({"open", "1", "settings", "close"}),
              (std::vector<std::string>{"open status=0", "settings baud=19200 bits=8 parity=0 others=same",
                                        "timeouts 100 100 0 5000 5000", "close"}));
    EXPECT_TRUE(sim.bytes_received().empty());
}

TEST_F(WineSerial, OneCommandOfEachKindReachesTheCartridge) {
    sim::Simulator& sim = cartridge(1);
    const std::vector<uint8_t> page = pattern(128, 1), block = pattern(256, 2);
    EXPECT_EQ(probe({"open", "1", "sync", "87", "wake", "D", "G", "E", "9000", "W", "8C00", sim::hex(page.data(), 128),
                     "F", "5", sim::hex(block.data(), 256), "close"}),
              (std::vector<std::string>{"open status=0", "sync 87", "wake true", "D true 3012AB0F", "G true",
                                        "E true", "W true", "F true", "close"}));

    const std::vector<sim::LogEntry> log = sim.log();
    std::string commands;
    for (const sim::LogEntry& e : log)
        commands += std::string(1, e.command) + (e.outcome == "ack" || e.outcome == "data" ? "+" : "-");
    EXPECT_EQ(commands, "D+G+E+E+W+F+F+");
    ASSERT_EQ(log.size(), 7u);
    EXPECT_EQ(log[0].frame, (std::vector<uint8_t>{0x04, 0x44, 0x80, 0x00}));
    EXPECT_EQ(log[1].frame, (std::vector<uint8_t>{0x02, 0x47}));
    EXPECT_EQ(log[2].frame, (std::vector<uint8_t>{0x04, 0x45, 0x90, 0x00}));
    EXPECT_EQ(log[3].frame, (std::vector<uint8_t>{0x04, 0x45, 0x8C, 0x00}));
    EXPECT_EQ(std::vector<uint8_t>(log[4].frame.begin(), log[4].frame.begin() + 6),
              (std::vector<uint8_t>{0x85, 0x57, 0x08, 0x8C, 0x00, sim::encode_byte(0x01)}));
    EXPECT_EQ(std::vector<uint8_t>(log[6].frame.begin(), log[6].frame.begin() + 5),
              (std::vector<uint8_t>{0x85, 0x46, 0x00, 0x05, 0x80}));
    // The wake byte goes first, raw; then one sync byte ahead of every frame.
    const std::vector<uint8_t> received = sim.bytes_received();
    ASSERT_GE(received.size(), 2u);
    EXPECT_EQ(received[0], 0xAB);
    EXPECT_EQ(received[1], 0x87);

    EXPECT_EQ(sim.writes(), (std::vector<std::string>{"W 8C00", "F 5/00", "F 5/80"}));
    const auto pages = sim.pages();
    EXPECT_EQ(std::vector<uint8_t>(pages.begin() + 0x8C00, pages.begin() + 0x8C80), page);
    const auto blocks = sim.blocks();
    ASSERT_EQ(blocks.count(5), 1u);
    EXPECT_EQ(std::vector<uint8_t>(blocks.at(5).begin(), blocks.at(5).end()), block);
}

TEST_F(WineSerial, ReadOnASilentLineEndsAfter100MsPerByte) {
    cartridge(1, silent());
    const std::vector<std::string> lines = probe({"open", "1", "read", "1", "read", "5"});
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(without_time(lines[1]), "read1 false count=0 bytes=");
    EXPECT_GE(ms_of(lines[1]), 95);
    EXPECT_LE(ms_of(lines[1]), 250);
    EXPECT_EQ(without_time(lines[2]), "read5 false count=0 bytes=");
    EXPECT_GE(ms_of(lines[2]), 495);
    EXPECT_LE(ms_of(lines[2]), 700);
}

TEST_F(WineSerial, ShortReadEnds100MsAfterItsLastByteWithWhatArrived) {
    // The complement is there at once, the reply 02 AA 50 ms after the frame.
    sim::Options options = cartridge_options();
    options.reply_delay_ms = 50;
    cartridge(1, options);
    const std::vector<std::string> lines = probe({"open", "1", "send", "870247", "read", "5"});
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(without_time(lines[2]), "read5 false count=3 bytes=7802AA");
    EXPECT_GE(ms_of(lines[2]), 145);
    EXPECT_LE(ms_of(lines[2]), 350);
}

TEST_F(WineSerial, MissingOrHeldPortGivesStatus1) {
    // COM 99: no port Wine knows of, then one whose device is not there.
    const std::string com99 = wine::prefix() + "/dosdevices/com99";
    unlink(com99.c_str());
    EXPECT_EQ(probe({"open", "99"}), (std::vector<std::string>{"open status=1"}));
    ASSERT_EQ(symlink("/dev/nonexistent-port", com99.c_str()), 0);
    EXPECT_EQ(probe({"open", "99"}), (std::vector<std::string>{"open status=1"}));
    unlink(com99.c_str());
    // COM 1 to 6 stay defined in the prefix with their links gone: Wine then
    // opens its own stand-in for the device, which takes no time-outs.
    const std::vector<std::string> unlinked = probe({"open", "1"});
    EXPECT_TRUE(unlinked == std::vector<std::string>{"open status=1"} ||
                unlinked == std::vector<std::string>{"open status=2"});

    // Held by another program: the port is opened without sharing.
    sim::Simulator& sim = cartridge(1, silent());
    wine::Process holder(PROBE, {"open", "1", "send", "AB", "sleep", "5000"});
    for (int i = 0; i < 300 && sim.bytes_received().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_FALSE(sim.bytes_received().empty());
    EXPECT_EQ(probe({"open", "1"}), (std::vector<std::string>{"open status=1"}));
    EXPECT_EQ(holder.wait(30000), 0);
    EXPECT_EQ(probe({"open", "1"}), (std::vector<std::string>{"open status=0"}));
}
