// What the test driver reads from and does to the windows of another program.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace windriver {

std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& wide);

std::vector<HWND> top_windows();  // the visible ones, front to back
HWND find_top(const std::string& caption);  // visible, with exactly this caption
std::vector<HWND> descendants(HWND top);
// "#ID" names a control by its id, anything else by its exact window text.
HWND find_control(HWND top, const std::string& which);

std::string window_text(HWND hwnd);  // asked of the window's own thread
std::string class_name(HWND hwnd);
RECT rect_in_client(HWND top, HWND hwnd);  // relative to top's client area
std::string describe(HWND top, HWND hwnd);  // one line: id, class, rect, flags, text
std::string escaped(const std::string& text);  // \r, \n, \\ and \" escaped

void bring_up(HWND top);  // to the front, with time to repaint
COLORREF screen_pixel(POINT at);
bool save_bmp(HWND top, const std::string& path);  // the window as on the screen

}  // namespace windriver
