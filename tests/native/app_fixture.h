// Test set-up shared by the application tests: the headless windows, a
// package of the test's choice, and a simulated cartridge on a pty as COM 1.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "headless/ui_headless.h"
#include "package_generator.h"
#include "simulator.h"
#include "test_helpers.h"
#include "uATU.h"

class AppTest : public ::testing::Test {
public:
    static std::string record_path();  // ARQUIVO_DUMP of every test: dump_path
    static constexpr const char* IDENTITY = "3012AB0F";  // the identity text of default_cartridge()

protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the program on `package` (the embedded one when empty): both
    // windows created, shown and activated, so the package pass has run.
    void start_program(const std::vector<std::string>& package = {});
    // A cartridge on a pty, reached as COM `port`.
    sim::Simulator& attach_cartridge(sim::Options options = default_cartridge(), int port = 1);
    static sim::Options default_cartridge();

    ui::Control* control(const char* name);
    ui::Control* dialog_button(const char* name);
    // Presses "Atualiza"; the confirmation is answered with `confirm`, and
    // every later message is recorded (code by caption and text) and closed
    // with its one enabled button.
    void press_update(bool confirm = true);

    // A dialog or a box as it came up, with what the task-bar button showed
    // and the alerts made so far.
    struct Shown {
        std::string caption;
        std::vector<std::string> lines;
        bool ok_enabled, cancel_enabled;
        ui::headless::Taskbar taskbar;
        std::vector<ui::Alert> alerts;
    };
    std::vector<Shown> dialogs;           // every message dialog that came up
    std::vector<Shown> boxes_up;          // every plain message box, its text as the one line
    std::vector<std::string>& boxes();    // every plain message box's text
    std::string dump_path;                // where the identity page image goes
    std::string home_dump_path;           // TEXTO2.TXT in the test's own home (the Documents folder)
    std::unique_ptr<sim::Simulator> cartridge;

private:
    std::vector<std::string> package_;
    bool confirm_ = true;
    std::string home_, saved_home_;
};

using test_helpers::read_file;
