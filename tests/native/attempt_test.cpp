// One press of "Atualiza": every outcome the user can meet.
#include "app_fixture.h"
#include "clock.h"
#include "posix/serial_ports.h"
#include "serial.h"
#include "uSER_KV.h"

namespace {
const std::vector<std::string> MESSAGE_3 = {
    "Não foi possível comunicar com o aparelho.",
    "Verifique:",
    "",
    "1. Se o aparelho está alimentado corretamente",
    "2. Se a conexão com o computador está correta",
    "3. Se a porta serial foi definida corretamente.",
    "4. Se o aparelho está em modo de atualização."};

bool anything_written(const sim::Simulator& cartridge) {
    for (const sim::LogEntry& e : cartridge.log())
        if (e.command != 'D') return true;
    return false;
}
}  // namespace

using Attempt = AppTest;

TEST_F(Attempt, CancelOnTheConfirmationTouchesNothing) {
    start_program(pkggen::make_package(pkggen::small_shape()));
    sim::Simulator& cartridge = attach_cartridge();
    press_update(false);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].caption, "Mensagem");
    EXPECT_TRUE(dialogs[0].ok_enabled && dialogs[0].cancel_enabled);
    EXPECT_EQ(dialogs[0].lines.at(0), "Para iniciar a atualização deste cartucho, coloque-o");
    EXPECT_TRUE(cartridge.bytes_received().empty());
    EXPECT_EQ(ui::progress_position(control("pbAND")), 0);
    EXPECT_EQ(ui::text(control("lbGG")), "Atualização não executada");
    EXPECT_EQ(ui::cursor(), ui::Cursor::Default);
    EXPECT_FALSE(ui::end_requested());
}

TEST_F(Attempt, PortThatCannotBeOpenedGivesMessage1) {
    start_program(pkggen::make_package(pkggen::small_shape()));
    plat::serial_set_device_path(1, "/dev/nonexistent-port");
    press_update();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].caption, "Erro de comunicação");
    EXPECT_FALSE(dialogs[1].ok_enabled);
    EXPECT_TRUE(dialogs[1].cancel_enabled);
    EXPECT_EQ(dialogs[1].lines.size(), 4u);
    EXPECT_EQ(dialogs[1].lines.at(3), "outro software.");
    EXPECT_FALSE(PORTA_ABERTA);
    EXPECT_FALSE(ui::end_requested());
}

// Another program held the port: message 1. Once it lets go, the next
// attempt on the same port opens it and updates: the failed open kept
// nothing of it.
TEST_F(Attempt, PortHeldElsewhereGivesMessage1ThenTheSamePortUpdates) {
    start_program(pkggen::make_package(pkggen::small_shape()));
    sim::Simulator& cartridge = attach_cartridge();
    uint32_t error = 0;
    plat::PortHandle other = plat::serial_open(1, &error);
    ASSERT_GE(other, 0) << error;
    press_update();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].lines.at(0), "Não foi possível abrir a porta serial definida para");
    EXPECT_TRUE(cartridge.bytes_received().empty());
    plat::serial_close(other);

    press_update();
    ASSERT_EQ(dialogs.size(), 4u);
    EXPECT_EQ(dialogs[3].lines.at(0), "Atualização concluída com sucesso!!");
    EXPECT_TRUE(anything_written(cartridge));
    EXPECT_FALSE(PORTA_ABERTA);
}

// The hourglass from the press until identification ends, the arrow while a
// message is up and once the attempt is over: here through message 4 (found
// at the second sync byte), then a whole update.
TEST_F(Attempt, HourglassUntilIdentificationEndsArrowAfterTheAttempt) {
    start_program(pkggen::make_package(pkggen::small_shape()));
    sim::Options other_generation = default_cartridge();
    other_generation.sync_byte = 0x86;
    sim::Simulator other_cartridge(other_generation);
    std::string error;
    ASSERT_TRUE(other_cartridge.start(&error)) << error;
    plat::serial_set_device_path(1, other_cartridge.slave_path());
    attach_cartridge(default_cartridge(), 2);
    std::vector<ui::Cursor> while_running;
    ui::headless::set_message_hook([&] { while_running.push_back(ui::cursor()); });

    press_update();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].caption, "Incompatibilidade de Versão");
    // After the confirmation, between the first sync byte and the others, and
    // once identification ended.
    EXPECT_EQ(while_running,
              (std::vector<ui::Cursor>{ui::Cursor::Hourglass, ui::Cursor::Hourglass, ui::Cursor::Default}));
    EXPECT_EQ(ui::cursor(), ui::Cursor::Default);

    while_running.clear();
    ui::headless::click(control("pnCOM2"));
    press_update();
    ASSERT_EQ(dialogs.size(), 4u);
    EXPECT_EQ(dialogs[3].lines.at(0), "Atualização concluída com sucesso!!");
    // After the confirmation; then identification found the cartridge at once,
    // and the update runs under the arrow.
    ASSERT_GT(while_running.size(), 20u);
    EXPECT_EQ(while_running[0], ui::Cursor::Hourglass);
    for (size_t i = 1; i < while_running.size(); ++i) ASSERT_EQ(while_running[i], ui::Cursor::Default) << i;
    EXPECT_EQ(ui::cursor(), ui::Cursor::Default);
}

TEST_F(Attempt, SilentCartridgeGivesMessage3AndFreesThePort) {
    start_program(pkggen::make_package(pkggen::small_shape()));
    sim::Options options = default_cartridge();
    options.silent = true;
    sim::Simulator& cartridge = attach_cartridge(options);
    plat::set_fast_forward(false);  // the wake byte's 80 ms lets it leave before the purge
    press_update();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].caption, "Erro de comunicação");
    EXPECT_EQ(dialogs[1].lines, MESSAGE_3);
    EXPECT_EQ(NUMERO_SERIE, "");
    EXPECT_FALSE(PORTA_ABERTA);
    EXPECT_FALSE(ui::end_requested());
    EXPECT_EQ(ui::cursor(), ui::Cursor::Default);
    // The wake byte, then each sync byte once.
    EXPECT_EQ(cartridge.bytes_received(), (std::vector<uint8_t>{0xAB, 0x87, 0x86, 0x85}));

    uint32_t error = 0;
    plat::PortHandle other = plat::serial_open(1, &error);
    EXPECT_GE(other, 0) << "another program can open the port";
    plat::serial_close(other);
}

TEST_F(Attempt, SilentPortThenCom2Updates) {
    start_program(pkggen::make_package(pkggen::small_shape()));
    sim::Options silent = default_cartridge();
    silent.silent = true;
    sim::Simulator silent_cartridge(silent);
    std::string error;
    ASSERT_TRUE(silent_cartridge.start(&error)) << error;
    plat::serial_set_device_path(1, silent_cartridge.slave_path());
    sim::Simulator& cartridge = attach_cartridge(default_cartridge(), 2);

    press_update();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].lines, MESSAGE_3);

    ui::headless::click(control("pnCOM2"));
    press_update();
    ASSERT_EQ(dialogs.size(), 4u);
    EXPECT_EQ(dialogs[3].lines.at(0), "Atualização concluída com sucesso!!");
    EXPECT_TRUE(anything_written(cartridge));
    EXPECT_FALSE(anything_written(silent_cartridge));
}

class OtherGeneration : public AppTest, public ::testing::WithParamInterface<uint8_t> {};

TEST_P(OtherGeneration, GetsMessage4AndNothingWritten) {
    start_program(pkggen::make_package(pkggen::small_shape()));
    sim::Options options = default_cartridge();
    options.sync_byte = GetParam();
    sim::Simulator& cartridge = attach_cartridge(options);
    press_update();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].caption, "Incompatibilidade de Versão");
    EXPECT_EQ(dialogs[1].lines, (std::vector<std::string>{"Esta atualização não pode ser executada neste",
                                                          "aparelho por incompatibilidade de versões."}));
    EXPECT_FALSE(anything_written(cartridge));
    EXPECT_EQ(BYTE_SINC, GetParam());
    EXPECT_FALSE(PORTA_ABERTA);
    EXPECT_FALSE(ui::end_requested());
}

INSTANTIATE_TEST_SUITE_P(SyncBytes, OtherGeneration, ::testing::Values(0x86, 0x85));

TEST_F(Attempt, PressesDuringAnAttemptDoNotStartAnotherOrChangeThePort) {
    start_program(pkggen::make_package(pkggen::small_shape()));
    sim::Simulator& cartridge = attach_cartridge();
    int hooks = 0;
    ui::headless::set_message_hook([&] {
        if (++hooks == 20) {
            ui::headless::click(control("sbATU"));
            ui::headless::click(control("pnCOM3"));
        }
    });
    press_update();
    EXPECT_GT(hooks, 20);
    ASSERT_EQ(dialogs.size(), 2u);  // one confirmation, one message 7
    EXPECT_EQ(NUM_COM, 1);
    EXPECT_EQ(ui::color(control("pnCOM1")), ui::rgb(255, 255, 0));
    EXPECT_EQ(ui::color(control("pnCOM3")), ui::rgb(255, 255, 255));
    int identity_reads = 0;
    for (const sim::LogEntry& e : cartridge.log()) identity_reads += e.command == 'D';
    EXPECT_EQ(identity_reads, 2);
}

TEST_F(Attempt, ClosingTheWindowLetsTheUpdateRunToItsEnd) {
    start_program(pkggen::make_package(pkggen::small_shape()));
    sim::Simulator& cartridge = attach_cartridge();
    int hooks = 0;
    ui::headless::set_message_hook([&] {
        if (++hooks == 10) ui::headless::close(fmATU->form);
    });
    press_update();
    EXPECT_TRUE(ui::end_requested());
    EXPECT_EQ(dialogs.size(), 1u);  // message 7 closed at once, unseen
    EXPECT_EQ(cartridge.pages()[0x8000 + 6], 22);  // the identity page was written
    EXPECT_FALSE(PORTA_ABERTA);
}

TEST_F(Attempt, PortChoice) {
    start_program(pkggen::make_package(pkggen::small_shape()));
    EXPECT_EQ(NUM_COM, 1);
    ASSERT_EQ(LISTA_COM.size(), 6u);
    auto yellow = [&] {
        std::vector<int> tags;
        for (ui::Control* panel : LISTA_COM)
            if (ui::color(panel) == ui::rgb(255, 255, 0)) tags.push_back(ui::tag(panel));
        return tags;
    };
    EXPECT_EQ(yellow(), std::vector<int>{1});
    ui::headless::click(control("pnCOM1"));
    EXPECT_EQ(yellow(), std::vector<int>{1});
    ui::headless::click(control("pnCOM4"));
    ui::headless::click(control("pnCOM2"));
    EXPECT_EQ(yellow(), std::vector<int>{2});
    EXPECT_EQ(NUM_COM, 2);
}
