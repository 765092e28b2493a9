// pATU.exe under Wine meeting the main faults of the line: what the user
// sees, that nothing more goes out after the fault, and how the program ends.
// Faults past the first stage are met by the exe around the small package.
#include <chrono>

#include "expected_image.h"
#include "failure_box.h"
#include "package_generator.h"
#include "test_helpers.h"
#include "wine_update.h"

namespace {

using namespace failure_box;
using test_helpers::ends_with;
using test_helpers::ms_since;

// Caption of the program's plain message boxes: the program's title.
const std::string BOX = "Atualização Cartucho QUILLA";

// The failure box as the driver prints a text: line breaks, back-slashes and
// quotes escaped.
std::string as_printed(const std::string& box) {
    std::string out;
    for (char c : box) {
        if (c == '\n') out += "\\n";
        else if (c == '\\' || c == '"') out += std::string("\\") + c;
        else out += c;
    }
    return out;
}

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
// there, the box names the Page and the refusal, and no G or later command
// follows.
TEST_F(WineFault, NakInSectionTwoStopsTheUpdate) {
    sim::Options options = cartridge_options();
    options.nak = {'W', 3};
    sim::Simulator& com1 = cartridge(1, options);
    wine::Process program(wine::dist_exe(), {});
    start_attempt("OK");

    const std::string text = box_then_exit(program, 60000);
    EXPECT_EQ(text, as_printed(failure_box::text("falha na gravação da página AA80", REFUSED)));
    expect_nothing_after_the_fault(com1, "nak");
    EXPECT_EQ(com1.writes(), (std::vector<std::string>{"W 8C00", "W AA00"}));
}

// The line pulled at the first erase before the module area, after the 5 s
// pause and all 9 Pages of the small package: the erase's reply wait runs out
// unconsulted, the port then takes no byte of the second erase nor of Block
// 0, and the box names the Block and the port.
TEST_F(WineFault, HangUpBeforeTheModulesLeavesAPortThatTakesNothing) {
    sim::Options options = cartridge_options();
    options.hang_up = {'E', 10};  // after the 9 Pages' erases
    sim::Simulator& com1 = cartridge(1, options);
    wine::Process program(wine::small_exe(), {});
    start_attempt("OK");

    const std::string text = box_then_exit(program, 90000);
    EXPECT_EQ(text, as_printed(failure_box::text("falha na gravação do bloco 0", PORT_REFUSED)));
    EXPECT_TRUE(com1.finished());
    expect_nothing_after_the_fault(com1, "hangup");
    EXPECT_EQ(com1.log().back().address, 0xB600);
}

// The identity read that starts the update gets no reply: nothing was
// written, and the box says so.
TEST_F(WineFault, UnansweredIdentityReadWritesNothing) {
    sim::Options options = cartridge_options();
    options.stall = {'D', 2};  // the first D is identification's
    sim::Simulator& com1 = cartridge(1, options);
    wine::Process program(wine::dist_exe(), {});
    start_attempt("OK");

    const std::string text = box_then_exit(program, 60000);
    EXPECT_EQ(text, as_printed(failure_box::text("falha na leitura da identificação do aparelho", NO_ANSWER,
                                                 NOTHING_WRITTEN)));
    expect_nothing_after_the_fault(com1, "stall");
    EXPECT_TRUE(com1.writes().empty());
}

// The identity page's W refused, after its E erased the page: the box names
// the record in C:\, written before it with the page sent, and the identity.
TEST_F(WineFault, RefusedIdentityPageNamesTheRecordAndTheIdentity) {
    sim::Options options = cartridge_options();
    options.nak = {'W', 101};  // after the 99 Pages and 0x8080
    sim::Simulator& com1 = cartridge(1, options);
    wine::Process program(wine::dist_exe(), {});
    start_attempt("OK");

    const std::string text = box_then_exit(program, 240000);
    EXPECT_EQ(text, as_printed(failure_box::text("falha na gravação da página de identificação 8000", REFUSED,
                                                 failure_box::identity_maybe_erased("C:\\TEXTO2.TXT", "3012AB0F"))));
    expect_nothing_after_the_fault(com1, "nak");
    const ExpectedImage expected =
        expected_image(pkggen::make_package(pkggen::shipped_shape()), cartridge_options().identity);
    EXPECT_EQ(file_bytes(record_in_c()), expected_dump(&expected.pages[0x8000]));
    EXPECT_EQ(com1.pages()[0x8000], 0xFF);  // erased
}

// The whole package written and the identity page acknowledged; the reply to
// the final G stops a byte short. The box says the cartridge is written.
TEST_F(WineFault, IncompleteReplyToTheFinalGLeavesTheCartridgeWritten) {
    sim::Options options = cartridge_options();
    options.short_reply = {'G', 2};
    sim::Simulator& com1 = cartridge(1, options);
    wine::Process program(wine::small_exe(), {});
    start_attempt("OK");

    const std::string text = box_then_exit(program, 90000);
    EXPECT_EQ(text, as_printed(failure_box::text("falha no comando G final", INCOMPLETE_REPLY, ALL_WRITTEN)));
    expect_nothing_after_the_fault(com1, "short");
    EXPECT_EQ(com1.writes().back(), "W 8000");
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
