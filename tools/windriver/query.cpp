// Finding, reading and capturing the windows of another program.
#include "query.h"

#include <cstdio>

namespace windriver {

namespace {
constexpr UINT ANSWER_TIMEOUT_MS = 10000;  // a busy program answers between two steps of its work
constexpr DWORD SETTLE_MS = 200;           // for the screen to show what was painted

// Enumeration callbacks are WINAPI (stdcall on 32-bit Windows), which a lambda cannot declare.
BOOL CALLBACK add_visible(HWND hwnd, LPARAM list) {
    if (IsWindowVisible(hwnd)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
    return TRUE;
}

BOOL CALLBACK add_any(HWND hwnd, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
    return TRUE;
}
}  // namespace

std::wstring widen(const std::string& utf8) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string narrow(const std::wstring& wide) {
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n, nullptr, nullptr);
    return utf8;
}

std::vector<HWND> top_windows() {
    std::vector<HWND> all;
    EnumWindows(add_visible, reinterpret_cast<LPARAM>(&all));
    return all;
}

HWND find_top(const std::string& caption) {
    std::wstring wanted = widen(caption);
    for (HWND hwnd : top_windows()) {
        wchar_t text[512];
        if (wanted == std::wstring(text, GetWindowTextW(hwnd, text, 512))) return hwnd;
    }
    return nullptr;
}

std::vector<HWND> descendants(HWND top) {
    std::vector<HWND> all;
    EnumChildWindows(top, add_any, reinterpret_cast<LPARAM>(&all));
    return all;
}

HWND find_control(HWND top, const std::string& which) {
    for (HWND hwnd : descendants(top)) {
        if (which.size() > 1 && which[0] == '#' ? std::to_string(GetDlgCtrlID(hwnd)) == which.substr(1)
                                                : window_text(hwnd) == which)
            return hwnd;
    }
    return nullptr;
}

// WM_GETTEXT is carried across processes; GetWindowText alone would not
// reach the text an edit control keeps for itself.
std::string window_text(HWND hwnd) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, ANSWER_TIMEOUT_MS, &length)) {
        wchar_t internal[512];
        return narrow(std::wstring(internal, InternalGetWindowText(hwnd, internal, 512)));
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                        ANSWER_TIMEOUT_MS, &copied);
    text.resize(copied);
    return narrow(text);
}

std::string class_name(HWND hwnd) {
    wchar_t name[256];
    return narrow(std::wstring(name, GetClassNameW(hwnd, name, 256)));
}

RECT rect_in_client(HWND top, HWND hwnd) {
    RECT r;
    GetWindowRect(hwnd, &r);
    MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c == '\\' || c == '"') out += std::string("\\") + c;
        else out += c;
    }
    return out;
}

std::string describe(HWND top, HWND hwnd) {
    RECT r = rect_in_client(top, hwnd);
    char head[160];
    std::snprintf(head, sizeof head, "id=%d class=%s rect=%ld,%ld,%ld,%ld enabled=%d visible=%d ",
                  GetDlgCtrlID(hwnd), class_name(hwnd).c_str(), r.left, r.top, r.right - r.left,
                  r.bottom - r.top, IsWindowEnabled(hwnd) ? 1 : 0, IsWindowVisible(hwnd) ? 1 : 0);
    return head + ("text=\"" + escaped(window_text(hwnd)) + "\"");
}

void bring_up(HWND top) {
    SetForegroundWindow(top);
    BringWindowToTop(top);
    RedrawWindow(top, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    // The program has painted once it waits for input again.
    DWORD pid = 0;
    GetWindowThreadProcessId(top, &pid);
    if (HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid)) {
        WaitForInputIdle(process, ANSWER_TIMEOUT_MS);
        CloseHandle(process);
    }
    Sleep(SETTLE_MS);
}

COLORREF screen_pixel(POINT at) {
    HDC screen = GetDC(nullptr);
    COLORREF color = GetPixel(screen, at.x, at.y);
    ReleaseDC(nullptr, screen);
    return color;
}

bool save_bmp(HWND top, const std::string& path) {
    RECT r;
    GetWindowRect(top, &r);
    int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFOHEADER info{sizeof info, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    DWORD size = ((width * 3 + 3) & ~3) * height;
    BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof file + sizeof info + size), 0, 0,
                          sizeof file + sizeof info};
    FILE* out = _wfopen(widen(path).c_str(), L"wb");
    bool ok = out && fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&info, sizeof info, 1, out) == 1 &&
              fwrite(bits, size, 1, out) == 1;
    if (out) ok = fclose(out) == 0 && ok;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

}  // namespace windriver
