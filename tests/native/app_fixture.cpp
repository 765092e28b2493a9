// Shared set-up of the application tests.
#include "app_fixture.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "clock.h"
#include "posix/serial_ports.h"
#include "posix/string_table_native.h"
#include "uMSG.h"
#include "uSER_KV.h"

sim::Options AppTest::default_cartridge() {
    sim::Options options;
    options.identity.fill(0x5A);
    options.identity[0] = 0x12;
    options.identity[1] = 0xAB;
    options.identity[2] = 0x0F;
    return options;
}

std::string AppTest::record_path() { return ::testing::TempDir() + "TEXTO2_" + std::to_string(getpid()) + ".TXT"; }

void AppTest::SetUp() {
    ui::headless::reset();
    plat::set_fast_forward(true);
    dump_path = record_path();
    std::remove(dump_path.c_str());
    ARQUIVO_DUMP = dump_path;
    // A home of the test's own: the record's second place must not be the user's.
    home_ = ::testing::TempDir() + "home_" + std::to_string(getpid());
    std::filesystem::remove_all(home_);
    std::filesystem::create_directory(home_);
    home_dump_path = home_ + "/TEXTO2.TXT";
    const char* home = std::getenv("HOME");
    saved_home_ = home ? home : "";
    setenv("HOME", home_.c_str(), 1);
    NUMERO_SERIE.clear();
    BYTE_SINC = 0;
    EM_TENTATIVA = false;
    ui::headless::set_box_hook([this](const std::string& text) {
        boxes_up.push_back({"", {text}, true, false, ui::headless::taskbar(), ui::headless::alerts()});
    });
    ui::headless::set_modal_answer([this](ui::Form* form) {
        Shown shown{ui::caption(form),          {}, ui::enabled(fmMSG->Button1), ui::enabled(fmMSG->Button2),
                    ui::headless::taskbar(), ui::headless::alerts()};
        for (int i = 0; i < ui::memo_line_count(fmMSG->Memo1); ++i)
            shown.lines.push_back(ui::memo_line(fmMSG->Memo1, i));
        dialogs.push_back(shown);
        if (shown.ok_enabled && (confirm_ || !shown.cancel_enabled)) return 1;
        return 2;
    });
}

void AppTest::TearDown() {
    DESCONECTA();
    if (cartridge) cartridge->stop();
    plat::serial_set_device_path(1, "");
    plat::serial_set_device_path(2, "");
    plat::string_table_use(nullptr);
    plat::set_fast_forward(false);
    std::remove(dump_path.c_str());
    std::filesystem::remove_all(home_);
    if (saved_home_.empty())
        unsetenv("HOME");
    else
        setenv("HOME", saved_home_.c_str(), 1);
    ui::headless::reset();
}

void AppTest::start_program(const std::vector<std::string>& package) {
    package_ = package;
    plat::string_table_use(package_.empty() ? nullptr : &package_);
    CRIA_JANELAS();
    ui::app_run(fmATU->form);
}

sim::Simulator& AppTest::attach_cartridge(sim::Options options, int port) {
    cartridge = std::make_unique<sim::Simulator>(options);
    std::string error;
    EXPECT_TRUE(cartridge->start(&error)) << error;
    plat::serial_set_device_path(port, cartridge->slave_path());
    return *cartridge;
}

ui::Control* AppTest::control(const char* name) { return ui::find_control(fmATU->form, name); }

ui::Control* AppTest::dialog_button(const char* name) { return ui::find_control(fmMSG->form, name); }

void AppTest::press_update(bool confirm) {
    confirm_ = confirm;
    ui::headless::click(control("sbATU"));
}

std::vector<std::string>& AppTest::boxes() { return ui::headless::message_boxes(); }
