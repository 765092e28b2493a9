// dist/pATU.exe under Wine: how it behaves as a Windows program. Its windows
// come up at the centre of the screen, the message dialog answers Enter and
// Esc, a close during an update lets the update finish, and a second copy of
// the program keeps off the port the first one is using.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "wine_update.h"

namespace {

const std::string PROGRAM_TITLE = "Atualização Cartucho QUILLA";  // also the caption of plain message boxes
constexpr int SCREEN_WIDTH = 1024, SCREEN_HEIGHT = 768;          // wine_env.sh's X server

struct Point {
    int x, y;
};

// The centre of a window's client area on the screen, from the driver's dump.
Point client_centre(const std::string& caption) {
    std::vector<std::string> dump = wine::drive({"dump", caption});
    int width = 0, height = 0, left = 0, top = 0;
    EXPECT_EQ(std::sscanf(dump.at(0).c_str(), "client=%d,%d origin=%d,%d", &width, &height, &left, &top), 4)
        << dump.at(0);
    return {left + width / 2, top + height / 2};
}

// The client area's centre lies on the window's, but below it by half the
// title bar.
void expect_centred(const std::string& caption) {
    const Point centre = client_centre(caption);
    EXPECT_NEAR(centre.x, SCREEN_WIDTH / 2, 1) << caption;
    EXPECT_GE(centre.y, SCREEN_HEIGHT / 2) << caption;
    EXPECT_LE(centre.y, SCREEN_HEIGHT / 2 + 20) << caption;
}

int top_windows_titled(const std::string& caption) {
    int n = 0;
    for (const std::string& line : wine::drive({"list"}))
        if (line.find("text=\"" + caption + "\"") != std::string::npos) ++n;
    return n;
}

size_t acked_writes(const sim::Simulator& cartridge) { return cartridge.writes().size(); }

class WineManners : public WineUpdate {
protected:
    // Presses "Atualiza" in the top window of that caption and waits for the confirmation.
    void press_update() {
        wine::drive({"click", WINDOW, "Atualiza", "--", "wait-text", "Mensagem",
                     "Para iniciar a atualização deste cartucho", "20000"});
    }
    // A first copy of the program, updating the cartridge on COM 1.
    std::unique_ptr<wine::Process> start_updating(sim::Simulator& com1) {
        auto program = std::make_unique<wine::Process>(wine::dist_exe(), std::vector<std::string>{});
        wine::drive({"wait-window", WINDOW, "30000"});
        press_update();
        wine::drive({"click", "Mensagem", "OK", "--", "wait-text", WINDOW, "Atualização em andamento", "30000"});
        EXPECT_FALSE(com1.log().empty());
        return program;
    }
    void wait_for_writes(const sim::Simulator& com1, size_t count, int timeout_ms) {
        for (auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
             acked_writes(com1) < count && std::chrono::steady_clock::now() < end;)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
};

}  // namespace

TEST_F(WineManners, WindowAndDialogComeUpAtTheCentreOfTheScreen) {
    wine::Process program(wine::dist_exe(), {});
    wine::drive({"wait-window", WINDOW, "30000"});
    expect_centred(WINDOW);
    press_update();
    expect_centred("Mensagem");
    wine::drive({"click", "Mensagem", "Cancelar", "--", "wait-gone", "Mensagem", "10000", "--", "close", WINDOW});
    EXPECT_EQ(program.wait(10000), 0);
}

TEST_F(WineManners, EnterAndEscPressTheDialogsEnabledButtons) {
    sim::Options silent = cartridge_options();
    silent.silent = true;
    sim::Simulator& com1 = cartridge(1, silent);
    wine::Process program(wine::dist_exe(), {});
    wine::drive({"wait-window", WINDOW, "30000"});

    // Message 0: Esc is "Cancelar", so the port is never touched.
    press_update();
    wine::drive({"key", "Mensagem", "esc", "--", "wait-gone", "Mensagem", "10000", "--", "text", WINDOW,
                 "Atualização não executada"});
    EXPECT_TRUE(com1.bytes_received().empty());

    // Message 0: Enter is "OK" (the first button), so the attempt goes on to
    // the silent cartridge and message 3, where Esc presses "Cancelar".
    press_update();
    wine::drive({"key", "Mensagem", "enter", "--", "wait-text", "Erro de comunicação",
                 "Não foi possível comunicar com o aparelho.", "30000", "--", "key", "Erro de comunicação", "esc",
                 "--", "wait-gone", "Erro de comunicação", "10000"});
    EXPECT_EQ(com1.bytes_received(), (std::vector<uint8_t>{0xAB, 0x87, 0x86, 0x85}));

    // With no port there, message 1; Enter presses its one enabled button, "Cancelar".
    wine::link_com(1, "");
    press_update();
    wine::drive({"key", "Mensagem", "enter", "--", "wait-text", "Erro de comunicação",
                 "Não foi possível abrir a porta serial definida para", "30000", "--", "key",
                 "Erro de comunicação", "enter", "--", "wait-gone", "Erro de comunicação", "10000"});
    wine::drive({"close", WINDOW});
    EXPECT_EQ(program.wait(10000), 0);
}

TEST_F(WineManners, CloseDuringAnUpdateLetsItRunToItsEndThenExits) {
    sim::Options options = cartridge_options();
    options.nak = {'W', 60};  // a short update: it stops at the 60th Page, in section 4
    sim::Simulator& com1 = cartridge(1, options);
    std::unique_ptr<wine::Process> program = start_updating(com1);
    const size_t writes_at_close = acked_writes(com1);
    wine::drive({"close", WINDOW});

    wait_for_writes(com1, 59, 60000);
    EXPECT_GT(acked_writes(com1), writes_at_close + 20);  // the update ran on after the close
    // An update that stops short says so in a plain box; then the program ends.
    wine::drive({"msgbox-text", "30000", "--", "click", PROGRAM_TITLE, "OK"});
    EXPECT_EQ(program->wait(20000), 0);
    EXPECT_EQ(acked_writes(com1), 59u);
}

TEST_F(WineManners, SecondCopyGetsMessage1ForThePortTheFirstIsUsing) {
    sim::Simulator& com1 = cartridge(1);
    std::unique_ptr<wine::Process> first = start_updating(com1);

    wine::Process second(wine::dist_exe(), {});
    for (int i = 0; i < 300 && top_windows_titled(WINDOW) < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(top_windows_titled(WINDOW), 2);
    // The newest window is the top one, which the driver finds first: the second copy's.
    wine::drive({"text", WINDOW, "Atualização não executada"});
    press_update();
    wine::drive({"click", "Mensagem", "OK", "--", "wait-text", "Erro de comunicação",
                 "Não foi possível abrir a porta serial definida para", "30000", "--", "click",
                 "Erro de comunicação", "Cancelar", "--", "wait-gone", "Erro de comunicação", "10000"});

    // The first copy's update goes on undisturbed.
    const size_t writes = acked_writes(com1);
    wait_for_writes(com1, writes + 5, 30000);
    EXPECT_GE(acked_writes(com1), writes + 5);
    for (const sim::LogEntry& entry : com1.log()) EXPECT_NE(entry.outcome, "bad");
    wine::drive({"text", WINDOW, "Atualização não executada", "--", "close", WINDOW});
    EXPECT_EQ(second.wait(10000), 0);
    // The first copy is stopped here, without waiting for its whole update.
}
