// windriver: drives and reads the windows of another program, for tests.
//
//   windriver.exe COMMAND ARGS... [-- COMMAND ARGS...]...
//   windriver.exe < script        (one command a line, "quoted" arguments, # comments)
//
// Every command prints its results as lines on stdout (UTF-8); the first one
// that fails prints "error: ..." on stderr and ends the run with exit code 1.
// CAPTION is a visible top-level window's exact caption; CONTROL is a
// descendant's exact window text, or #ID for its control id.
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
constexpr int PIXEL_INSET = 3;  // from a control's client corner: inside the border, clear of the text

using Args = std::vector<std::string>;

DWORD process_id = 0;  // the program run, or the owner of the last window found

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
    GetWindowThreadProcessId(hwnd, &process_id);
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

void run(const Args& args) {
    const std::string& name = args[0];
    if (name == "run") {
        std::wstring command = widen(arg(args, 1));
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process;
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
            fail("cannot start " + args[1]);
        process_id = process.dwProcessId;
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else if (name == "list") {
        for (HWND hwnd : top_windows()) {
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            print("pid=" + std::to_string(pid) + " class=" + class_name(hwnd) + " text=\"" +
                  escaped(window_text(hwnd)) + "\"");
        }
    } else if (name == "wait-window") {
        if (!wait_for(timeout_arg(args, 2), [&] { return find_top(arg(args, 1)) != nullptr; }))
            fail("no window \"" + args[1] + "\" in time");
        top(args[1]);
    } else if (name == "wait-gone") {
        if (!wait_for(timeout_arg(args, 2), [&] { return find_top(arg(args, 1)) == nullptr; }))
            fail("window \"" + args[1] + "\" still there");
    } else if (name == "dump") {
        HWND window = top(arg(args, 1));
        RECT client;
        GetClientRect(window, &client);
        POINT origin{0, 0};  // on the screen, for tools that move the real pointer
        ClientToScreen(window, &origin);
        print("client=" + std::to_string(client.right) + "," + std::to_string(client.bottom) +
              " origin=" + std::to_string(origin.x) + "," + std::to_string(origin.y));
        for (HWND hwnd : descendants(window)) print(describe(window, hwnd));
    } else if (name == "find") {
        HWND window = top(arg(args, 1));
        print(describe(window, control(window, arg(args, 2))));
    } else if (name == "text") {
        print(escaped(window_text(control(top(arg(args, 1)), arg(args, 2)))));
    } else if (name == "wait-text") {
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
    } else if (name == "click") {
        HWND window = top(arg(args, 1));
        click(window, control(window, arg(args, 2)));
    } else if (name == "key") {
        key(top(arg(args, 1)), arg(args, 2));
    } else if (name == "focus") {
        HWND window = top(arg(args, 1));
        GUITHREADINFO info = thread_info(window);
        print(info.hwndFocus && IsChild(window, info.hwndFocus) ? describe(window, info.hwndFocus) : "none");
    } else if (name == "pixel") {
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
    } else if (name == "screenshot") {
        HWND window = top(arg(args, 1));
        bring_up(window);
        if (!save_bmp(window, arg(args, 2))) fail("cannot write " + args[2]);
    } else if (name == "progress") {
        HWND bar = nullptr;
        for (HWND hwnd : descendants(top(arg(args, 1))))
            if (class_name(hwnd) == "msctls_progress32") bar = hwnd;
        if (!bar) fail("no progress bar");
        DWORD_PTR position = 0, low = 0, high = 0;
        SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, DEFAULT_TIMEOUT_MS, &position);
        SendMessageTimeoutW(bar, PBM_GETRANGE, TRUE, 0, SMTO_ABORTIFHUNG, DEFAULT_TIMEOUT_MS, &low);
        SendMessageTimeoutW(bar, PBM_GETRANGE, FALSE, 0, SMTO_ABORTIFHUNG, DEFAULT_TIMEOUT_MS, &high);
        print(std::to_string(position) + " " + std::to_string(low) + " " + std::to_string(high));
    } else if (name == "activate") {  // prints the caption of the window then active
        HWND window = top(arg(args, 1));
        bring_up(window);
        HWND active = thread_info(window).hwndActive;
        print(active ? window_text(active) : "none");
    } else if (name == "close") {
        PostMessageW(top(arg(args, 1)), WM_CLOSE, 0, 0);
    } else if (name == "msgbox-text") {
        HWND box = nullptr;
        if (!wait_for(timeout_arg(args, 1), [&] { return (box = message_box()) != nullptr; })) fail("no message box");
        std::string text;
        for (HWND hwnd : descendants(box))
            if (class_name(hwnd) == "Static" && window_text(hwnd).size() > text.size()) text = window_text(hwnd);
        print(escaped(text));
    } else if (name == "wait-exit") {
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id);
        if (!process) fail("no program to wait for");
        DWORD code = 0;
        bool ended = WaitForSingleObject(process, timeout_arg(args, 1)) == WAIT_OBJECT_0;
        GetExitCodeProcess(process, &code);
        CloseHandle(process);
        if (!ended) fail("program still running");
        print("exit=" + std::to_string(code));
    } else if (name == "sleep") {
        Sleep(std::stoul(arg(args, 1)));
    } else {
        fail("unknown command " + name);
    }
}

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
        run(command);
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
