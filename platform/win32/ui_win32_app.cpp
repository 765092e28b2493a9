// The application: its task-bar window, the event loops, the application-wide
// cursor and the plain message box (Windows-specific).
//
// The task bar shows the program's title, which differs from the main form's
// caption. A window's task-bar entry always reads the window's own text, so the
// entry belongs to an application window of ours: unowned, shown but of no
// size, titled by app_set_title. It owns the main form, which therefore has no
// entry of its own; it minimises on the main form's behalf and passes its
// activation on to the main form, or to the modal form while one is up.
#include "ui_win32.h"
#include "utf.h"

namespace ui {
namespace win32 {

namespace {

const wchar_t APP_CLASS[] = L"PatuApplication";
constexpr WORD PROGRAM_ICON_ID = 1;  // the ICON in resources/pATU.rc

// The form that should be active: the modal one while it is up.
Form* front_form() { return app().modal ? app().modal : app().main; }

// Another window of ours became active: the front form takes over, unless the
// program has lost the activation meanwhile.
void forward_activation() {
    Form* front = front_form();
    HWND active = GetActiveWindow();
    if (front && active && active != front->hwnd && IsWindowVisible(front->hwnd)) SetActiveWindow(front->hwnd);
}

LRESULT CALLBACK app_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (taskbar_message(msg, wp)) return 0;
    switch (msg) {
    case WM_ACTIVATE:
        // Chosen in the task bar or with Alt+Tab: the form takes over, once
        // this activation has finished.
        if (LOWORD(wp) != WA_INACTIVE && !HIWORD(wp)) PostMessageW(hwnd, WM_FORWARD_ACTIVATION, 0, 0);
        return 0;
    case WM_FORWARD_ACTIVATION:
        forward_activation();
        return 0;
    case WM_CLOSE:  // "Close window" in the task bar: as the main form's close box
        if (app().main && IsWindowEnabled(app().main->hwnd)) SendMessageW(app().main->hwnd, WM_CLOSE, 0, 0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// Sets the pointer at once where WM_SETCURSOR would, if it is over one of ours.
void refresh_cursor() {
    POINT at;
    if (!GetCursorPos(&at)) return;
    HWND under = WindowFromPoint(at);
    if (!under || GetWindowThreadProcessId(under, nullptr) != GetCurrentThreadId()) return;
    LRESULT hit = SendMessageW(under, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y));
    SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under), MAKELPARAM(hit, WM_MOUSEMOVE));
}

// The program's icon (resource id 1) at one of the system's icon sizes; the
// system's application icon when the executable carries none.
HICON program_icon(int width_metric, int height_metric) {
    HANDLE icon = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(PROGRAM_ICON_ID), IMAGE_ICON,
                             GetSystemMetrics(width_metric), GetSystemMetrics(height_metric), LR_DEFAULTCOLOR);
    return icon ? static_cast<HICON>(icon) : LoadIconW(nullptr, IDI_APPLICATION);
}

}  // namespace

App& app() {
    static App state;
    return state;
}

int scale(int pixels) { return MulDiv(pixels, app().dpi, 96); }

void register_class(const wchar_t* name, WNDPROC procedure, HBRUSH background) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hIcon = program_icon(SM_CXICON, SM_CYICON);
    wc.hIconSm = program_icon(SM_CXSMICON, SM_CYSMICON);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    RegisterClassExW(&wc);
}

bool set_cursor_shape(HWND under, UINT hit) {
    const wchar_t* shape = nullptr;
    if (app().cursor == Cursor::Hourglass) {
        shape = IDC_WAIT;
    } else if (hit == HTCLIENT) {
        Control* control = control_of(under);
        if (control && (control->spec->flags & HAND_CURSOR)) shape = IDC_HAND;
    }
    if (!shape) return false;
    SetCursor(LoadCursorW(nullptr, shape));
    return true;
}

void dispatch(MSG& msg) {
    Form* modal = app().modal;
    if (modal && (modal_key(modal, msg) || IsDialogMessageW(modal->hwnd, &msg))) return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

}  // namespace win32

using namespace win32;

void app_init() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    HDC screen = GetDC(nullptr);
    app().dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);

    register_class(APP_CLASS, app_proc, nullptr);
    register_form_class();
    register_panel_class();

    app().window = CreateWindowExW(0, APP_CLASS, L"", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                   GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0,
                                   0, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    taskbar_init();
}

void app_set_title(const std::string& title) {
    app().title = title;
    SetWindowTextW(app().window, plat::widen(title).c_str());
}

void app_run(Form* main_form) {
    if (main_form->handlers.on_show) main_form->handlers.on_show();
    ShowWindow(app().window, SW_SHOWNOACTIVATE);
    ShowWindow(main_form->hwnd, SW_SHOW);
    MSG msg;
    while (!app().end && GetMessageW(&msg, nullptr, 0, 0) > 0) dispatch(msg);
    DestroyWindow(app().window);  // and the forms it owns
}

void process_messages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            app().end = true;
            return;
        }
        dispatch(msg);
    }
}

void request_end() {
    app().end = true;
    PostMessageW(app().window, WM_NULL, 0, 0);  // wakes a loop waiting in GetMessage
}

bool end_requested() { return app().end; }

void set_cursor(Cursor cursor) {
    app().cursor = cursor;
    refresh_cursor();
}

Cursor cursor() { return app().cursor; }

void message_box(const std::string& text) {
    HWND owner = app().main ? app().main->hwnd : app().window;
    MessageBoxW(owner, plat::widen(text).c_str(), plat::widen(app().title).c_str(), MB_OK);
}

}  // namespace ui
