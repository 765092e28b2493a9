// The message dialog: captions, buttons and lines from the catalogue.
#include "app_fixture.h"
#include "uMSG.h"

using MessageDialog = AppTest;

TEST_F(MessageDialog, EachCodeHasItsCaptionButtonsAndLines) {
    start_program(pkggen::make_package(pkggen::small_shape()));
    EXPECT_TRUE(fmATU->SHOW_MSG(7));  // only "OK" closes message 7
    EXPECT_TRUE(fmATU->SHOW_MSG(0));
    for (unsigned code : {1u, 3u, 4u}) EXPECT_FALSE(fmATU->SHOW_MSG(code));
    ASSERT_EQ(dialogs.size(), 5u);
    EXPECT_EQ(dialogs[0].caption, "Mensagem");
    EXPECT_TRUE(dialogs[0].ok_enabled);
    EXPECT_FALSE(dialogs[0].cancel_enabled);
    EXPECT_TRUE(dialogs[1].cancel_enabled);  // enabled again after message 7
    EXPECT_EQ(dialogs[1].lines.size(), 6u);
    EXPECT_EQ(dialogs[1].lines[3], "");
    EXPECT_EQ(dialogs[1].lines[5], "duas setas pressionadas (<- e ->).");
    EXPECT_EQ(dialogs[3].caption, "Erro de comunicação");
    EXPECT_FALSE(dialogs[3].ok_enabled);
    EXPECT_EQ(dialogs[3].lines.size(), 7u);  // none of message 0's lines is left
    EXPECT_EQ(dialogs[4].caption, "Incompatibilidade de Versão");
}

TEST_F(MessageDialog, DisabledOkCannotConfirm) {
    start_program(pkggen::make_package(pkggen::small_shape()));
    ui::headless::set_modal_answer([&](ui::Form*) {
        ui::headless::click(dialog_button("Button1"));  // disabled for message 3: ignored
        return 2;
    });
    EXPECT_FALSE(fmATU->SHOW_MSG(3));
}

TEST_F(MessageDialog, AfterTheEndWasRequestedAMessageClosesAtOnce) {
    start_program(pkggen::make_package(pkggen::small_shape()));
    ui::request_end();
    EXPECT_FALSE(fmATU->SHOW_MSG(7));
    EXPECT_TRUE(dialogs.empty());
}
