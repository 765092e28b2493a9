// Every fault a workshop meets on the line, against the simulated cartridge:
// what the user is left with, how long the press of "Atualiza" may take, that
// nothing more reached the line after the fault and that the port is free.
//
// The cartridge's faults and the port's time-outs run in real time; the
// program's own pauses (80 ms, 5 s after the first G, 100 ms in section 4) are
// fast-forwarded. So a press that meets no time-out takes well under a second,
// and each time-out shows as about 5 s of real time.
//
// The small package: frames D (identification), D (identity read), E W for
// each of its 9 Pages with G after the fourth, the erases E B600 and E A700,
// F F for each of its 9 Blocks, E W at 0x8080, E W at 0x8000, G.
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

#include "app_fixture.h"
#include "clock.h"
#include "expected_image.h"
#include "failure_box.h"
#include "serial.h"
#include "test_helpers.h"
#include "uSER_KV.h"

namespace {

using namespace test_helpers;
using namespace failure_box;

const std::string MISMATCH_BOX = "Este aparelho não corresponde ao número de série 3012AB0F.";

// The identity page's state, its record written where every test writes it.
std::string identity_state() { return identity_maybe_erased(AppTest::record_path(), AppTest::IDENTITY); }

// What the user is left with.
enum class Ending {
    completed,  // message 7, the whole package in the cartridge, the program ends
    message3,   // "Erro de comunicação", nothing written, back to Idle
    failure,    // the failure box naming the step and its cause, the program ends
    mismatch,   // the identity mismatch box, nothing written, the program ends
};

struct Row {
    const char* name;
    std::function<void(sim::Options&)> fault;
    Ending ending;
    std::string box;       // failure: the whole text of the box
    double min_s, max_s;   // real time the press takes
    bool dump = false;     // failure: the identity page was sent, so the dump file was written
};
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

bool faulted(const sim::LogEntry& e) { return e.outcome != "ack" && e.outcome != "data"; }

// Whether this process still has the pty open anywhere.
bool descriptor_open(const std::string& path) {
    DIR* dir = opendir("/proc/self/fd");
    bool found = false;
    for (dirent* e; dir && (e = readdir(dir));) {
        char target[256];
        const std::string link = std::string("/proc/self/fd/") + e->d_name;
        ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        if (n > 0 && path == std::string(target, n)) found = true;
    }
    if (dir) closedir(dir);
    return found;
}

}  // namespace

class FaultMatrix : public AppTest {
protected:
    const std::vector<std::string> package = pkggen::make_package(pkggen::small_shape());

    // Presses "Atualiza" on the running program; the real time it took.
    double timed_press() {
        const Clock::time_point start = Clock::now();
        press_update();
        return ms_since(start) / 1000;
    }

    // As if the program were started anew: fresh windows, state and messages.
    void next_program_run() {
        TearDown();
        dialogs.clear();
        SetUp();
        start_program(package);
    }

    void expect_completed() {
        ASSERT_EQ(dialogs.size(), 2u);
        EXPECT_EQ(dialogs[1].lines, std::vector<std::string>{"Atualização concluída com sucesso!!"});
        EXPECT_TRUE(boxes().empty());
        EXPECT_TRUE(ui::end_requested());
        const ExpectedImage expected = expected_image(package, default_cartridge().identity);
        EXPECT_TRUE(cartridge->pages() == expected.pages);
        EXPECT_TRUE(cartridge->blocks() == expected.blocks);
    }

    // Message 3 and back to Idle; no frame but identity reads reached the line,
    // and after the last of them only the other generations' sync bytes.
    void expect_message3() {
        ASSERT_EQ(dialogs.size(), 2u);
        EXPECT_EQ(dialogs[1].caption, "Erro de comunicação");
        EXPECT_EQ(dialogs[1].lines.at(0), "Não foi possível comunicar com o aparelho.");
        EXPECT_TRUE(boxes().empty());
        EXPECT_FALSE(ui::end_requested());
        EXPECT_EQ(NUMERO_SERIE, "");
        for (const sim::LogEntry& e : cartridge->log()) EXPECT_EQ(e.command, 'D');
        EXPECT_TRUE(ends_with(cartridge->bytes_received(), {0x86, 0x85}));
    }

    // A box, then the end of the program; the faulted frame was the last
    // thing the host sent.
    void expect_stopped(const std::string& box, bool dump = false) {
        ASSERT_EQ(boxes().size(), 1u);
        EXPECT_EQ(boxes()[0], box);
        EXPECT_EQ(dialogs.size(), 1u);  // the confirmation only: no catalogue message
        EXPECT_TRUE(ui::end_requested());
        EXPECT_EQ(read_file(dump_path).size(), dump ? 386u : 0u);
        const std::vector<sim::LogEntry> log = cartridge->log();
        ASSERT_FALSE(log.empty());
        if (box != MISMATCH_BOX) {
            EXPECT_TRUE(faulted(log.back())) << log.back().outcome;
        }
        EXPECT_TRUE(ends_with(cartridge->bytes_received(), log.back().frame));
    }

    // PORTA_ABERTA false, and the port is free again: another program can
    // open it, or, with the line gone, this one holds no descriptor of it.
    void expect_port_released() {
        EXPECT_FALSE(PORTA_ABERTA);
        EXPECT_EQ(PORTA, plat::NO_PORT);
        if (cartridge->finished()) {
            EXPECT_FALSE(descriptor_open(cartridge->slave_path()));
            return;
        }
        uint32_t error = 0;
        plat::PortHandle other = plat::serial_open(1, &error);
        EXPECT_GE(other, 0) << "another program can open the port, error " << error;
        plat::serial_close(other);
    }
};

class EachFault : public FaultMatrix, public ::testing::WithParamInterface<Row> {};

TEST_P(EachFault, EndsInItsOutcome) {
    const Row& row = GetParam();
    start_program(package);
    sim::Options options = default_cartridge();
    row.fault(options);
    attach_cartridge(options);

    const double seconds = timed_press();
    EXPECT_GE(seconds, row.min_s);
    EXPECT_LE(seconds, row.max_s);

    switch (row.ending) {
    case Ending::completed: expect_completed(); break;
    case Ending::message3: expect_message3(); break;
    case Ending::failure: expect_stopped(row.box, row.dump); break;
    case Ending::mismatch:
        expect_stopped(MISMATCH_BOX);
        EXPECT_EQ(cartridge->log().size(), 2u);  // both identity reads, nothing written
        break;
    }
    expect_port_released();

    // A fault aimed at one frame landed on it, inside the update.
    const bool aimed = options.nak.n || options.zero_length.n || options.short_reply.n || options.stall.n ||
                       options.hang_up.n;
    const std::vector<sim::LogEntry> log = cartridge->log();
    EXPECT_EQ(std::count_if(log.begin(), log.end(), faulted), aimed ? 1 : 0);
}

// One time-out costs 5 s of real time (the limit of 5000 ms, plus up to one
// 100 ms read); identification makes three tries, one per sync byte.
const Row ROWS[] = {
    // A cartridge switched off or not in update mode: three handshakes time out.
    {"Silence", [](sim::Options& o) { o.silent = true; }, Ending::message3, "", 14.9, 18},
    // Line noise ahead of the complement is dropped; the update goes through.
    {"GarbageBeforeTheComplement", [](sim::Options& o) { o.garbage_before_complement = true; },
     Ending::completed, "", 0, 5},
    // The loader answers with the wrong byte: no frame is ever sent.
    {"WrongComplement", [](sim::Options& o) { o.wrong_complement = true; }, Ending::message3, "", 14.9, 18},
    // A NAK to each kind of command stops the update at that command.
    {"NakAtTheEraseOfAPage", [](sim::Options& o) { o.nak = {'E', 2}; }, Ending::failure,
     failure_box::text("falha na gravação da página AA00", REFUSED), 0, 3},
    {"NakAtAPageWrite", [](sim::Options& o) { o.nak = {'W', 3}; }, Ending::failure,
     failure_box::text("falha na gravação da página AA80", REFUSED), 0, 3},
    {"NakAtTheFirstHalfOfABlock", [](sim::Options& o) { o.nak = {'F', 3}; }, Ending::failure,
     failure_box::text("falha na gravação do bloco 1", REFUSED), 0, 3},
    {"NakAtTheSecondHalfOfABlock", [](sim::Options& o) { o.nak = {'F', 4}; }, Ending::failure,
     failure_box::text("falha na gravação do bloco 1", REFUSED), 0, 3},
    {"NakAtTheFirstG", [](sim::Options& o) { o.nak = {'G', 1}; }, Ending::failure,
     failure_box::text("falha no comando G após a primeira etapa", REFUSED), 0, 3},
    // Once the identity page is acknowledged only the final G is missing; the
    // identity page itself, erased before its W, may be lost: the box names
    // its record, which both write.
    {"NakAtTheIdentityPage", [](sim::Options& o) { o.nak = {'W', 11}; }, Ending::failure,
     failure_box::text("falha na gravação da página de identificação 8000", REFUSED, identity_state()), 0, 3, true},
    {"StallAtTheIdentityPage", [](sim::Options& o) { o.stall = {'W', 11}; }, Ending::failure,
     failure_box::text("falha na gravação da página de identificação 8000", NO_ANSWER, identity_state()), 4.9, 7.5,
     true},
    {"NakAtTheFinalG", [](sim::Options& o) { o.nak = {'G', 2}; }, Ending::failure,
     failure_box::text("falha no comando G final", REFUSED, ALL_WRITTEN), 0, 3, true},
    // A D's acknowledgement is not looked at: the two bytes of a NAK hold no
    // Page. Nothing was written before the identity read.
    {"NakAtTheIdentityRead", [](sim::Options& o) { o.nak = {'D', 2}; }, Ending::failure,
     failure_box::text("falha na leitura da identificação do aparelho", INCOMPLETE_REPLY, NOTHING_WRITTEN), 0, 3},
    // The two erases before the module area are not consulted.
    {"NakAtAnEraseBeforeTheModules", [](sim::Options& o) { o.nak = {'E', 10}; }, Ending::completed, "", 0, 5},
    // Malformed replies: a length byte of 0; a reply one byte short.
    {"ZeroLengthReply", [](sim::Options& o) { o.zero_length = {'W', 5}; }, Ending::failure,
     failure_box::text("falha na gravação da página 8100", INCOMPLETE_REPLY), 0, 3},
    {"ShortReply", [](sim::Options& o) { o.short_reply = {'F', 6}; }, Ending::failure,
     failure_box::text("falha na gravação do bloco 2", INCOMPLETE_REPLY), 0, 3},
    {"ShortReplyToTheFinalG", [](sim::Options& o) { o.short_reply = {'G', 2}; }, Ending::failure,
     failure_box::text("falha no comando G final", INCOMPLETE_REPLY, ALL_WRITTEN), 0, 3, true},
    // The loader takes the frame and never answers: one reply time-out.
    {"StallAfterTheSync", [](sim::Options& o) { o.stall = {'W', 2}; }, Ending::failure,
     failure_box::text("falha na gravação da página AA00", NO_ANSWER), 4.9, 7.5},
    {"StallAtTheIdentityRead", [](sim::Options& o) { o.stall = {'D', 2}; }, Ending::failure,
     failure_box::text("falha na leitura da identificação do aparelho", NO_ANSWER, NOTHING_WRITTEN), 4.9, 7.5},
    // Replies 4.5 s late are still taken: both identity reads arrive, and the
    // swapped identity shows the second one was read.
    {"RepliesJustInTime",
     [](sim::Options& o) {
         o.reply_delay_ms = 4500;
         o.identity_change_after_reads = 1;
     },
     Ending::mismatch, "", 8.9, 11.5},
    // A reply 5.6 s late is a time-out: identification finds no cartridge.
    {"RepliesTooLate", [](sim::Options& o) { o.reply_delay_ms = 5600; }, Ending::message3, "", 14.9, 18},
    // Another cartridge put in place after identification: nothing is written.
    {"IdentitySwap", [](sim::Options& o) { o.identity_change_after_reads = 1; }, Ending::mismatch, "", 0, 3},
    // The line pulled between the two halves of a Block: the reply wait runs
    // out on reads the system refuses, the Block is named with the port as the
    // cause, and the port is closed.
    {"HangUpInsideABlock", [](sim::Options& o) { o.hang_up = {'F', 4}; }, Ending::failure,
     failure_box::text("falha na gravação do bloco 1", PORT_REFUSED), 4.9, 7.5},
    // The line pulled at the first erase before the module area: its reply
    // wait runs out unconsulted, and the port then takes no byte of the
    // second erase nor of the first Block.
    {"HangUpAtAnEraseBeforeTheModules", [](sim::Options& o) { o.hang_up = {'E', 10}; }, Ending::failure,
     failure_box::text("falha na gravação do bloco 0", PORT_REFUSED), 4.9, 7.5},
};

INSTANTIATE_TEST_SUITE_P(Rows, EachFault, ::testing::ValuesIn(ROWS),
                         [](const auto& info) { return std::string(info.param.name); });

namespace {

// On a line that is gone every read waits out its time-out, so each reply
// wait after a hang-up costs 5 s of real time (the row HangUpInsideABlock
// measures one). The sweep moves the tick counter on once the line is gone,
// so that those waits end after a read or two; the reads, their failures and
// the program's course are unchanged.
class TicksRunOnWhenHungUp {
public:
    explicit TicksRunOnWhenHungUp(const sim::Simulator& cartridge)
        : thread_([this, &cartridge] {
              while (!stop_) {
                  if (cartridge.finished()) plat::advance_ticks(1000);
                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
              }
          }) {}
    ~TicksRunOnWhenHungUp() {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The failure box after a hang-up on this frame: the system refuses every
// read of its reply, so the cause is the port's. The erases before the module
// area are not consulted, so the first Block is the step that fails there, on
// a port that takes no more bytes.
std::string box_after_hang_up_at(const sim::LogEntry& frame, bool last_command) {
    switch (frame.command) {
    case 'D': return failure_box::text("falha na leitura da identificação do aparelho", PORT_REFUSED, NOTHING_WRITTEN);
    case 'G':
        return last_command ? failure_box::text("falha no comando G final", PORT_REFUSED, ALL_WRITTEN)
                            : failure_box::text("falha no comando G após a primeira etapa", PORT_REFUSED);
    case 'F': return failure_box::text("falha na gravação do bloco " + std::to_string(frame.address), PORT_REFUSED);
    case 'E':
        if (frame.address == 0xB600 || frame.address == 0xA700)
            return failure_box::text("falha na gravação do bloco 0", PORT_REFUSED);
        break;
    default: break;
    }
    if (frame.address == ENDERECO_IDENTIDADE)
        return failure_box::text("falha na gravação da página de identificação 8000", PORT_REFUSED, identity_state());
    return failure_box::text("falha na gravação da página " + hex4(frame.address), PORT_REFUSED);
}

}  // namespace

// The line pulled at every command of the update in turn. Each time the
// program ends cleanly: the hung-up frame is the last thing on the line,
// identification gives message 3 and any later command the failure box
// naming its step and the port, the port is closed; and a fresh start of the
// program on a fresh cartridge then completes the update.
TEST_F(FaultMatrix, HangUpAtEveryCommandEndsCleanly) {
    start_program(package);
    attach_cartridge();
    press_update();
    expect_completed();
    const int total = static_cast<int>(cartridge->log().size());
    ASSERT_EQ(total, 46);

    for (int i = 1; i <= total; ++i) {
        SCOPED_TRACE("hang-up at command " + std::to_string(i));
        next_program_run();
        sim::Options options = default_cartridge();
        options.hang_up = {0, i};
        attach_cartridge(options);
        double seconds;
        {
            TicksRunOnWhenHungUp ticks(*cartridge);
            seconds = timed_press();
        }
        EXPECT_LE(seconds, 3.0);
        ASSERT_TRUE(cartridge->finished());
        const std::vector<sim::LogEntry> log = cartridge->log();
        ASSERT_EQ(static_cast<int>(log.size()), i);
        EXPECT_EQ(log.back().outcome, "hangup");
        EXPECT_TRUE(ends_with(cartridge->bytes_received(), log.back().frame));
        if (i == 1) {
            ASSERT_EQ(dialogs.size(), 2u);
            EXPECT_EQ(dialogs[1].lines.at(0), "Não foi possível comunicar com o aparelho.");
            EXPECT_FALSE(ui::end_requested());
        } else {
            ASSERT_EQ(boxes().size(), 1u);
            EXPECT_EQ(boxes()[0], box_after_hang_up_at(log.back(), i == total));
            EXPECT_TRUE(ui::end_requested());
        }
        expect_port_released();

        next_program_run();
        attach_cartridge();
        press_update();
        expect_completed();
    }
}
