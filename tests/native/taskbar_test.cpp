// What an attempt shows on the program's task-bar button and how each ending
// calls the technician back: the button follows pbAND step for step in the
// normal state from the confirmation on, turns to the error state before a
// failure box or message 1, 3 or 4 comes up, and shows nothing once the
// attempt is over; message 7 calls with the information sound, every failure
// with the error sound, the confirmation with none.
#include "app_fixture.h"
#include "posix/serial_ports.h"

namespace {

using ui::Alert;
using ui::TaskbarState;
using Taskbar = ui::headless::Taskbar;

const Taskbar OFF{};

}  // namespace

class TaskbarButton : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        start_program(pkggen::make_package(pkggen::small_shape()));
    }

    ui::Control* bar() { return control("pbAND"); }

    void press(bool confirm = true) {
        logged_before_press = ui::headless::progress_log(bar()).size();
        press_update(confirm);
    }

    // The button from the confirmation on: at 0, then at every position the
    // bar took after the press emptied it.
    std::vector<Taskbar> steps_of_the_bar() {
        const std::vector<int>& positions = ui::headless::progress_log(bar());
        EXPECT_GT(positions.size(), logged_before_press);
        const int max = ui::progress_max(bar());
        std::vector<Taskbar> shown = {{TaskbarState::Normal, 0, max}};
        for (size_t i = logged_before_press + 1; i < positions.size(); ++i)
            shown.push_back({TaskbarState::Normal, positions[i], max});
        return shown;
    }

    size_t logged_before_press = 0;

    // Ended in `report` (a dialog or a box), which came up with the button red
    // at the bar's last position and the error sound called; nothing after.
    void expect_failure_shown(const Shown& report) {
        std::vector<Taskbar> expected = steps_of_the_bar();
        const Taskbar red{TaskbarState::Error, expected.back().position, expected.back().max};
        EXPECT_EQ(report.taskbar, red);
        EXPECT_EQ(report.alerts, std::vector<Alert>{Alert::Error});
        expected.insert(expected.end(), {red, OFF});
        EXPECT_EQ(ui::headless::taskbar_log(), expected);
        EXPECT_EQ(ui::headless::alerts(), std::vector<Alert>{Alert::Error});
        EXPECT_EQ(ui::headless::taskbar(), OFF);
    }
};

TEST_F(TaskbarButton, ConfirmationCancelledShowsAndCallsNothing) {
    attach_cartridge();
    press(false);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].taskbar, OFF);
    EXPECT_TRUE(ui::headless::taskbar_log().empty());
    EXPECT_TRUE(ui::headless::alerts().empty());
}

TEST_F(TaskbarButton, CompletedUpdateFollowsTheBarAndCallsWithInformation) {
    attach_cartridge();
    press();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[0].taskbar, OFF);  // the confirmation
    EXPECT_TRUE(dialogs[0].alerts.empty());
    const int max = ui::progress_max(bar());
    ASSERT_GT(max, 10);
    EXPECT_EQ(dialogs[1].taskbar, (Taskbar{TaskbarState::Normal, max, max}));  // message 7, full
    EXPECT_EQ(dialogs[1].alerts, std::vector<Alert>{Alert::Information});

    std::vector<Taskbar> expected = steps_of_the_bar();
    EXPECT_GT(expected.size(), 20u);  // a step for every Page and Block
    expected.push_back(OFF);
    EXPECT_EQ(ui::headless::taskbar_log(), expected);
    EXPECT_EQ(ui::headless::alerts(), std::vector<Alert>{Alert::Information});
}

TEST_F(TaskbarButton, FailureBoxComesUpRedWithTheErrorSound) {
    sim::Options options = default_cartridge();
    options.nak = {'F', 3};  // Block 1, well into the bar
    attach_cartridge(options);
    press();
    ASSERT_EQ(boxes_up.size(), 1u);
    EXPECT_GT(boxes_up[0].taskbar.position, 5);
    expect_failure_shown(boxes_up[0]);
}

TEST_F(TaskbarButton, AnotherCartridgeComesUpRedWithTheErrorSound) {
    sim::Options options = default_cartridge();
    options.identity_change_after_reads = 1;
    attach_cartridge(options);
    press();
    ASSERT_EQ(boxes_up.size(), 1u);
    EXPECT_EQ(boxes_up[0].lines.at(0).rfind("Este aparelho não corresponde", 0), 0u);
    expect_failure_shown(boxes_up[0]);
}

TEST_F(TaskbarButton, Message1ComesUpRedWithTheErrorSound) {
    plat::serial_set_device_path(1, "/dev/nonexistent-port");
    press();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].lines.at(0), "Não foi possível abrir a porta serial definida para");
    expect_failure_shown(dialogs[1]);
}

TEST_F(TaskbarButton, Message3ComesUpRedWithTheErrorSound) {
    sim::Options options = default_cartridge();
    options.silent = true;
    attach_cartridge(options);
    press();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].lines.at(0), "Não foi possível comunicar com o aparelho.");
    expect_failure_shown(dialogs[1]);
}

TEST_F(TaskbarButton, Message4ComesUpRedWithTheErrorSound) {
    sim::Options options = default_cartridge();
    options.sync_byte = 0x86;
    attach_cartridge(options);
    press();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].caption, "Incompatibilidade de Versão");
    expect_failure_shown(dialogs[1]);
}
