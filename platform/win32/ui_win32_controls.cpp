// Controls: creation from the layout, placement at the screen's DPI, fonts and
// colours (Windows-specific).
#include <map>
#include <tuple>

#include "ui_win32.h"
#include "utf.h"

namespace ui {
namespace win32 {

namespace {

const wchar_t CONTROL_PROPERTY[] = L"PatuControl";
constexpr int FIRST_CONTROL_ID = 100;  // + the control's index in its layout

// The control whose colour shows through a COLOR_PARENT one; nullptr: the form.
Control* colour_source(Control* control) {
    while (control && control->color == COLOR_PARENT) control = control->parent;
    return control;
}

// A NO_FOCUS button hands the focus straight back to its form. It does so as
// it receives it, before a click has captured the mouse, so the click stands.
LRESULT CALLBACK no_focus_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    if (msg == WM_SETFOCUS) {
        SetFocus(GetAncestor(hwnd, GA_ROOT));
        return 0;
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

SIZE text_extent(Control* control) {
    HDC dc = GetDC(control->hwnd);
    HGDIOBJ old = SelectObject(dc, font_of(control));
    std::wstring text = plat::widen(control->text.empty() ? " " : control->text);
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), -1, &r, DT_CALCRECT | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(control->hwnd, dc);
    return {r.right, r.bottom};
}

// The control's rectangle in device pixels inside its parent's client area; a
// width or height of 0 takes the text's.
RECT placement(Control* control) {
    const ControlSpec& spec = *control->spec;
    RECT area;
    GetClientRect(control->parent ? control->parent->hwnd : control->form->hwnd, &area);
    if (spec.flags & FILL_PARENT) return area;
    if (spec.flags & ALIGN_BOTTOM) return {0, area.bottom - scale(spec.height), area.right, area.bottom};
    RECT r{scale(spec.left), scale(spec.top), 0, 0};
    SIZE text = spec.width && spec.height ? SIZE{0, 0} : text_extent(control);
    r.right = r.left + (spec.width ? scale(spec.width) : text.cx);
    r.bottom = r.top + (spec.height ? scale(spec.height) : text.cy);
    return r;
}

DWORD kind_style(const ControlSpec& spec, const wchar_t** window_class) {
    DWORD tab_stop = spec.flags & (NO_TAB_STOP | NO_FOCUS) ? 0 : WS_TABSTOP;
    switch (spec.kind) {
    case Kind::Panel:
        *window_class = PANEL_CLASS;
        return WS_CLIPCHILDREN | (spec.flags & BORDER ? WS_BORDER : 0);
    case Kind::Label:
        *window_class = L"STATIC";
        return SS_NOPREFIX | (spec.flags & WORD_WRAP ? SS_LEFT : SS_LEFTNOWORDWRAP);
    case Kind::Memo:
        *window_class = L"EDIT";
        // Each line stays one line: without WORD_WRAP a long one runs past the edge.
        return ES_MULTILINE | ES_READONLY | (spec.flags & WORD_WRAP ? 0 : ES_AUTOHSCROLL) |
               (spec.flags & VSCROLL ? WS_VSCROLL : 0) | tab_stop;
    case Kind::Button:
        *window_class = L"BUTTON";
        return BS_PUSHBUTTON | tab_stop;
    case Kind::ProgressBar:
        *window_class = PROGRESS_CLASS;
        return PBS_SMOOTH;
    }
    return 0;
}

}  // namespace

COLORREF system_color(Color color) {
    if (color == COLOR_BTNFACE) return GetSysColor(SYSTEM_BTNFACE);
    if (color == COLOR_TEXT) return GetSysColor(COLOR_WINDOWTEXT);
    return color;
}

Control* control_of(HWND hwnd) {
    return hwnd ? static_cast<Control*>(GetPropW(hwnd, CONTROL_PROPERTY)) : nullptr;
}

HFONT font_of(Control* control) {
    static std::map<std::tuple<std::string, int, bool, bool>, HFONT> fonts;
    const FormSpec& form = control->form->spec;
    int height = control->spec->font_height ? control->spec->font_height : form.font_height;
    bool bold = control->spec->flags & BOLD, italic = control->spec->flags & ITALIC;
    HFONT& font = fonts[{form.font_face, height, bold, italic}];
    if (!font)
        font = CreateFontW(-scale(height), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic, FALSE, FALSE,
                           ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           DEFAULT_PITCH | FF_SWISS, plat::widen(form.font_face).c_str());
    return font;
}

void create_control(Form* form, Control* control) {
    const ControlSpec& spec = *control->spec;
    control->text = spec.text ? spec.text : "";
    const wchar_t* window_class = nullptr;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | kind_style(spec, &window_class) |
                  (spec.flags & HIDDEN ? 0 : WS_VISIBLE) | (spec.flags & DISABLED ? WS_DISABLED : 0);
    int id = FIRST_CONTROL_ID + static_cast<int>(control->spec - form->spec.controls);
    HWND parent = control->parent ? control->parent->hwnd : form->hwnd;
    control->hwnd = CreateWindowExW(spec.kind == Kind::Panel ? WS_EX_CONTROLPARENT : 0, window_class,
                                    plat::widen(control->text).c_str(), style, 0, 0, 0, 0, parent,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                    GetModuleHandleW(nullptr), nullptr);
    SetPropW(control->hwnd, CONTROL_PROPERTY, control);
    SendMessageW(control->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_of(control)), FALSE);
    set_color(control, spec.color);
    if (spec.kind == Kind::Button && (spec.flags & NO_FOCUS)) SetWindowSubclass(control->hwnd, no_focus_proc, 0, 0);
    if (spec.kind == Kind::Memo) set_text(control, control->text);
    fit(control);
}

void fit(Control* control) {
    RECT r = placement(control);
    SetWindowPos(control->hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

HBRUSH background_brush(Control* control) {
    Control* source = colour_source(control);
    return source && source->brush ? source->brush : GetSysColorBrush(SYSTEM_BTNFACE);
}

LRESULT control_color(HDC dc, HWND hwnd) {
    Control* control = control_of(hwnd);
    if (!control) return reinterpret_cast<LRESULT>(GetSysColorBrush(SYSTEM_BTNFACE));
    Control* source = colour_source(control);
    SetBkColor(dc, system_color(source ? source->color : COLOR_BTNFACE));
    SetTextColor(dc, system_color(control->spec->font_color));
    return reinterpret_cast<LRESULT>(background_brush(control));
}

bool takes_input(HWND hwnd) {
    for (HWND w = hwnd; w; w = GetWindowLongW(w, GWL_STYLE) & WS_CHILD ? GetParent(w) : nullptr)
        if (!IsWindowEnabled(w)) return false;
    return true;
}

}  // namespace win32

using namespace win32;

void set_color(Control* control, Color color) {
    control->color = color;
    if (control->brush) DeleteObject(control->brush);
    control->brush = color == COLOR_BTNFACE || color == COLOR_PARENT ? nullptr : CreateSolidBrush(system_color(color));
    // Repainted at once, with whatever shows this colour through it.
    RedrawWindow(control->hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

Color color(Control* control) { return control->color; }
int tag(Control* control) { return control->spec->tag; }
const char* name(Control* control) { return control->spec->name; }
void set_enabled(Control* control, bool enabled) { EnableWindow(control->hwnd, enabled); }
bool enabled(Control* control) { return IsWindowEnabled(control->hwnd); }

}  // namespace ui
