// What native tests see of the headless toolkit, and how they act on it.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "../ui.h"

namespace ui::headless {

bool is_visible(Form* form);
// Fires the form's on_activate, as if it became the active window again (the
// Windows toolkit fires it only on a main form's first activation, and on a
// dialog as show_modal brings it up).
void activate(Form* form);
// As a user's click: on_click, or closes the modal form it belongs to with its
// button's result. Does nothing on a disabled control, on a control inside a
// disabled panel, or on another form while a modal form is up.
void click(Control* control);
void close(Form* form);  // the title-bar close box; a modal form closes with 2

// Answers every modal form: called while the form is up (its on_activate has
// run); returns the result it closes with. Without an answer: 2.
void set_modal_answer(std::function<int(Form*)> answer);
// Called on every process_messages(), to act "while the event loop runs".
void set_message_hook(std::function<void()> hook);
std::vector<std::string>& message_boxes();  // texts of message_box calls
// Called while a message box is up, with its text (after it was recorded).
void set_box_hook(std::function<void(const std::string&)> hook);

// What the task-bar button shows: its state and, unless Off, the bar's
// position and maximum (0 and 0 when Off).
struct Taskbar {
    TaskbarState state = TaskbarState::Off;
    int position = 0, max = 0;
    bool operator==(const Taskbar& other) const {
        return state == other.state && position == other.position && max == other.max;
    }
};
Taskbar taskbar();                   // as it is now
std::vector<Taskbar>& taskbar_log();  // what it showed after every request, in order
std::vector<Alert>& alerts();         // every alert, in order
std::vector<int>& progress_log(Control* bar);  // every position the bar took
void reset();  // forgets every form and hook; before each test

}  // namespace ui::headless
