// What controls show: texts, memo lines and progress (Windows-specific).
#include <algorithm>

#include "../ui_content.h"
#include "ui_win32.h"
#include "utf.h"

namespace ui {
namespace win32 {
namespace {

// A memo's lines reach its edit control once the handler that changed them
// has returned, in one new text: a visible edit control redraws its scroll
// bar a few times for every new text, some 5 ms a time under Wine, and the
// package pass, which adds its lines one at a time, would spend most of a
// second there. The message comes before the next paint, so nothing shows
// the lines any later.
void show_lines_soon(Control* memo) {
    memo->text = content::join_lines(memo->lines);
    if (memo->lines_posted) return;
    memo->lines_posted = PostMessageW(memo->form->hwnd, WM_SHOW_LINES, 0, reinterpret_cast<LPARAM>(memo)) != FALSE;
    if (!memo->lines_posted) show_lines(memo);
}

// The bar and, when it is the one shown there, the task-bar button.
void show_position(Control* bar) {
    SendMessageW(bar->hwnd, PBM_SETPOS, bar->position, 0);
    taskbar_follow(bar);
}

}  // namespace

void show_lines(Control* memo) {
    memo->lines_posted = false;
    SetWindowTextW(memo->hwnd, plat::widen(memo->text).c_str());
}

}  // namespace win32

using namespace win32;

void set_text(Control* control, const std::string& text) {
    if (control->spec->kind == Kind::Memo) {
        control->lines = content::split_lines(text);
        show_lines_soon(control);
        return;
    }
    control->text = text;
    SetWindowTextW(control->hwnd, plat::widen(text).c_str());
    if (control->spec->kind == Kind::Panel) InvalidateRect(control->hwnd, nullptr, TRUE);
    if (control->spec->kind == Kind::Label) fit(control);  // a label is as wide as its text
}

std::string text(Control* control) { return control->text; }

void memo_clear(Control* memo) {
    memo->lines.clear();
    show_lines_soon(memo);
}

void memo_append(Control* memo, const std::string& line) {
    memo->lines.push_back(line);
    show_lines_soon(memo);
}

int memo_line_count(Control* memo) { return static_cast<int>(memo->lines.size()); }

std::string memo_line(Control* memo, int index) { return content::line_at(memo->lines, index); }

void progress_set_max(Control* bar, int max) {
    bar->max = std::max(max, 0);
    bar->position = std::min(bar->position, bar->max);
    SendMessageW(bar->hwnd, PBM_SETRANGE32, 0, bar->max);
    show_position(bar);
}

int progress_max(Control* bar) { return bar->max; }

void progress_step_by(Control* bar, int delta) {
    bar->position = content::stepped(bar->position, delta, bar->max);
    show_position(bar);
}

int progress_position(Control* bar) { return bar->position; }

}  // namespace ui
