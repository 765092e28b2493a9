// The headless toolkit behaves as the Windows one in what the program relies
// on: modal results, disabled controls, the progress clamp and the end request,
// here on the program's own two windows.
#include <gtest/gtest.h>

#include "headless/ui_headless.h"
#include "layouts.h"

using namespace ui;

namespace {

class HeadlessToolkit : public ::testing::Test {
protected:
    void SetUp() override { headless::reset(); }
    void TearDown() override { headless::reset(); }
};

// Answers every modal form by clicking the named button.
void answer_by_clicking(const char* button) {
    headless::set_modal_answer([button](Form* form) {
        headless::click(find_control(form, button));
        return 0;
    });
}

TEST_F(HeadlessToolkit, ModalFormClosesWithTheResultOfTheClickedButton) {
    Form* dialog = create_form(LAYOUT_FMMSG, {});
    answer_by_clicking("Button1");
    EXPECT_EQ(show_modal(dialog), 1);
    answer_by_clicking("Button2");
    EXPECT_EQ(show_modal(dialog), 2);
    EXPECT_FALSE(headless::is_visible(dialog));
}

TEST_F(HeadlessToolkit, ModalFormWithoutAnAnswerClosesWith2) {
    Form* dialog = create_form(LAYOUT_FMMSG, {});
    EXPECT_EQ(show_modal(dialog), 2);
}

TEST_F(HeadlessToolkit, ModalFormIsUpAndActivatedWhenTheAnswerIsAsked) {
    int activations = 0;
    Form* dialog = create_form(LAYOUT_FMMSG, {nullptr, [&] { ++activations; }, nullptr, nullptr});
    headless::set_modal_answer([&](Form* form) {
        EXPECT_TRUE(headless::is_visible(form));
        EXPECT_EQ(activations, 1);
        return 1;
    });
    EXPECT_EQ(show_modal(dialog), 1);
}

TEST_F(HeadlessToolkit, ClickOnADisabledButtonDoesNotCloseTheModalForm) {
    Form* dialog = create_form(LAYOUT_FMMSG, {});
    set_enabled(find_control(dialog, "Button1"), false);
    answer_by_clicking("Button1");
    EXPECT_EQ(show_modal(dialog), 0);  // the answer's own value: the click did not count
}

TEST_F(HeadlessToolkit, ShowModalAfterTheEndWasRequestedReturns2WithoutAsking) {
    Form* dialog = create_form(LAYOUT_FMMSG, {});
    bool asked = false;
    headless::set_modal_answer([&](Form*) {
        asked = true;
        return 1;
    });
    request_end();
    EXPECT_EQ(show_modal(dialog), 2);
    EXPECT_FALSE(asked);
}

TEST_F(HeadlessToolkit, ModalFormShowsTheArrowAndRestoresTheCursorAfterwards) {
    Form* dialog = create_form(LAYOUT_FMMSG, {});
    set_cursor(Cursor::Hourglass);
    headless::set_modal_answer([](Form*) {
        EXPECT_EQ(cursor(), Cursor::Default);
        return 1;
    });
    show_modal(dialog);
    EXPECT_EQ(cursor(), Cursor::Hourglass);
}

TEST_F(HeadlessToolkit, ClickOnAClickablePanelFiresOnClickWithThePanel) {
    Control* clicked = nullptr;
    Form* main = create_form(LAYOUT_FMATU, {nullptr, nullptr, [&](Control* c) { clicked = c; }, nullptr});
    headless::click(find_control(main, "pnCOM2"));
    ASSERT_NE(clicked, nullptr);
    EXPECT_EQ(tag(clicked), 2);
}

TEST_F(HeadlessToolkit, ClicksInsideADisabledPanelOrBehindAModalFormAreIgnored) {
    int clicks = 0;
    Form* main = create_form(LAYOUT_FMATU, {nullptr, nullptr, [&](Control*) { ++clicks; }, nullptr});
    Form* dialog = create_form(LAYOUT_FMMSG, {});
    set_enabled(find_control(main, "Panel9"), false);
    headless::click(find_control(main, "sbATU"));
    EXPECT_EQ(clicks, 0);
    set_enabled(find_control(main, "Panel9"), true);
    headless::set_modal_answer([&](Form*) {
        headless::click(find_control(main, "sbATU"));
        return 2;
    });
    show_modal(dialog);
    EXPECT_EQ(clicks, 0);
    headless::click(find_control(main, "sbATU"));
    EXPECT_EQ(clicks, 1);
}

TEST_F(HeadlessToolkit, RunningTheMainFormFiresOnShowThenOnActivate) {
    std::string events;
    Form* main = create_form(LAYOUT_FMATU, {[&] { events += "show "; }, [&] { events += "activate "; }, nullptr, nullptr});
    EXPECT_FALSE(headless::is_visible(main));
    app_run(main);
    EXPECT_EQ(events, "show activate ");
    EXPECT_TRUE(headless::is_visible(main));
}

TEST_F(HeadlessToolkit, ProgressIsClampedBetweenZeroAndItsMaximum) {
    Form* main = create_form(LAYOUT_FMATU, {});
    Control* bar = find_control(main, "pbAND");
    progress_set_max(bar, 10);
    progress_step_by(bar, 4);
    progress_step_by(bar, 20);
    progress_step_by(bar, -progress_max(bar));
    progress_step_by(bar, -1);
    EXPECT_EQ(progress_position(bar), 0);
    EXPECT_EQ(headless::progress_log(bar), (std::vector<int>{4, 10, 0, 0}));
    progress_step_by(bar, 8);
    progress_set_max(bar, 5);
    EXPECT_EQ(progress_position(bar), 5);
}

TEST_F(HeadlessToolkit, MemoKeepsItsLinesBlankOnesIncluded) {
    Form* dialog = create_form(LAYOUT_FMMSG, {});
    Control* memo = find_control(dialog, "Memo1");
    memo_append(memo, "um");
    memo_append(memo, "");
    memo_append(memo, "três");
    EXPECT_EQ(memo_line_count(memo), 3);
    EXPECT_EQ(memo_line(memo, 1), "");
    EXPECT_EQ(text(memo), "um\r\n\r\ntrês");
    memo_clear(memo);
    EXPECT_EQ(memo_line_count(memo), 0);
    set_text(memo, "a\r\nb\n");
    EXPECT_EQ(memo_line_count(memo), 3);
    EXPECT_EQ(memo_line(memo, 1), "b");
    EXPECT_EQ(memo_line(memo, 3), "");  // past the end
}

TEST_F(HeadlessToolkit, ProcessMessagesRunsTheHookAndMessageBoxesAreRecorded) {
    int runs = 0;
    headless::set_message_hook([&] { ++runs; });
    process_messages();
    message_box("Erro");
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(headless::message_boxes(), std::vector<std::string>{"Erro"});
}

}  // namespace
