// The cartridge simulator, driven over its pty with raw bytes as the host
// would send them.
#include "simulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <regex>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "test_helpers.h"

namespace {

using namespace test_helpers;
using std::chrono::milliseconds;

constexpr double BYTE_MS = 10 * 1000.0 / 19200;  // 19200 baud, 10 bits a byte

Bytes page_frame(uint16_t address, uint8_t first) {
    Bytes f = {0x85, 'W', 0x08, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    for (int i = 0; i < 128; ++i) f.push_back(encoded(static_cast<uint8_t>(first + i)));
    return f;
}

Bytes half_frame(uint16_t block, uint8_t half, uint8_t fill) {
    Bytes f = {0x85, 'F', static_cast<uint8_t>(block >> 8), static_cast<uint8_t>(block), half};
    for (int i = 0; i < 128; ++i) f.push_back(encoded(fill));
    return f;
}

Bytes short_frame(char command, uint16_t address) {
    if (command == 'G') return {0x02, 'G'};
    return {0x04, static_cast<uint8_t>(command), static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
}

// A started simulator and the host's end of its line.
class Cartridge {
public:
    explicit Cartridge(sim::Options options = {}) : sim(options), sync_(options.sync_byte) {
        std::string error;
        started_ = sim.start(&error);
        EXPECT_TRUE(started_) << error;
        open_line();
    }
    ~Cartridge() {
        if (fd_ >= 0) close(fd_);
    }

    void open_line() {
        if (fd_ >= 0) close(fd_);
        fd_ = open(sim.slave_path().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd_, 0);
        termios tio{};
        ASSERT_EQ(tcgetattr(fd_, &tio), 0);
        cfmakeraw(&tio);
        ASSERT_EQ(tcsetattr(fd_, TCSANOW, &tio), 0);
    }
    int fd() const { return fd_; }

    void send(const Bytes& bytes) { ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }

    // Up to `count` bytes, whatever arrived within `timeout_ms`.
    Bytes receive(size_t count, int timeout_ms = 1000) { return read_bytes(fd_, count, timeout_ms); }
    Bytes quiet_for(int ms) { return receive(1000, ms); }

    void handshake() {
        send({sync_});
        ASSERT_EQ(receive(1), Bytes{static_cast<uint8_t>(~sync_)});
    }
    // Handshake, frame, and whatever reply arrives.
    Bytes command(const Bytes& frame, size_t reply_bytes, int timeout_ms = 1000) {
        handshake();
        send(frame);
        return receive(reply_bytes, timeout_ms);
    }
    Bytes read_page(uint16_t address) {
        const Bytes reply = command(short_frame('D', address), 130);
        EXPECT_EQ(reply.size(), 130u);
        Bytes page;
        for (size_t i = 2; i < reply.size(); ++i) page.push_back(encoded(reply[i]));
        return page;
    }

    sim::Simulator sim;

private:
    uint8_t sync_;
    bool started_ = false;
    int fd_ = -1;
};

const Bytes ACK = {0x02, 0xAA};

sim::Options with_identity() {
    sim::Options o;
    o.identity = sim::default_identity();
    return o;
}

// --- handshake --------------------------------------------------------------

TEST(SimulatorHandshake, AnswersItsGenerationsSyncByteWithTheComplement) {
    for (uint8_t sync : {0x87, 0x86, 0x85}) {
        sim::Options o;
        o.sync_byte = sync;
        Cartridge cart(o);
        cart.send({sync});
        EXPECT_EQ(cart.receive(1), Bytes{static_cast<uint8_t>(0xFF - sync)}) << int(sync);
    }
}

TEST(SimulatorHandshake, IgnoresTheWakeByteAndOtherGenerationsSyncBytes) {
    sim::Options o;
    o.sync_byte = 0x86;
    Cartridge cart(o);
    cart.send({0xAB, 0x87, 0x85, 0x00, 0x78});
    EXPECT_TRUE(cart.quiet_for(200).empty());
    cart.send({0x86});
    EXPECT_EQ(cart.receive(1), Bytes{0x79});
    EXPECT_EQ(cart.sim.bytes_received(), (Bytes{0xAB, 0x87, 0x85, 0x00, 0x78, 0x86}));
}

TEST(SimulatorHandshake, ClientClosingAndReopeningTheLineKeepsItServing) {
    Cartridge cart;
    cart.open_line();
    cart.open_line();
    EXPECT_EQ(cart.command(short_frame('G', 0), 2), ACK);
    EXPECT_FALSE(cart.sim.finished());
}

TEST(SimulatorHandshake, HandshakeWithoutAFrameReturnsToIdle) {
    Cartridge cart;
    cart.handshake();
    std::this_thread::sleep_for(milliseconds(700));  // longer than a frame may pause
    EXPECT_EQ(cart.command(short_frame('G', 0), 2), ACK);
    EXPECT_EQ(cart.sim.log().size(), 1u);
}

// --- commands ---------------------------------------------------------------

TEST(SimulatorCommands, EncodingSwapsNibblesAndInvertsAndIsItsOwnInverse) {
    const std::pair<uint8_t, uint8_t> pairs[] = {{0x00, 0xFF}, {0x01, 0xEF}, {0x12, 0xDE},
                                                 {0x80, 0xF7}, {0xA5, 0xA5}, {0x5A, 0x5A}};
    for (auto [plain, wire] : pairs) {
        EXPECT_EQ(sim::encode_byte(plain), wire);
        EXPECT_EQ(sim::encode_byte(wire), plain);
    }
    for (int b = 0; b < 256; ++b) EXPECT_EQ(sim::encode_byte(uint8_t(b)), encoded(uint8_t(b)));
}

TEST(SimulatorCommands, EraseWriteReadRoundTripStoresDecodedBytes) {
    Cartridge cart;
    const Bytes w = page_frame(0x8C00, 0x00);
    ASSERT_EQ((Bytes(w.begin(), w.begin() + 8)), (Bytes{0x85, 0x57, 0x08, 0x8C, 0x00, 0xFF, 0xEF, 0xDF}));
    EXPECT_EQ(cart.command(short_frame('E', 0x8C00), 2), ACK);
    EXPECT_EQ(cart.command(w, 2), ACK);

    const Bytes reply = cart.command(short_frame('D', 0x8C00), 131, 500);
    ASSERT_EQ(reply.size(), 130u);
    EXPECT_EQ(reply[0], 0x82);
    EXPECT_EQ((Bytes(reply.begin() + 2, reply.end())), (Bytes(w.begin() + 5, w.end())));
    const auto pages = cart.sim.pages();
    for (int i = 0; i < 128; ++i) ASSERT_EQ(pages[0x8C00 + i], i);
    EXPECT_EQ(pages[0x8BFF], 0xFF);
    EXPECT_EQ(pages[0x8C80], 0xFF);
}

TEST(SimulatorCommands, EraseSetsThePageBackToFF) {
    Cartridge cart;
    EXPECT_EQ(cart.command(page_frame(0xB600, 0x10), 2), ACK);
    EXPECT_EQ(cart.command(short_frame('E', 0xB600), 2), ACK);
    EXPECT_EQ(cart.read_page(0xB600), Bytes(128, 0xFF));
}

TEST(SimulatorCommands, BlockHalvesLandInTheirHalves) {
    Cartridge cart;
    EXPECT_EQ(cart.command(half_frame(5, 0x00, 0x11), 2), ACK);
    EXPECT_EQ(cart.command(half_frame(5, 0x80, 0x22), 2), ACK);
    EXPECT_EQ(cart.command(half_frame(600, 0x80, 0x33), 2), ACK);
    const auto blocks = cart.sim.blocks();
    ASSERT_EQ(blocks.size(), 2u);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(blocks.at(5)[i], i < 128 ? 0x11 : 0x22);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(blocks.at(600)[i], i < 128 ? 0xFF : 0x33);
    EXPECT_EQ(cart.sim.writes(), (std::vector<std::string>{"F 5/00", "F 5/80", "F 600/80"}));
}

TEST(SimulatorCommands, GAcknowledgesAndTheIdentityPageReadsBack) {
    Cartridge cart(with_identity());
    EXPECT_EQ(cart.command(short_frame('G', 0), 2), ACK);
    const Bytes page = cart.read_page(0x8000);
    EXPECT_EQ((Bytes(page.begin(), page.begin() + 3)), (Bytes{0x12, 0xAB, 0x0F}));
    const auto identity = sim::default_identity();
    EXPECT_EQ(page, Bytes(identity.begin(), identity.end()));
}

TEST(SimulatorCommands, MalformedFramesAreLoggedBadAndNotAnswered) {
    Cartridge cart;
    const Bytes bad[] = {
        {0x02, 'Z'},                   // unknown command
        {0x03, 'E', 0x80},             // E of the wrong length
        {0x04, 'G', 0x00, 0x00},       // G of the wrong length
        {0x05, 'D', 0x80, 0x00},       // one byte short of its length byte
    };
    for (const Bytes& frame : bad) {
        cart.handshake();
        cart.send(frame);
        EXPECT_TRUE(cart.quiet_for(frame[0] == 0x05 ? 700 : 150).empty());
    }
    Bytes w = page_frame(0x9000, 0);
    w[2] = 0x07;  // W without its constant 08
    cart.handshake();
    cart.send(w);
    EXPECT_TRUE(cart.quiet_for(150).empty());

    EXPECT_EQ(cart.command(short_frame('G', 0), 2), ACK);
    const auto log = cart.sim.log();
    ASSERT_EQ(log.size(), 6u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(log[i].outcome, "bad") << i;
    EXPECT_EQ(log[0].command, 'Z');
    EXPECT_EQ(log[3].frame, (Bytes{0x05, 'D', 0x80, 0x00}));
    EXPECT_EQ(log[5].outcome, "ack");
    EXPECT_EQ(log[5].n, 6);
    EXPECT_EQ(cart.sim.pages()[0x9000], 0xFF);
}

// --- faults -----------------------------------------------------------------

TEST(SimulatorFaults, SilentAnswersNothing) {
    sim::Options o;
    o.silent = true;
    Cartridge cart(o);
    cart.send({0x87});
    EXPECT_TRUE(cart.quiet_for(200).empty());
    cart.send(short_frame('G', 0));
    EXPECT_TRUE(cart.quiet_for(200).empty());
    EXPECT_TRUE(cart.sim.log().empty());
}

TEST(SimulatorFaults, WrongComplementEchoesTheSyncByteAndTakesNoFrame) {
    sim::Options o;
    o.wrong_complement = true;
    Cartridge cart(o);
    cart.send({0x87});
    EXPECT_EQ(cart.receive(1), Bytes{0x87});
    cart.send(short_frame('G', 0));
    EXPECT_TRUE(cart.quiet_for(200).empty());
    EXPECT_TRUE(cart.sim.log().empty());
}

TEST(SimulatorFaults, GarbageComesBeforeTheComplement) {
    sim::Options o;
    o.garbage_before_complement = true;
    Cartridge cart(o);
    cart.send({0x87});
    EXPECT_EQ(cart.receive(4), (Bytes{0x00, 0xFF, 0x55, 0x78}));
    cart.send(short_frame('G', 0));
    EXPECT_EQ(cart.receive(2), ACK);
}

TEST(SimulatorFaults, NakAnswers0255AndDoesNotStore) {
    sim::Options o;
    o.nak = {'W', 2};
    Cartridge cart(o);
    EXPECT_EQ(cart.command(page_frame(0x8C00, 1), 2), ACK);
    EXPECT_EQ(cart.command(page_frame(0x8C80, 1), 2), (Bytes{0x02, 0x55}));
    EXPECT_EQ(cart.sim.pages()[0x8C80], 0xFF);
    EXPECT_EQ(cart.sim.log()[1].outcome, "nak");
    EXPECT_EQ(cart.sim.writes(), std::vector<std::string>{"W 8C00"});
}

TEST(SimulatorFaults, ZeroLengthAnswersASingleZero) {
    sim::Options o;
    o.zero_length = {0, 1};
    Cartridge cart(o);
    EXPECT_EQ(cart.command(short_frame('E', 0x8000), 3, 300), Bytes{0x00});
    EXPECT_EQ(cart.sim.log()[0].outcome, "zero");
}

TEST(SimulatorFaults, ShortReplyStopsOneByteShort) {
    sim::Options o;
    o.short_reply = {'D', 1};
    Cartridge cart(o);
    const Bytes page = cart.command(short_frame('D', 0x8000), 130, 400);
    ASSERT_EQ(page.size(), 129u);
    EXPECT_EQ(page[0], 0x82);
    EXPECT_EQ(page[1], 0xAA);

    sim::Options ack_short;
    ack_short.short_reply = {'G', 1};
    Cartridge cart2(ack_short);
    EXPECT_EQ(cart2.command(short_frame('G', 0), 2, 300), Bytes{0x02});
    EXPECT_EQ(cart2.sim.log()[0].outcome, "short");
}

TEST(SimulatorFaults, StallTakesTheFrameAndNeverRepliesThenServesOn) {
    sim::Options o;
    o.stall = {'W', 1};
    Cartridge cart(o);
    EXPECT_TRUE(cart.command(page_frame(0x8C00, 0), 2, 300).empty());
    EXPECT_EQ(cart.sim.pages()[0x8C01], 0xFF);
    EXPECT_EQ(cart.command(page_frame(0x8C00, 0), 2), ACK);
    EXPECT_EQ(cart.sim.log()[0].outcome, "stall");
}

TEST(SimulatorFaults, HangUpClosesTheLineAndEndsServing) {
    sim::Options o;
    o.hang_up = {'E', 1};
    Cartridge cart(o);
    EXPECT_EQ(cart.command(short_frame('G', 0), 2), ACK);
    cart.handshake();
    cart.send(short_frame('E', 0x8000));
    pollfd p{cart.fd(), POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 1000), 1);
    EXPECT_TRUE(p.revents & POLLHUP);
    for (int i = 0; i < 100 && !cart.sim.finished(); ++i) std::this_thread::sleep_for(milliseconds(10));
    EXPECT_TRUE(cart.sim.finished());
    EXPECT_LT(open(cart.sim.slave_path().c_str(), O_RDWR | O_NOCTTY), 0);
    EXPECT_EQ(cart.sim.log().back().outcome, "hangup");
}

TEST(SimulatorFaults, IdentityChangesAfterTheGivenNumberOfReads) {
    sim::Options o = with_identity();
    o.identity_change_after_reads = 1;
    Cartridge cart(o);
    EXPECT_EQ(cart.read_page(0x8000)[0], 0x12);
    const Bytes second = cart.read_page(0x8000);
    EXPECT_EQ((Bytes(second.begin(), second.begin() + 4)), (Bytes{0xED, 0x54, 0xF0, sim::default_identity()[3]}));
}

TEST(SimulatorFaults, DelayHoldsBackFrameRepliesButNotTheComplement) {
    sim::Options o;
    o.reply_delay_ms = 400;
    Cartridge cart(o);
    Clock::time_point t = Clock::now();
    cart.handshake();
    EXPECT_LT(ms_since(t), 300);
    t = Clock::now();
    cart.send(short_frame('G', 0));
    EXPECT_EQ(cart.receive(2, 2000), ACK);
    EXPECT_GE(ms_since(t), 400);
}

TEST(SimulatorFaults, SelectorCountsAllFramesOrOneLetter) {
    const sim::CommandSelector third{0, 3}, second_w{'W', 2}, none{'W', 0};
    EXPECT_TRUE(third.matches('E', 3, 1));
    EXPECT_FALSE(third.matches('E', 2, 2));
    EXPECT_TRUE(second_w.matches('W', 7, 2));
    EXPECT_FALSE(second_w.matches('F', 7, 2));
    EXPECT_FALSE(none.matches('W', 0, 0));

    sim::Options o;
    o.nak = {0, 3};
    Cartridge cart(o);
    EXPECT_EQ(cart.command(short_frame('G', 0), 2), ACK);
    EXPECT_EQ(cart.command(short_frame('E', 0x8000), 2), ACK);
    EXPECT_EQ(cart.command(short_frame('G', 0), 2), (Bytes{0x02, 0x55}));
    EXPECT_EQ(cart.command(short_frame('G', 0), 2), ACK);
}

// --- pacing -----------------------------------------------------------------

TEST(SimulatorPacing, A133ByteFrameTakesItsLineTimeBeforeTheReply) {
    sim::Options o;
    o.paced = true;
    Cartridge cart(o);
    cart.handshake();
    const Clock::time_point t = Clock::now();
    cart.send(page_frame(0x8C00, 0));
    EXPECT_EQ(cart.receive(2), ACK);
    const double elapsed = ms_since(t);
    EXPECT_GE(elapsed, 135 * BYTE_MS - 1);  // 133 bytes in, 2 bytes out
    EXPECT_LT(elapsed, 1000);
}

TEST(SimulatorPacing, ReplyBytesAreSpacedByTheByteTime) {
    sim::Options o;
    o.paced = true;
    Cartridge cart(o);
    cart.handshake();
    cart.send(short_frame('D', 0x8000));
    ASSERT_EQ(cart.receive(1).size(), 1u);
    const Clock::time_point first = Clock::now();
    EXPECT_EQ(cart.receive(129).size(), 129u);
    const double spread = ms_since(first);
    EXPECT_GE(spread, 129 * BYTE_MS - 5);
    EXPECT_LT(spread, 1000);
}

// --- adapter latency --------------------------------------------------------

// The bytes of the first read that returns anything, and how long after
// `since` it returned.
Bytes first_chunk(int fd, Clock::time_point since, double* after_ms) {
    pollfd p{fd, POLLIN, 0};
    uint8_t buffer[512];
    if (poll(&p, 1, 2000) <= 0) return {};
    const ssize_t n = read(fd, buffer, sizeof buffer);
    *after_ms = ms_since(since);
    return n > 0 ? Bytes(buffer, buffer + n) : Bytes{};
}

TEST(SimulatorLatency, AHeldBurstReachesTheHostWholeOnceTheTimerFires) {
    sim::Options o;
    o.paced = true;  // the noise and the complement leave one byte time apart...
    o.garbage_before_complement = true;
    o.latency_ms = 150;  // ...and all four are held by one timer
    Cartridge cart(o);
    const Clock::time_point sent = Clock::now();
    cart.send({0x87});
    double waited = 0;
    EXPECT_EQ(first_chunk(cart.fd(), sent, &waited), (Bytes{0x00, 0xFF, 0x55, 0x78}));
    EXPECT_GE(waited, 150);
    EXPECT_LT(waited, 1000);
}

TEST(SimulatorLatency, TheReplyStartsABurstOfItsOwn) {
    sim::Options o;
    o.latency_ms = 150;
    Cartridge cart(o);
    Clock::time_point t = Clock::now();
    cart.handshake();
    EXPECT_GE(ms_since(t), 150);
    t = Clock::now();
    cart.send(short_frame('D', 0x8000));
    double waited = 0;
    EXPECT_EQ(first_chunk(cart.fd(), t, &waited).size(), 130u);
    EXPECT_GE(waited, 150);
    EXPECT_LT(waited, 1000);
}

// --- report and lifecycle ---------------------------------------------------

TEST(SimulatorReport, JsonHoldsPagesIdentityBlocksLogAndWrites) {
    sim::Options o = with_identity();
    o.nak = {'F', 2};
    Cartridge cart(o);
    cart.command(page_frame(0x8C00, 0), 2);
    cart.command(half_frame(14, 0x00, 0x01), 2);
    cart.command(half_frame(14, 0x80, 0x02), 2);
    cart.command(short_frame('G', 0), 2);
    const std::string json = cart.sim.report_json();

    EXPECT_EQ(json.front(), '{');
    EXPECT_EQ(json[json.find_last_not_of('\n')], '}');
    EXPECT_NE(json.find("\"sync_byte\":\"87\""), std::string::npos);
    EXPECT_TRUE(std::regex_search(json, std::regex("\"pages\":\\{\"8000\":\"12AB0F[0-9A-F]{250}\",\"8C00\":\"00010203[0-9A-F]{248}\"\\}")));
    EXPECT_TRUE(std::regex_search(json, std::regex("\"identity\":\"12AB0F[0-9A-F]{250}\"")));
    EXPECT_TRUE(std::regex_search(json, std::regex("\"blocks\":\\{\"14\":\"(01){128}(FF){128}\"\\}")));
    EXPECT_TRUE(std::regex_search(
        json, std::regex("\\{\"n\":3,\"command\":\"F\",\"address\":\"000E\",\"half\":\"80\",\"outcome\":\"nak\","
                         "\"t_ms\":[0-9]+\\.[0-9]{3},\"frame\":\"8546000E80[0-9A-F]{256}\"\\}")));
    EXPECT_NE(json.find("{\"n\":4,\"command\":\"G\",\"address\":\"0000\",\"half\":\"00\",\"outcome\":\"ack\""),
              std::string::npos);
    EXPECT_NE(json.find("\"writes\":[\"W 8C00\",\"F 14/00\"]"), std::string::npos);
}

TEST(SimulatorLifecycle, StopEndsServingPromptly) {
    Cartridge cart;
    cart.handshake();  // now waiting inside a frame
    const Clock::time_point t = Clock::now();
    cart.sim.stop();
    EXPECT_LT(ms_since(t), 200);
    EXPECT_TRUE(cart.sim.finished());
}

TEST(SimulatorLifecycle, FinalGEndsServingOnceItsReplyIsRead) {
    sim::Options o;
    o.finish_after_final_g = true;
    Cartridge cart(o);
    EXPECT_EQ(cart.command(short_frame('G', 0), 2), ACK);  // no identity page written yet
    EXPECT_EQ(cart.command(page_frame(0x8000, 0), 2), ACK);
    cart.handshake();
    cart.send(short_frame('G', 0));
    std::this_thread::sleep_for(milliseconds(300));
    EXPECT_FALSE(cart.sim.finished());  // the reply waits in the line for us
    EXPECT_EQ(cart.receive(2), ACK);
    for (int i = 0; i < 100 && !cart.sim.finished(); ++i) std::this_thread::sleep_for(milliseconds(10));
    EXPECT_TRUE(cart.sim.finished());
}

}  // namespace
