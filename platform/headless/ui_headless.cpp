// The windowing toolkit without windows: every form and control keeps its
// state in memory, and the native tests act on it through ui_headless.h.
//
// There is no real event loop here: app_run fires the main form's on_show and
// on_activate (its first activation) and returns at once; process_messages
// runs the test's hook; show_modal asks the test's modal answer instead of
// waiting for the user.
#include "ui_headless.h"

#include <algorithm>
#include <memory>

#include "../ui_content.h"

namespace ui {

struct Control {
    const ControlSpec* spec;
    Form* form;
    Control* parent;  // the containing panel, or nullptr
    std::string text;
    Color color;
    bool enabled;
    std::vector<std::string> lines;  // memos
    int max = 0, position = 0;       // progress bars
    std::vector<int> log;            // progress bars: every position taken
};

struct Form {
    FormSpec spec;
    FormHandlers handlers;
    std::vector<std::unique_ptr<Control>> controls;
    std::string caption;
    int tag = 0;
    bool visible = false;
    bool modal = false;      // inside show_modal
    int closed_with = 0;     // result of a click on one of its buttons while modal
};

namespace {

struct State {
    std::vector<std::unique_ptr<Form>> forms;
    std::string title;
    bool end = false;
    Cursor cursor = Cursor::Default;
    std::function<int(Form*)> modal_answer;
    std::function<void()> message_hook;
    std::vector<std::string> message_boxes;
    std::function<void(const std::string&)> box_hook;
    Control* taskbar_bar = nullptr;
    TaskbarState taskbar_state = TaskbarState::Off;
    std::vector<headless::Taskbar> taskbar_log;
    std::vector<Alert> alerts;
};

State& state() {
    static State s;
    return s;
}

// A control takes input when it and every panel around it are enabled and no
// modal form other than its own is up.
bool takes_input(Control* control) {
    for (Control* c = control; c; c = c->parent)
        if (!c->enabled) return false;
    for (auto& form : state().forms)
        if (form->modal && form.get() != control->form) return false;
    return true;
}

void fire(const std::function<void()>& handler) {
    if (handler) handler();
}

// The task-bar button shows the bar anew: a request, or a step of its bar.
void show_taskbar(Control* stepped) {
    State& s = state();
    if (stepped && (stepped != s.taskbar_bar || s.taskbar_state == TaskbarState::Off)) return;
    s.taskbar_log.push_back(headless::taskbar());
}

}  // namespace

void app_init() {}
void app_set_title(const std::string& title) { state().title = title; }

Form* create_form(const FormSpec& spec, FormHandlers handlers) {
    auto form = std::make_unique<Form>();
    form->spec = spec;
    form->handlers = std::move(handlers);
    form->caption = spec.caption ? spec.caption : "";
    for (int i = 0; i < spec.control_count; ++i) {
        const ControlSpec& cs = spec.controls[i];
        auto control = std::make_unique<Control>();
        control->spec = &cs;
        control->form = form.get();
        control->parent = cs.parent ? find_control(form.get(), cs.parent) : nullptr;
        control->text = cs.text ? cs.text : "";
        if (cs.kind == Kind::Memo) control->lines = content::split_lines(control->text);
        control->color = cs.color;
        control->enabled = !(cs.flags & DISABLED);
        form->controls.push_back(std::move(control));
    }
    Form* created = form.get();
    state().forms.push_back(std::move(form));
    return created;
}

void app_run(Form* main_form) {
    fire(main_form->handlers.on_show);
    main_form->visible = true;
    headless::activate(main_form);
}

void process_messages() { fire(state().message_hook); }
void request_end() { state().end = true; }
bool end_requested() { return state().end; }
void set_cursor(Cursor cursor) { state().cursor = cursor; }
Cursor cursor() { return state().cursor; }
void message_box(const std::string& text) {
    state().message_boxes.push_back(text);
    if (state().box_hook) state().box_hook(text);
}

void taskbar_progress(Control* bar, TaskbarState taskbar_state) {
    state().taskbar_bar = bar;
    state().taskbar_state = taskbar_state;
    show_taskbar(nullptr);
}

void alert(Alert kind) { state().alerts.push_back(kind); }

Control* find_control(Form* form, const char* name) {
    for (auto& control : form->controls)
        if (std::string(control->spec->name) == name) return control.get();
    return nullptr;
}

void set_caption(Form* form, const std::string& caption) { form->caption = caption; }
std::string caption(Form* form) { return form->caption; }
void set_form_tag(Form* form, int tag) { form->tag = tag; }
int form_tag(Form* form) { return form->tag; }
void clear_focus(Form*) {}

int show_modal(Form* form) {
    if (state().end) return 2;
    Cursor before = state().cursor;
    state().cursor = Cursor::Default;  // the normal arrow while a modal form is up
    form->visible = true;
    form->modal = true;
    form->closed_with = 0;
    fire(form->handlers.on_activate);
    int answer = state().modal_answer ? state().modal_answer(form) : 2;
    int result = form->closed_with ? form->closed_with : answer;
    form->modal = false;
    form->visible = false;
    state().cursor = before;
    return result;
}

void set_text(Control* control, const std::string& text) {
    control->text = text;
    if (control->spec->kind == Kind::Memo) control->lines = content::split_lines(text);
}

std::string text(Control* control) {
    return control->spec->kind == Kind::Memo ? content::join_lines(control->lines) : control->text;
}

void set_color(Control* control, Color color) { control->color = color; }
Color color(Control* control) { return control->color; }
int tag(Control* control) { return control->spec->tag; }
const char* name(Control* control) { return control->spec->name; }
void set_enabled(Control* control, bool enabled) { control->enabled = enabled; }
bool enabled(Control* control) { return control->enabled; }

void memo_clear(Control* memo) { memo->lines.clear(); }
void memo_append(Control* memo, const std::string& line) { memo->lines.push_back(line); }
int memo_line_count(Control* memo) { return static_cast<int>(memo->lines.size()); }

std::string memo_line(Control* memo, int index) { return content::line_at(memo->lines, index); }

void progress_set_max(Control* bar, int max) {
    bar->max = std::max(max, 0);
    if (bar->position > bar->max) {
        bar->position = bar->max;
        bar->log.push_back(bar->position);
    }
    show_taskbar(bar);
}

int progress_max(Control* bar) { return bar->max; }

void progress_step_by(Control* bar, int delta) {
    bar->position = content::stepped(bar->position, delta, bar->max);
    bar->log.push_back(bar->position);
    show_taskbar(bar);
}

int progress_position(Control* bar) { return bar->position; }

namespace headless {

bool is_visible(Form* form) { return form->visible; }

void activate(Form* form) { fire(form->handlers.on_activate); }

void click(Control* control) {
    if (!takes_input(control)) return;
    const ControlSpec& spec = *control->spec;
    if (spec.kind == Kind::Button && spec.modal_result != 0) {
        if (control->form->modal) control->form->closed_with = spec.modal_result;
    } else if (spec.kind == Kind::Button || (spec.kind == Kind::Panel && (spec.flags & CLICKABLE))) {
        if (control->form->handlers.on_click) control->form->handlers.on_click(control);
    }
}

void close(Form* form) {
    if (form->modal) {
        form->closed_with = 2;  // any way of closing but a button counts as 2
        return;
    }
    fire(form->handlers.on_close);
}

void set_modal_answer(std::function<int(Form*)> answer) { state().modal_answer = std::move(answer); }
void set_message_hook(std::function<void()> hook) { state().message_hook = std::move(hook); }
std::vector<std::string>& message_boxes() { return state().message_boxes; }
void set_box_hook(std::function<void(const std::string&)> hook) { state().box_hook = std::move(hook); }

Taskbar taskbar() {
    const State& s = state();
    if (s.taskbar_state == TaskbarState::Off || !s.taskbar_bar) return {};
    return {s.taskbar_state, s.taskbar_bar->position, s.taskbar_bar->max};
}

std::vector<Taskbar>& taskbar_log() { return state().taskbar_log; }
std::vector<Alert>& alerts() { return state().alerts; }
std::vector<int>& progress_log(Control* bar) { return bar->log; }
void reset() { state() = State(); }

}  // namespace headless
}  // namespace ui
