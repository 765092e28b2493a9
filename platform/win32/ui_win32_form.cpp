// Forms: the top-level windows, their clicks and the modal loop (Windows-specific).
#include <algorithm>

#include "ui_win32.h"
#include "utf.h"

namespace ui {
namespace win32 {

namespace {

const wchar_t FORM_CLASS[] = L"PatuForm";
const wchar_t FORM_PROPERTY[] = L"PatuForm";

bool is_modal_button(Control* control) {
    return control && control->spec->kind == Kind::Button && control->spec->modal_result != 0 &&
           IsWindowEnabled(control->hwnd);
}

// The first enabled button that closes the form, with this result if not 0.
Control* first_button(Form* form, int result) {
    for (auto& control : form->controls)
        if (is_modal_button(control.get()) && (!result || control->spec->modal_result == result))
            return control.get();
    return nullptr;
}

// The button Enter presses: the focused one, else the first in the tab order.
Control* default_button(Form* form) {
    Control* focused = control_of(GetFocus());
    return is_modal_button(focused) && focused->form == form ? focused : first_button(form, 0);
}

// Draws the button Enter presses as the default one.
void mark_default_button(Form* form) {
    Control* chosen = default_button(form);
    for (auto& control : form->controls)
        if (control->spec->kind == Kind::Button)
            SendMessageW(control->hwnd, BM_SETSTYLE, control.get() == chosen ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void close_box(Form* form) {
    if (form == app().modal)
        form->closed_with = 2;  // any way of closing but a button counts as 2
    else if (form->handlers.on_close)
        form->handlers.on_close();
}

LRESULT CALLBACK form_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE)
        SetPropW(hwnd, FORM_PROPERTY, reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    Form* form = form_of(hwnd);
    if (!form) return DefWindowProcW(hwnd, msg, wp, lp);
    switch (msg) {
    case WM_COMMAND:
        if (HIWORD(wp) == BN_CLICKED)
            if (Control* control = control_of(reinterpret_cast<HWND>(lp))) fire_click(control);
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
        return control_color(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    case WM_SETCURSOR:
        if (set_cursor_shape(reinterpret_cast<HWND>(wp), LOWORD(lp))) return TRUE;
        break;
    case WM_NEXTDLGCTL: {  // Tab inside a modal form, from IsDialogMessage
        HWND next = LOWORD(lp) ? reinterpret_cast<HWND>(wp) : GetNextDlgTabItem(hwnd, GetFocus(), wp != 0);
        if (next) SetFocus(next);
        mark_default_button(form);
        return 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(wp) == WA_INACTIVE) break;
        // While a modal form is up, the activation is its own.
        if (app().modal && app().modal != form) PostMessageW(app().window, WM_FORWARD_ACTIVATION, 0, 0);
        // A main form's on_activate runs once, after its first activation has
        // completed; a modal form's runs in show_modal.
        if (!form->spec.dialog && !form->activated) {
            form->activated = true;
            PostMessageW(hwnd, WM_FIRST_ACTIVATION, 0, 0);
        }
        break;
    case WM_FIRST_ACTIVATION:
        if (form->handlers.on_activate) form->handlers.on_activate();
        return 0;
    case WM_SHOW_LINES:
        show_lines(reinterpret_cast<Control*>(lp));
        return 0;
    case WM_SYSCOMMAND:
        if ((wp & 0xFFF0) == SC_MINIMIZE && form == app().main) {
            ShowWindow(app().window, SW_MINIMIZE);  // hides the forms it owns
            return 0;
        }
        break;
    case WM_CLOSE:  // the window is destroyed only when app_run ends
        close_box(form);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

Form* form_of(HWND hwnd) { return static_cast<Form*>(GetPropW(hwnd, FORM_PROPERTY)); }

void register_form_class() { register_class(FORM_CLASS, form_proc, GetSysColorBrush(SYSTEM_BTNFACE)); }

bool modal_key(Form* modal, const MSG& msg) {
    if (msg.message != WM_KEYDOWN || (msg.wParam != VK_RETURN && msg.wParam != VK_ESCAPE)) return false;
    if (msg.hwnd != modal->hwnd && !IsChild(modal->hwnd, msg.hwnd)) return false;
    Control* button = msg.wParam == VK_RETURN ? default_button(modal) : first_button(modal, 2);
    if (button) fire_click(button);
    return true;
}

void fire_click(Control* control) {
    if (!takes_input(control->hwnd)) return;
    Form* form = control->form;
    if (control->spec->modal_result != 0) {
        if (form == app().modal) form->closed_with = control->spec->modal_result;
    } else if (form->handlers.on_click) {
        form->handlers.on_click(control);
    }
}

}  // namespace win32

using namespace win32;

Form* create_form(const FormSpec& spec, FormHandlers handlers) {
    app().forms.push_back(std::make_unique<Form>());
    Form* form = app().forms.back().get();
    form->spec = spec;
    form->handlers = std::move(handlers);
    form->caption = spec.caption ? spec.caption : "";

    // The first main form is the program's main window: the application
    // window owns it, and it owns the dialogs.
    DWORD style = WS_CAPTION | WS_CLIPCHILDREN;
    DWORD ex_style = WS_EX_CONTROLPARENT;
    HWND owner = app().window;
    if (spec.dialog) {
        style |= WS_POPUP;
        ex_style |= WS_EX_DLGMODALFRAME;
        if (app().main) owner = app().main->hwnd;
    } else {
        style |= WS_OVERLAPPED | WS_SYSMENU | WS_MINIMIZEBOX;
        if (!app().main) app().main = form;
    }
    RECT frame{0, 0, scale(spec.client_width), scale(spec.client_height)};
    AdjustWindowRectEx(&frame, style, FALSE, ex_style);
    int width = frame.right - frame.left, height = frame.bottom - frame.top;
    // At the centre of the screen; on a screen too small for it, the title
    // bar stays inside the work area, where the window can still be moved.
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int left = std::max<int>(work.left, (GetSystemMetrics(SM_CXSCREEN) - width) / 2);
    const int top = std::max<int>(work.top, (GetSystemMetrics(SM_CYSCREEN) - height) / 2);
    form->hwnd = CreateWindowExW(ex_style, FORM_CLASS, plat::widen(form->caption).c_str(), style, left, top,
                                 width, height, owner, nullptr, GetModuleHandleW(nullptr), form);

    for (int i = 0; i < spec.control_count; ++i) {
        auto control = std::make_unique<Control>();
        control->spec = &spec.controls[i];
        control->form = form;
        control->parent = control->spec->parent ? find_control(form, control->spec->parent) : nullptr;
        form->controls.push_back(std::move(control));
        create_control(form, form->controls.back().get());
    }
    return form;
}

int show_modal(Form* form) {
    App& a = app();
    if (a.end) return 2;
    Cursor before = a.cursor;
    set_cursor(Cursor::Default);  // the normal arrow while a modal form is up
    HWND owner = GetWindow(form->hwnd, GW_OWNER);
    Form* outer = a.modal;
    a.modal = form;
    form->closed_with = 0;
    EnableWindow(owner, FALSE);
    ShowWindow(form->hwnd, SW_SHOW);
    if (form->handlers.on_activate) form->handlers.on_activate();
    Control* first = first_button(form, 0);
    SetFocus(first ? first->hwnd : form->hwnd);
    mark_default_button(form);

    MSG msg;
    while (!form->closed_with && !a.end) {
        if (GetMessageW(&msg, nullptr, 0, 0) <= 0) {
            a.end = true;
            break;
        }
        dispatch(msg);
    }
    EnableWindow(owner, TRUE);  // before hiding, so that the owner becomes active again
    ShowWindow(form->hwnd, SW_HIDE);
    a.modal = outer;
    set_cursor(before);
    return form->closed_with ? form->closed_with : 2;
}

Control* find_control(Form* form, const char* name) {
    for (auto& control : form->controls)
        if (std::string(control->spec->name) == name) return control.get();
    return nullptr;
}

void set_caption(Form* form, const std::string& caption) {
    form->caption = caption;
    SetWindowTextW(form->hwnd, plat::widen(caption).c_str());
}

std::string caption(Form* form) { return form->caption; }
void set_form_tag(Form* form, int tag) { form->tag = tag; }
int form_tag(Form* form) { return form->tag; }

void clear_focus(Form* form) {
    if (GetActiveWindow() == form->hwnd) SetFocus(form->hwnd);
}

}  // namespace ui
