// Panels: a window class of ours that paints its colour and centred caption,
// holds other controls and may be clicked (Windows-specific).
#include "ui_win32.h"
#include <windowsx.h>

#include "utf.h"

namespace ui {
namespace win32 {

namespace {

void paint_caption(Control* panel, HDC dc) {
    if (panel->text.empty()) return;
    RECT r;
    GetClientRect(panel->hwnd, &r);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, system_color(panel->spec->font_color));
    HGDIOBJ old = SelectObject(dc, font_of(panel));
    DrawTextW(dc, plat::widen(panel->text).c_str(), -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
}

LRESULT CALLBACK panel_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Control* panel = control_of(hwnd);
    if (!panel) return DefWindowProcW(hwnd, msg, wp, lp);
    switch (msg) {
    case WM_ERASEBKGND: {
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(reinterpret_cast<HDC>(wp), &r, background_brush(panel));
        return 1;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        paint_caption(panel, dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_PRINTCLIENT:  // drawing into another DC, e.g. for a window capture
        SendMessageW(hwnd, WM_ERASEBKGND, wp, 0);
        paint_caption(panel, reinterpret_cast<HDC>(wp));
        return 0;
    case WM_COMMAND:  // what the controls inside report belongs to the form
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
        return SendMessageW(GetAncestor(hwnd, GA_ROOT), msg, wp, lp);
    case WM_LBUTTONDOWN:  // a click is a press and a release on the panel
        if (panel->spec->flags & CLICKABLE) {
            panel->pressed = true;
            SetCapture(hwnd);
        }
        return 0;
    case WM_LBUTTONUP:
        if (panel->pressed) {
            panel->pressed = false;
            ReleaseCapture();
            RECT r;
            GetClientRect(hwnd, &r);
            if (PtInRect(&r, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)})) fire_click(panel);
        }
        return 0;
    case WM_CAPTURECHANGED:
        panel->pressed = false;
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

void register_panel_class() { register_class(PANEL_CLASS, panel_proc, nullptr); }  // paints its own colour

}  // namespace win32
}  // namespace ui
