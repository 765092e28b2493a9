// pATU.exe under Wine: the window as a user sees it, showing the package it
// was built around.
#include <gtest/gtest.h>

#include <cstdlib>

#include "wine_session.h"

namespace {
const std::string WINDOW = "Atualização QUILLA II";

bool has_line(const std::vector<std::string>& lines, const std::string& part) {
    for (const std::string& line : lines)
        if (line.find(part) != std::string::npos) return true;
    return false;
}

// The window of `exe` as the driver dumps it; the program is closed after.
std::vector<std::string> window_of(const std::string& exe) {
    wine::Process program(exe, {});
    std::vector<std::string> dump = wine::drive({"wait-window", WINDOW, "30000", "--", "dump", WINDOW});
    wine::drive({"close", WINDOW, "--", "wait-gone", WINDOW, "10000"});
    EXPECT_EQ(program.wait(10000), 0);
    return dump;
}
}  // namespace

TEST(WineWindow, ShowsThePackageAndTakesThePortChoice) {
    wine::Process program(wine::dist_exe(), {});
    std::vector<std::string> dump = wine::drive({"wait-window", WINDOW, "30000", "--", "dump", WINDOW});
    ASSERT_FALSE(dump.empty());
    EXPECT_EQ(dump[0].rfind("client=349,537", 0), 0u) << dump[0];
    EXPECT_TRUE(has_line(dump, "class=Static") && has_line(dump, "text=\"08/08/2013\""));
    EXPECT_TRUE(has_line(dump, "text=\"Atualização Cartucho QUILLA II\""));
    EXPECT_TRUE(has_line(dump, "text=\"Atualização não executada\""));
    EXPECT_TRUE(has_line(dump, "text=\"   Revisado em 16/08/07\""));
    EXPECT_TRUE(has_line(dump, "class=Button") && has_line(dump, "text=\"Atualiza\""));

    // The memo: 30 lines of text, then 34 empty ones.
    std::string memo;
    for (const std::string& line : dump)
        if (line.find("class=Edit") != std::string::npos) memo = line.substr(line.find("text=\"") + 6);
    size_t breaks = 0;
    for (size_t at = 0; (at = memo.find("\\r\\n", at)) != std::string::npos; at += 4) ++breaks;
    EXPECT_EQ(breaks, 63u);
    EXPECT_EQ(memo.rfind("Fiat Immo - v5.00\\r\\n", 0), 0u);

    std::vector<std::string> colours = wine::drive({"click", WINDOW, "COM 4", "--", "click", WINDOW, "COM 2",
                                                    "--", "pixel", WINDOW, "COM 1", "--", "pixel", WINDOW,
                                                    "COM 2", "--", "pixel", WINDOW, "COM 3", "--", "pixel",
                                                    WINDOW, "COM 4", "--", "pixel", WINDOW, "COM 5", "--",
                                                    "pixel", WINDOW, "COM 6"});
    EXPECT_EQ(colours, (std::vector<std::string>{"FFFFFF", "FFFF00", "FFFFFF", "FFFFFF", "FFFFFF", "FFFFFF"}));

    const std::string bmp = std::string(BINARY_DIR) + "/wine/window.bmp";
    wine::drive({"click", WINDOW, "COM 1", "--", "screenshot", WINDOW, bmp});
    EXPECT_EQ(std::system(("convert " + bmp + " " + std::string(BINARY_DIR) + "/wine/window.png").c_str()), 0);

    wine::drive({"close", WINDOW, "--", "wait-gone", WINDOW, "10000"});
    EXPECT_EQ(program.wait(10000), 0);
}

// The exe scripts/build makes around the small package (pkggen --small, with
// a date and title of its own) shows that package.
TEST(WineWindow, AnExeBuiltAroundAnotherPackageShowsThatPackage) {
    const std::vector<std::string> dump = window_of(wine::small_exe());
    EXPECT_TRUE(has_line(dump, "text=\"01/12/2026\""));
    EXPECT_TRUE(has_line(dump, "text=\"Pacote pequeno de teste\""));
    EXPECT_FALSE(has_line(dump, "text=\"08/08/2013\""));
}

// The exe of a release, named with its package's date and title by
// tests/release/release_test.sh: its window shows that package and takes it,
// as sound, for an update.
TEST(WineWindow, ShowsTheReleasedPackage) {
    const char* exe = std::getenv("PATU_RELEASED_EXE");
    const char* date = std::getenv("PATU_RELEASED_DATE");
    const char* title = std::getenv("PATU_RELEASED_TITLE");
    if (!exe || !date || !title) GTEST_SKIP() << "no release named: tests/release/release_test.sh runs this";
    const std::vector<std::string> dump = window_of(exe);
    EXPECT_TRUE(has_line(dump, "text=\"" + std::string(date) + "\"")) << date;
    EXPECT_TRUE(has_line(dump, "text=\"" + std::string(title) + "\"")) << title;
    EXPECT_TRUE(has_line(dump, "enabled=1 visible=1 text=\"Atualiza\"")) << "the package check refused it";
}
