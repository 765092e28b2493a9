// The application's task-bar button: a bar's progress on it through
// ITaskbarList3 (Windows 7 on), and the call of an outcome, the system's sound
// and a flash while the program is in the background (Windows-specific).
//
// The shell can show progress on a button only once it has made the button,
// and says so with the registered message "TaskbarButtonCreated" (again after
// Explorer restarts); the interface is made then. Where it cannot be made (a
// shell without it, Wine), the button shows no progress and nothing else
// changes.
#include "ui_win32.h"  // first: see there

#include <shobjidl.h>

namespace ui {
namespace win32 {
namespace {

UINT button_created = 0;            // the registered message's number
ITaskbarList3* taskbar = nullptr;   // once the shell made the button and offers it
bool flashing = false;

// The ids come from the headers' __uuidof: the uuid library would link every
// id of the shell's interfaces, some 36 KB.
ITaskbarList3* make_taskbar() {
    // COM on this thread, apartment-threaded as a GUI thread is; a call after
    // a failed one only adds a count, never undone.
    ITaskbarList3* list = nullptr;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) ||
        FAILED(CoCreateInstance(__uuidof(TaskbarList), nullptr, CLSCTX_INPROC_SERVER, __uuidof(ITaskbarList3),
                                reinterpret_cast<void**>(&list))))
        return nullptr;
    if (FAILED(list->HrInit())) {
        list->Release();
        return nullptr;
    }
    return list;
}

TBPFLAG flag_of(TaskbarState state) {
    switch (state) {
    case TaskbarState::Normal: return TBPF_NORMAL;
    case TaskbarState::Error: return TBPF_ERROR;
    default: return TBPF_NOPROGRESS;
    }
}

void show_value() {
    const App& a = app();
    if (taskbar && a.taskbar_bar && a.taskbar_state != TaskbarState::Off)
        taskbar->SetProgressValue(a.window, a.taskbar_bar->position, a.taskbar_bar->max);
}

// The state first: a value set in "no progress" would switch it to normal.
void show_state_and_value() {
    if (!taskbar) return;
    taskbar->SetProgressState(app().window, flag_of(app().taskbar_state));
    show_value();
}

bool in_foreground() {
    DWORD process = 0;
    HWND front = GetForegroundWindow();
    return front && GetWindowThreadProcessId(front, &process) && process == GetCurrentProcessId();
}

void flash(DWORD flags) {
    FLASHWINFO info{sizeof info, app().window, flags, 0, 0};
    FlashWindowEx(&info);
}

}  // namespace

void taskbar_init() {
    button_created = RegisterWindowMessageW(L"TaskbarButtonCreated");
    // Run as administrator, the program would otherwise never hear of its
    // button from the shell, which runs with less privilege.
    if (button_created) ChangeWindowMessageFilterEx(app().window, button_created, MSGFLT_ALLOW, nullptr);
}

bool taskbar_message(UINT msg, WPARAM wp) {
    if (msg == WM_ACTIVATEAPP && wp && flashing) {
        // Back in the foreground, on whichever of its windows: the call is answered.
        flash(FLASHW_STOP);
        flashing = false;
    }
    if (msg != button_created || !button_created) return false;
    if (!taskbar) taskbar = make_taskbar();
    show_state_and_value();
    return true;
}

void taskbar_follow(Control* bar) {
    if (bar == app().taskbar_bar) show_value();
}

}  // namespace win32

using namespace win32;

void taskbar_progress(Control* bar, TaskbarState state) {
    app().taskbar_bar = bar;
    app().taskbar_state = state;
    show_state_and_value();
}

void alert(Alert kind) {
    MessageBeep(kind == Alert::Information ? MB_ICONINFORMATION : MB_ICONERROR);
    if (in_foreground()) return;
    flash(FLASHW_ALL | FLASHW_TIMERNOFG);
    flashing = true;
}

}  // namespace ui
