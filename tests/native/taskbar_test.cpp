// What an attempt shows on the program's task-bar button and how each ending
// calls the technician back: the button follows pbAND step for step in the
// normal state from the confirmation on, turns to the error state before a
// failure box or message 1, 3 or 4 comes up, and shows nothing once the
// attempt is over; message 7 calls with the information sound, every failure
// with the error sound, the confirmation with none.
#include <functional>

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

// A failure, from the simulated cartridge's fault (none: no port at all), and
// how the report that ends the attempt begins.
struct Failure {
    const char* name;
    std::function<void(sim::Options&)> fault;
    bool plain_box;  // rather than a message dialog
    std::string begins;
};
void PrintTo(const Failure& failure, std::ostream* out) { *out << failure.name; }

class EachFailure : public TaskbarButton, public ::testing::WithParamInterface<Failure> {};

TEST_P(EachFailure, ComesUpRedWithTheErrorSound) {
    const Failure& failure = GetParam();
    if (failure.fault) {
        sim::Options options = default_cartridge();
        failure.fault(options);
        attach_cartridge(options);
    } else {
        plat::serial_set_device_path(1, "/dev/nonexistent-port");
    }
    press();
    const std::vector<Shown>& reports = failure.plain_box ? boxes_up : dialogs;
    ASSERT_EQ(reports.size(), failure.plain_box ? 1u : 2u);
    EXPECT_EQ(reports.back().lines.at(0).rfind(failure.begins, 0), 0u) << reports.back().lines.at(0);
    expect_failure_shown(reports.back());
}

const Failure FAILURES[] = {
    {"FailureBox", [](sim::Options& o) { o.nak = {'F', 3}; }, true,
     "A atualização não foi concluída: falha na gravação do bloco 1"},
    {"AnotherCartridge", [](sim::Options& o) { o.identity_change_after_reads = 1; }, true,
     "Este aparelho não corresponde"},
    {"Message1", nullptr, false, "Não foi possível abrir a porta serial definida para"},
    {"Message3", [](sim::Options& o) { o.silent = true; }, false, "Não foi possível comunicar com o aparelho."},
    {"Message4", [](sim::Options& o) { o.sync_byte = 0x86; }, false, "Esta atualização não pode ser executada neste"},
};

INSTANTIATE_TEST_SUITE_P(Endings, EachFailure, ::testing::ValuesIn(FAILURES),
                         [](const auto& info) { return std::string(info.param.name); });
