// The whole update, end to end, against the simulated cartridge.
#include <cstdio>

#include "app_fixture.h"
#include "clock.h"
#include "expected_image.h"
#include "pacote.h"
#include "uSER_KV.h"

namespace {

// The acknowledged writes, in the order the cartridge took them.
std::vector<std::string> acked_writes(const sim::Simulator& cartridge) {
    std::vector<std::string> writes;
    char text[16];
    for (const sim::LogEntry& entry : cartridge.log()) {
        if (entry.outcome != "ack") continue;
        if (entry.command == 'W') {
            std::snprintf(text, sizeof text, "W %04X", entry.address);
            writes.push_back(text);
        } else if (entry.command == 'F') {
            writes.push_back("F " + std::to_string(entry.address) + (entry.half ? "/80" : "/00"));
        }
    }
    return writes;
}

std::vector<char> commands(const sim::Simulator& cartridge) {
    std::vector<char> letters;
    for (const sim::LogEntry& entry : cartridge.log()) letters.push_back(entry.command);
    return letters;
}

}  // namespace

class Update : public AppTest {
protected:
    void expect_complete_update(const std::vector<std::string>& package, size_t single_steps) {
        const ExpectedImage expected = expected_image(package, default_cartridge().identity);
        EXPECT_EQ(acked_writes(*cartridge), expected.writes);
        const auto pages = cartridge->pages();
        for (size_t a = 0; a < pages.size(); ++a) ASSERT_EQ(pages[a], expected.pages[a]) << "byte " << a;
        EXPECT_EQ(cartridge->blocks(), expected.blocks);
        EXPECT_EQ(read_file(dump_path), expected_dump(&expected.pages[0x8000]));

        ASSERT_EQ(dialogs.size(), 2u);
        EXPECT_EQ(dialogs[1].caption, "Mensagem");
        EXPECT_EQ(dialogs[1].lines, std::vector<std::string>{"Atualização concluída com sucesso!!"});
        EXPECT_TRUE(boxes().empty());
        EXPECT_EQ(ui::text(control("lbGG")), "Atualização concluída!");
        EXPECT_TRUE(ui::end_requested());
        EXPECT_FALSE(PORTA_ABERTA);

        // One step after the identity check, one per Page and Block, one after
        // the erases, then full.
        const std::vector<int>& log = ui::headless::progress_log(control("pbAND"));
        ASSERT_GE(log.size(), single_steps + 1);
        std::vector<int> tail(log.end() - static_cast<long>(single_steps) - 1, log.end());
        for (size_t i = 0; i < single_steps; ++i) ASSERT_EQ(tail[i], static_cast<int>(i + 1));
        EXPECT_EQ(tail.back(), ui::progress_max(control("pbAND")));
    }
};

TEST_F(Update, ShippedPackageWritesTheExpectedImage) {
    start_program();
    attach_cartridge();
    press_update();
    std::vector<std::string> package;
    for (int32_t i = 0; i <= 852; ++i) package.push_back(LE_ENTRADA(i));
    expect_complete_update(package, 701);

    const ExpectedImage expected = expected_image(package, default_cartridge().identity);
    EXPECT_EQ(expected.directory.size(), 48u);
    EXPECT_EQ(cartridge->pages()[0x8000 + 112], 0x02);
    EXPECT_EQ(cartridge->pages()[0x8000 + 113], 0x58);
    EXPECT_EQ(cartridge->pages()[0x8000 + 6], 22);
    EXPECT_EQ(read_file(dump_path).size(), 386u);
    const auto block14 = cartridge->blocks().at(14);
    for (int i = 0; i < 128; ++i) ASSERT_EQ(cartridge->pages()[0x8080 + i], block14[i]) << i;
    EXPECT_EQ(std::count(expected.writes.begin(), expected.writes.end(), "W 8C00"), 2);
}

TEST_F(Update, SecondStageWaitsAfterTheFirstG) {
    start_program(pkggen::make_package(pkggen::small_shape()));
    attach_cartridge();
    plat::set_fast_forward(false);  // the pauses are what is measured here
    press_update();
    const auto log = cartridge->log();
    double g_at = -1, next_at = -1;
    for (const sim::LogEntry& e : log) {
        if (e.command == 'G' && g_at < 0) g_at = e.t_ms;
        else if (g_at >= 0 && next_at < 0 && e.command == 'E') next_at = e.t_ms;
    }
    ASSERT_GE(g_at, 0);
    EXPECT_GE(next_at - g_at, 5000 + 100);  // 5 s, then 100 ms before the first Page of section 4
    EXPECT_LT(next_at - g_at, 5600);
}

TEST_F(Update, NakInSectionTwoStopsEverything) {
    start_program(pkggen::make_package(pkggen::shipped_shape()));
    sim::Options options = default_cartridge();
    options.nak = {'W', 3};  // the second Page of section 2, at 0xAA80
    attach_cartridge(options);
    press_update();

    const std::vector<std::string> expected_writes = {"W 8C00", "W AA00"};
    EXPECT_EQ(acked_writes(*cartridge), expected_writes);
    std::vector<char> sent = commands(*cartridge);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), 'G'), 0);
    EXPECT_EQ(sent.back(), 'W');  // nothing after the failed write
    ASSERT_EQ(dialogs.size(), 1u);  // the confirmation only
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_NE(boxes()[0].find("A atualização não foi concluída"), std::string::npos);
    EXPECT_NE(boxes()[0].find("página AA80"), std::string::npos) << boxes()[0];
    EXPECT_NE(boxes()[0].find("MODO DE ATUALIZAÇÃO"), std::string::npos);
    EXPECT_EQ(ui::text(control("lbGG")), "Atualização em andamento....3012AB0F");
    EXPECT_TRUE(ui::end_requested());
    EXPECT_FALSE(PORTA_ABERTA);
    EXPECT_EQ(read_file(dump_path), "");
}

TEST_F(Update, FailedBlockNamesItsNumber) {
    start_program(pkggen::make_package(pkggen::small_shape()));
    sim::Options options = default_cartridge();
    options.nak = {'F', 8};  // second half of block 3
    attach_cartridge(options);
    press_update();
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_NE(boxes()[0].find("bloco 3"), std::string::npos) << boxes()[0];
    EXPECT_EQ(commands(*cartridge).back(), 'F');
}

TEST_F(Update, FailedIdentityPageIsNotReportedAsSuccess) {
    const auto package = pkggen::make_package(pkggen::small_shape());
    start_program(package);
    sim::Options options = default_cartridge();
    options.nak = {'W', 11};  // 9 Pages, the Page at 0x8080, then the identity page
    attach_cartridge(options);

    ASSERT_TRUE(CONECTA(1));
    ASSERT_EQ(fmATU->CART_V2(NUMERO_SERIE), CARTUCHO_V2);
    EXPECT_FALSE(fmATU->ATUALIZA());
    DESCONECTA();

    EXPECT_TRUE(dialogs.empty());  // no message 7
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_NE(boxes()[0].find("identificação 8000"), std::string::npos) << boxes()[0];
    EXPECT_NE(ui::text(control("lbGG")), "Atualização concluída!");
    const ExpectedImage expected = expected_image(package, default_cartridge().identity);
    EXPECT_EQ(read_file(dump_path), expected_dump(&expected.pages[0x8000]));  // the record of what was sent
    std::vector<char> sent = commands(*cartridge);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), 'G'), 1);  // no final G
}

TEST_F(Update, FailedFinalGIsNotReportedAsSuccess) {
    start_program(pkggen::make_package(pkggen::small_shape()));
    sim::Options options = default_cartridge();
    options.nak = {'G', 2};
    attach_cartridge(options);
    press_update();
    EXPECT_EQ(dialogs.size(), 1u);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_NE(boxes()[0].find("comando G final"), std::string::npos) << boxes()[0];
    EXPECT_EQ(read_file(dump_path).size(), 386u);
}

TEST_F(Update, ChangedCartridgeIsRefusedBeforeAnyWrite) {
    start_program(pkggen::make_package(pkggen::small_shape()));
    sim::Options options = default_cartridge();
    options.identity_change_after_reads = 1;
    attach_cartridge(options);
    press_update();
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0], "Este aparelho não corresponde ao número de série 3012AB0F.");
    EXPECT_EQ(commands(*cartridge), (std::vector<char>{'D', 'D'}));
    EXPECT_EQ(dialogs.size(), 1u);
    EXPECT_TRUE(ui::end_requested());
    EXPECT_FALSE(PORTA_ABERTA);
}
