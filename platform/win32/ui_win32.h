// What the Win32 toolkit files share: the form and control records and the
// application-wide state (Windows-specific).
#pragma once
// ui.h comes before <windows.h>: the COLOR_BTNFACE macro of the latter would
// hide the toolkit's own constant.
#include "../ui.h"
#ifndef UNICODE
#define UNICODE  // the UTF-16 forms of the system's names (IDC_WAIT, PROGRESS_CLASS...)
#endif
#include <windows.h>
#include <commctrl.h>
// From here on COLOR_BTNFACE is the toolkit's; the system's colour index is:
constexpr int SYSTEM_BTNFACE = COLOR_BTNFACE;
#undef COLOR_BTNFACE

#include <memory>
#include <string>
#include <vector>

namespace ui {

struct Control {
    const ControlSpec* spec;
    Form* form;
    Control* parent;  // the containing panel, or nullptr
    HWND hwnd = nullptr;
    std::string text;
    Color color;
    HBRUSH brush = nullptr;          // of an explicit colour; system colours use theirs
    std::vector<std::string> lines;  // memos
    bool lines_posted = false;       // memos: WM_SHOW_LINES is on its way
    int max = 0, position = 0;       // progress bars
    bool pressed = false;            // panels: the left button went down on it
};

struct Form {
    FormSpec spec;
    FormHandlers handlers;
    HWND hwnd = nullptr;
    std::vector<std::unique_ptr<Control>> controls;
    std::string caption;
    int tag = 0;
    bool activated = false;  // a main form fires on_activate only the first time
    int closed_with = 0;     // while modal: the result it closes with, 0 while up
};

namespace win32 {

// Window messages of our own.
constexpr UINT WM_FIRST_ACTIVATION = WM_APP + 1;  // fires a main form's on_activate
constexpr UINT WM_FORWARD_ACTIVATION = WM_APP + 2;  // to the application window: activate the front form
constexpr UINT WM_SHOW_LINES = WM_APP + 3;  // to a form: its memo (lp) shows its lines

struct App {
    HWND window = nullptr;  // owns the main form; its text is the task-bar title
    std::string title;
    Form* main = nullptr;   // the first form created
    Form* modal = nullptr;  // the form inside show_modal, if any
    std::vector<std::unique_ptr<Form>> forms;
    bool end = false;
    Cursor cursor = Cursor::Default;
    int dpi = 96;
    Control* taskbar_bar = nullptr;  // the bar the task-bar button shows, unless Off
    TaskbarState taskbar_state = TaskbarState::Off;
};
App& app();

int scale(int pixels);  // layout pixels to device pixels at the screen's DPI

// Application (ui_win32_app.cpp).
void register_class(const wchar_t* name, WNDPROC procedure, HBRUSH background);
bool set_cursor_shape(HWND under, UINT hit);  // WM_SETCURSOR of our windows
void dispatch(MSG& msg);  // one message of any of our loops

// Forms (ui_win32_form.cpp).
void register_form_class();
Form* form_of(HWND hwnd);  // nullptr for windows that are not our forms
bool modal_key(Form* modal, const MSG& msg);  // Enter and Esc: presses its button
void fire_click(Control* control);  // a click on a button or a CLICKABLE panel arrived

// Controls (ui_win32_controls.cpp, ui_win32_panel.cpp).
constexpr wchar_t PANEL_CLASS[] = L"PatuPanel";
void register_panel_class();
void create_control(Form* form, Control* control);
Control* control_of(HWND hwnd);  // nullptr for windows that are not our controls
void fit(Control* control);      // places it in its parent, sized to its text if need be
HFONT font_of(Control* control);
COLORREF system_color(Color color);         // COLOR_BTNFACE and COLOR_TEXT resolved
HBRUSH background_brush(Control* control);  // COLOR_PARENT resolved
LRESULT control_color(HDC dc, HWND hwnd);   // WM_CTLCOLOR* of a form
bool takes_input(HWND hwnd);  // it and every window around it are enabled

// Contents (ui_win32_content.cpp).
void show_lines(Control* memo);  // WM_SHOW_LINES

// The task-bar button (ui_win32_taskbar.cpp).
void taskbar_init();  // in app_init, once the application window exists
// A message to the application window about its button: true when it was one.
bool taskbar_message(UINT msg, WPARAM wp);
void taskbar_follow(Control* bar);  // the bar's position or maximum changed

}  // namespace win32
}  // namespace ui
