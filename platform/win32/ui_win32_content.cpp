// What controls show: texts, memo lines and progress (Windows-specific).
#include <algorithm>

#include "../ui_content.h"
#include "ui_win32.h"
#include "utf.h"

namespace ui {
namespace win32 {
namespace {

// A memo's window text: its lines joined as the edit control keeps them.
void show_lines(Control* memo) {
    memo->text = content::join_lines(memo->lines);
    SetWindowTextW(memo->hwnd, plat::widen(memo->text).c_str());
}

void show_position(Control* bar) { SendMessageW(bar->hwnd, PBM_SETPOS, bar->position, 0); }

}  // namespace
}  // namespace win32

using namespace win32;

void set_text(Control* control, const std::string& text) {
    if (control->spec->kind == Kind::Memo) {
        control->lines = content::split_lines(text);
        show_lines(control);
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
    show_lines(memo);
}

void memo_append(Control* memo, const std::string& line) {
    memo->lines.push_back(line);
    show_lines(memo);
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
