// What native tests see of the headless toolkit, and how they act on it.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "../ui.h"

namespace ui::headless {

Form* find_form(const char* name);
bool is_visible(Form* form);
void activate(Form* form);  // the form becomes the active window: on_activate
void click(Control* control);   // as a user's click: on_click, or closes a modal form
void close(Form* form);         // the title-bar close box

// Answers every modal form: called while the form is up (its on_activate has
// run); returns the result it closes with. Without an answer: 2.
void set_modal_answer(std::function<int(Form*)> answer);
// Called on every process_messages(), to act "while the event loop runs".
void set_message_hook(std::function<void()> hook);
std::vector<std::string>& message_boxes();  // texts of message_box calls
std::vector<int>& progress_log(Control* bar);  // every position the bar took
void reset();  // forgets every form and hook; before each test

}  // namespace ui::headless
