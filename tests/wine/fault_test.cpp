// dist/pATU.exe under Wine meeting the main faults of the line: what the user
// sees, that nothing more goes out after the fault, and how the program ends.
#include <chrono>

#include "test_helpers.h"
#include "wine_update.h"

namespace {

using test_helpers::ends_with;
using test_helpers::ms_since;

// Caption of the program's plain message boxes: the program's title.
const std::string BOX = "Atualização Cartucho QUILLA";

}  // namespace

class WineFault : public WineUpdate {
protected:
    // The program's plain message box: its text, read while the program waits
    // on it; then OK, and the program ends by itself.
    std::string box_then_exit(wine::Process& program, int timeout_ms) {
        std::vector<std::string> text = wine::drive({"msgbox-text", std::to_string(timeout_ms)}, timeout_ms + 30000);
        EXPECT_TRUE(program.running());
        wine::drive({"click", BOX, "OK", "--", "wait-gone", BOX, "10000"});
        EXPECT_EQ(program.wait(20000), 0);
        return text.empty() ? "" : text[0];
    }

    // The fault's frame was the last thing the program sent.
    void expect_nothing_after_the_fault(const sim::Simulator& com1, const char* outcome) {
        const std::vector<sim::LogEntry> log = com1.log();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back().outcome, outcome);
        EXPECT_TRUE(ends_with(com1.bytes_received(), log.back().frame));
    }
};

// A NAK on the second Page of firmware section 2 (0xAA80): the update stops
// there, the box names the Page, and no G or later command follows.
TEST_F(WineFault, NakInSectionTwoStopsTheUpdate) {
    sim::Options options = cartridge_options();
    options.nak = {'W', 3};
    sim::Simulator& com1 = cartridge(1, options);
    wine::Process program(wine::dist_exe(), {});
    start_attempt("OK");

    const std::string text = box_then_exit(program, 60000);
    EXPECT_EQ(text.rfind("A atualização não foi concluída: falha na gravação da página AA80.", 0), 0u) << text;
    EXPECT_NE(text.find("MODO DE ATUALIZAÇÃO"), std::string::npos) << text;
    expect_nothing_after_the_fault(com1, "nak");
    EXPECT_EQ(com1.writes(), (std::vector<std::string>{"W 8C00", "W AA00"}));
}

// The line pulled between the two halves of Block 0, after the 5 s pause and
// all 99 Pages: the reply wait runs out, the box names the Block, and the
// program ends.
TEST_F(WineFault, HangUpInsideABlockEndsWithTheBlockNamed) {
    sim::Options options = cartridge_options();
    options.hang_up = {'F', 2};
    sim::Simulator& com1 = cartridge(1, options);
    wine::Process program(wine::dist_exe(), {});
    start_attempt("OK");

    const std::string text = box_then_exit(program, 240000);
    EXPECT_EQ(text.rfind("A atualização não foi concluída: falha na gravação do bloco 0.", 0), 0u) << text;
    EXPECT_TRUE(com1.finished());
    expect_nothing_after_the_fault(com1, "hangup");
}

// The loader takes the identity read and never replies: each of the three
// sync bytes costs a 5 s wait, then message 3. The port is released: a second
// attempt opens the same line again, and reads the identity there; the
// cartridge is swapped before the update reads it once more, so the program
// refuses it and ends without writing anything.
TEST_F(WineFault, StallInIdentificationGivesMessage3) {
    sim::Options options = cartridge_options();
    options.stall = {'D', 1};
    options.identity_change_after_reads = 1;  // counts the reads answered
    sim::Simulator& com1 = cartridge(1, options);
    wine::Process program(wine::dist_exe(), {});
    start_attempt("OK");
    const auto start = std::chrono::steady_clock::now();
    expect_message("Erro de comunicação", "Não foi possível comunicar com o aparelho.", "Cancelar");
    const double seconds = ms_since(start) / 1000;
    EXPECT_GE(seconds, 14.5);
    EXPECT_LE(seconds, 40);
    const std::vector<sim::LogEntry> log = com1.log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].outcome, "stall");
    EXPECT_TRUE(ends_with(com1.bytes_received(), {0x86, 0x85}));

    start_attempt("OK");
    const std::string text = box_then_exit(program, 60000);
    EXPECT_EQ(text, "Este aparelho não corresponde ao número de série 3012AB0F.");
    EXPECT_EQ(com1.log().size(), 3u);  // the stalled read, then two answered
    EXPECT_TRUE(com1.writes().empty());
}
