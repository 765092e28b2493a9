// windriver: drives and reads the windows of another program, for tests.
//
//   windriver.exe COMMAND ARGS... [-- COMMAND ARGS...]...
//   windriver.exe < script        (one command a line, "quoted" arguments, # comments)
//
// Every command prints its results as lines on stdout (UTF-8); the first one
// that fails prints "error: ..." on stderr and ends the run with exit code 1.
// Arguments reach the program through the locale's character set, a script
// as raw UTF-8. CAPTION is a visible top-level window's exact caption;
// CONTROL is a descendant's exact window text, or #ID for its control id.
// Times are in milliseconds, 10000 when left out.
//
//   list                          visible top-level windows: pid, class, caption
//   wait-window CAPTION [TIME]    until such a window is visible
//   wait-gone CAPTION [TIME]      until none is
//   dump CAPTION                  client size and screen origin, then every
//                                 descendant: id, class, rect in the client
//                                 area, enabled, visible, text
//   find CAPTION CONTROL          the dump line of one control
//   text CAPTION CONTROL          its text, \r \n \\ \" escaped
//   wait-text CAPTION PREFIX [TIME]  until a descendant's text starts so; prints it
//   focus CAPTION                 the dump line of the focused control, or "none"
//   click CAPTION CONTROL         BM_CLICK on a button, a left click at the
//                                 centre of anything else
//   key CAPTION enter|esc|tab|space   to the focused control
//   activate CAPTION              brings it up; prints the caption then active
//   pixel CAPTION CONTROL [X Y]   RRGGBB on the screen at X,Y of the control's
//                                 client area (3,3 when left out)
//   screenshot CAPTION FILE.bmp   the window as on the screen, 24-bit BMP
//   progress CAPTION              position, minimum and maximum of its progress bar
//   close CAPTION                 WM_CLOSE, as the title-bar close box
//   msgbox-text [TIME]            the text of a standard message box
//   wait-exit [TIME]              until the program of the last window found ends
//   sleep TIME
#include "query.h"

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <functional>
#include <iostream>
#include <map>
#include <stdexcept>

using namespace windriver;

namespace {

constexpr DWORD DEFAULT_TIMEOUT_MS = 10000;
constexpr DWORD POLL_MS = 50;
constexpr char PROGRESS_CLASS_NAME[] = "msctls_progress32";
constexpr int PIXEL_INSET = 3;  // from a control's client corner: inside the border, clear of the text

using Args = std::vector<std::string>;

HANDLE program = nullptr;  // the owner of the last window found, for wait-exit

[[noreturn]] void fail(const std::string& why) { throw std::runtime_error(why); }

const std::string& arg(const Args& args, size_t i) {
    if (i >= args.size()) fail("missing argument");
    return args[i];
}

DWORD timeout_arg(const Args& args, size_t i) { return i < args.size() ? std::stoul(args[i]) : DEFAULT_TIMEOUT_MS; }

void print(const std::string& line) { std::cout << line << '\n' << std::flush; }

// Polls until found() holds or the time is up.
bool wait_for(DWORD timeout_ms, const std::function<bool()>& found) {
    DWORD start = GetTickCount();
    while (!found()) {
        if (GetTickCount() - start >= timeout_ms) return false;
        Sleep(POLL_MS);
    }
    return true;
}

HWND top(const std::string& caption) {
    HWND hwnd = find_top(caption);
    if (!hwnd) fail("no window \"" + caption + "\"");
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (program) CloseHandle(program);
    program = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    return hwnd;
}

HWND control(HWND window, const std::string& which) {
    HWND hwnd = find_control(window, which);
    if (!hwnd) fail("no control \"" + which + "\"");
    return hwnd;
}

void click(HWND window, HWND target) {
    SetForegroundWindow(window);
    if (class_name(target) == "Button") {
        PostMessageW(target, BM_CLICK, 0, 0);
        return;
    }
    RECT r;
    GetClientRect(target, &r);
    LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
    PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(target, WM_LBUTTONUP, 0, at);
}

// The focus and the active window of the thread that runs the window.
GUITHREADINFO thread_info(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info;
}

void key(HWND window, const std::string& name) {
    static const std::map<std::string, WORD> KEYS = {
        {"enter", VK_RETURN}, {"esc", VK_ESCAPE}, {"tab", VK_TAB}, {"space", VK_SPACE}};
    auto k = KEYS.find(name);
    if (k == KEYS.end()) fail("unknown key " + name);
    GUITHREADINFO info = thread_info(window);
    HWND target = info.hwndFocus ? info.hwndFocus : window;
    PostMessageW(target, WM_KEYDOWN, k->second, 1);
    PostMessageW(target, WM_KEYUP, k->second, 1 | (3u << 30));
}

// A standard message box: the dialog class, with its text in a STATIC.
HWND message_box() {
    for (HWND hwnd : top_windows())
        if (class_name(hwnd) == "#32770") return hwnd;
    return nullptr;
}

void print_pixel(const Args& args) {
    HWND window = top(arg(args, 1));
    HWND target = control(window, arg(args, 2));
    POINT at{PIXEL_INSET, PIXEL_INSET};
    if (args.size() > 4) at = {std::stoi(args[3]), std::stoi(args[4])};
    ClientToScreen(target, &at);
    bring_up(window);
    COLORREF c = screen_pixel(at);
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
    print(hex);
}

void print_progress(const Args& args) {
    HWND bar = nullptr;
    for (HWND hwnd : descendants(top(arg(args, 1))))
        if (class_name(hwnd) == PROGRESS_CLASS_NAME) bar = hwnd;
    if (!bar) fail("no progress bar");
    DWORD_PTR position = 0, low = 0, high = 0;
    SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, DEFAULT_TIMEOUT_MS, &position);
    SendMessageTimeoutW(bar, PBM_GETRANGE, TRUE, 0, SMTO_ABORTIFHUNG, DEFAULT_TIMEOUT_MS, &low);
    SendMessageTimeoutW(bar, PBM_GETRANGE, FALSE, 0, SMTO_ABORTIFHUNG, DEFAULT_TIMEOUT_MS, &high);
    print(std::to_string(position) + " " + std::to_string(low) + " " + std::to_string(high));
}

void print_message_box(const Args& args) {
    HWND box = nullptr;
    if (!wait_for(timeout_arg(args, 1), [&] { return (box = message_box()) != nullptr; })) fail("no message box");
    std::string text;
    for (HWND hwnd : descendants(box))
        if (class_name(hwnd) == "Static" && window_text(hwnd).size() > text.size()) text = window_text(hwnd);
    print(escaped(text));
}

void wait_exit(const Args& args) {
    if (!program) fail("no program to wait for");
    if (WaitForSingleObject(program, timeout_arg(args, 1)) != WAIT_OBJECT_0) fail("program still running");
    DWORD code = 0;
    GetExitCodeProcess(program, &code);
    print("exit=" + std::to_string(code));
}

void wait_text(const Args& args) {
    const std::string& prefix = arg(args, 2);
    std::string seen;
    bool found = wait_for(timeout_arg(args, 3), [&] {
        HWND window = find_top(arg(args, 1));
        for (HWND hwnd : window ? descendants(window) : std::vector<HWND>{})
            if ((seen = window_text(hwnd)).compare(0, prefix.size(), prefix) == 0) return true;
        return false;
    });
    if (!found) fail("no text \"" + prefix + "\" in time");
    print(escaped(seen));
}

void dump(const Args& args) {
    HWND window = top(arg(args, 1));
    RECT client;
    GetClientRect(window, &client);
    POINT origin{0, 0};  // on the screen, for tools that move the real pointer
    ClientToScreen(window, &origin);
    print("client=" + std::to_string(client.right) + "," + std::to_string(client.bottom) +
          " origin=" + std::to_string(origin.x) + "," + std::to_string(origin.y));
    for (HWND hwnd : descendants(window)) print(describe(window, hwnd));
}

void list(const Args&) {
    for (HWND hwnd : top_windows()) {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        print("pid=" + std::to_string(pid) + " class=" + class_name(hwnd) + " text=\"" +
              escaped(window_text(hwnd)) + "\"");
    }
}

const std::map<std::string, std::function<void(const Args&)>> COMMANDS = {
    {"list", list},
    {"wait-window",
     [](const Args& a) {
         if (!wait_for(timeout_arg(a, 2), [&] { return find_top(arg(a, 1)) != nullptr; }))
             fail("no window \"" + a[1] + "\" in time");
         top(a[1]);
     }},
    {"wait-gone",
     [](const Args& a) {
         if (!wait_for(timeout_arg(a, 2), [&] { return find_top(arg(a, 1)) == nullptr; }))
             fail("window \"" + a[1] + "\" still there");
     }},
    {"dump", dump},
    {"find", [](const Args& a) { HWND w = top(arg(a, 1)); print(describe(w, control(w, arg(a, 2)))); }},
    {"text", [](const Args& a) { print(escaped(window_text(control(top(arg(a, 1)), arg(a, 2))))); }},
    {"wait-text", wait_text},
    {"focus",
     [](const Args& a) {
         HWND w = top(arg(a, 1));
         HWND focus = thread_info(w).hwndFocus;
         print(focus && IsChild(w, focus) ? describe(w, focus) : "none");
     }},
    {"click", [](const Args& a) { HWND w = top(arg(a, 1)); click(w, control(w, arg(a, 2))); }},
    {"key", [](const Args& a) { key(top(arg(a, 1)), arg(a, 2)); }},
    {"activate",
     [](const Args& a) {
         HWND w = top(arg(a, 1));
         bring_up(w);
         HWND active = thread_info(w).hwndActive;
         print(active ? window_text(active) : "none");
     }},
    {"pixel", print_pixel},
    {"screenshot",
     [](const Args& a) {
         HWND w = top(arg(a, 1));
         bring_up(w);
         if (!save_bmp(w, arg(a, 2))) fail("cannot write " + a[2]);
     }},
    {"progress", print_progress},
    {"close", [](const Args& a) { PostMessageW(top(arg(a, 1)), WM_CLOSE, 0, 0); }},
    {"msgbox-text", print_message_box},
    {"wait-exit", wait_exit},
    {"sleep", [](const Args& a) { Sleep(std::stoul(arg(a, 1))); }},
};

// Splits a script line into words; "double quotes" keep blanks, \" and \\ inside
// them; a line whose first word starts with # is a comment.
Args words(const std::string& line) {
    Args out;
    size_t i = 0;
    while (true) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size() || (out.empty() && line[i] == '#')) return out;
        std::string word;
        bool quoted = false;
        for (; i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t')); ++i) {
            if (line[i] == '"') quoted = !quoted;
            else if (quoted && line[i] == '\\' && i + 1 < line.size()) word += line[++i];
            else word += line[i];
        }
        out.push_back(word);
    }
}

bool run_one(const Args& command) {
    if (command.empty()) return true;
    try {
        auto found = COMMANDS.find(command[0]);
        if (found == COMMANDS.end()) fail("unknown command");
        found->second(command);
        return true;
    } catch (const std::exception& e) {
        std::cerr << "error: " << command[0] << ": " << e.what() << '\n';
        return false;
    }
}

}  // namespace

int main() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
    SetProcessDPIAware();  // rectangles and pixels in the same device pixels as the program's
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc > 1) {
        Args command;
        for (int i = 1; i <= argc; ++i) {
            if (i < argc && narrow(argv[i]) != "--") {
                command.push_back(narrow(argv[i]));
            } else if (!run_one(command)) {
                return 1;
            } else {
                command.clear();
            }
        }
        return 0;
    }
    std::string line;  // each line runs as it arrives, so a test can pace the script
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!run_one(words(line))) return 1;
    }
    return 0;
}
