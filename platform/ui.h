// The windowing toolkit, reduced to what the two forms use. ui_win32*.cpp
// builds real Win32 controls; ui_headless.cpp records state for native tests.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace ui {

// A colour in the platform's form: red in the low byte (0x00BBGGRR).
using Color = uint32_t;
constexpr Color rgb(uint8_t r, uint8_t g, uint8_t b) { return r | (g << 8) | (b << 16); }
constexpr Color COLOR_BTNFACE = 0xFF000000;  // the system's button-face colour
constexpr Color COLOR_PARENT = 0xFE000000;   // transparent: shows the parent's colour
constexpr Color COLOR_TEXT = 0xFD000000;     // the system's window-text colour

enum class Kind { Panel, Label, Memo, Button, ProgressBar };

enum Flag : uint32_t {
    BOLD = 1u << 0,
    ITALIC = 1u << 1,
    WORD_WRAP = 1u << 2,     // labels, memos: wrap inside the given width
    HIDDEN = 1u << 3,        // never shown
    BORDER = 1u << 4,        // panels: single flat border
    VSCROLL = 1u << 5,       // memos: vertical scroll bar
    NO_TAB_STOP = 1u << 6,   // skipped by the Tab key
    NO_FOCUS = 1u << 7,      // buttons: never takes the keyboard focus
    HAND_CURSOR = 1u << 8,   // panels: the hand pointer over it
    DISABLED = 1u << 9,      // takes no input, nor do the controls inside it
    CLICKABLE = 1u << 10,    // panels: a click fires the form's on_click
    ALIGN_BOTTOM = 1u << 11, // docked to the parent's bottom edge, full width
    FILL_PARENT = 1u << 12,  // fills the parent's client area
};

struct ControlSpec {
    const char* name;
    Kind kind;
    const char* parent;  // name of the containing panel; nullptr: the form itself
    int left, top, width, height;  // width/height 0: sized to the text (labels)
    const char* text;              // caption or initial content (UTF-8)
    Color color;                   // background
    Color font_color;
    int font_height;               // character height in pixels; 0: the form's
    uint32_t flags;
    int tag;                       // the control's integer tag
    int modal_result;              // buttons of a modal form: closes it with this result
};

struct FormSpec {
    const char* name;
    const char* caption;
    int client_width, client_height;
    bool dialog;            // fixed dialog border, no title-bar buttons
    const char* font_face;  // "Arial"
    int font_height;
    const ControlSpec* controls;
    int control_count;
};

struct Form;     // owned by the toolkit, lives until the program ends
struct Control;  // owned by its form

struct FormHandlers {
    std::function<void()> on_show;      // about to be shown
    std::function<void()> on_activate;  // became the active window
    std::function<void(Control*)> on_click;  // a CLICKABLE panel or a button without modal_result
    std::function<void()> on_close;     // the close box was used
};

// Application.
void app_init();
void app_set_title(const std::string& title);
Form* create_form(const FormSpec& spec, FormHandlers handlers);  // created hidden
void app_run(Form* main_form);   // shows the main form; returns when the end was asked
void process_messages();         // lets the event loop process pending messages once
void request_end();              // takes effect when control returns to the event loop
bool end_requested();
enum class Cursor { Default, Hourglass };
void set_cursor(Cursor cursor);  // application-wide
Cursor cursor();
void message_box(const std::string& text);  // plain, modal, OK only

// The program's task-bar button (Windows 7 on; where the shell offers no
// progress on it, nothing changes). Off shows no progress; otherwise the
// button shows `bar`'s position against its maximum, from now on step for
// step, in the normal (green) or the error (red) state.
enum class TaskbarState { Off, Normal, Error };
void taskbar_progress(Control* bar, TaskbarState state);
// Calls the user back to an outcome that is coming up: the system's sound for
// its kind, once, and, while the program is not in the foreground, a flash of
// its task-bar button until the program is brought back.
enum class Alert { Information, Error };
void alert(Alert kind);

// Forms.
Control* find_control(Form* form, const char* name);
void set_caption(Form* form, const std::string& caption);
std::string caption(Form* form);
void set_form_tag(Form* form, int tag);
int form_tag(Form* form);
void clear_focus(Form* form);  // no control keeps the input focus
// Shows the form modally, runs its own loop, and returns the result it closed
// with: a button's modal_result, or 2 when closed any other way. Returns 2 at
// once when the end of the program was already requested.
int show_modal(Form* form);

// Controls.
void set_text(Control* control, const std::string& text);
std::string text(Control* control);
void set_color(Control* control, Color color);
Color color(Control* control);
int tag(Control* control);
const char* name(Control* control);
void set_enabled(Control* control, bool enabled);
bool enabled(Control* control);
void memo_clear(Control* memo);
void memo_append(Control* memo, const std::string& line);
int memo_line_count(Control* memo);
std::string memo_line(Control* memo, int index);
void progress_set_max(Control* bar, int max);
int progress_max(Control* bar);
void progress_step_by(Control* bar, int delta);  // clamped to 0..max
int progress_position(Control* bar);

}  // namespace ui
