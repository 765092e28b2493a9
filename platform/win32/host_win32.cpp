// Host services (Windows-specific).
#include <windows.h>
#include <mmsystem.h>
#include <shlobj.h>

#include "../host.h"
#include "utf.h"

namespace plat {
namespace {
constexpr UINT FINE_PERIOD_MS = 1;

// Windows 11 may ignore the timer request of a process whose windows are all
// minimised or hidden; an update left running in the background would then
// pause by 15.6 ms ticks again. SetProcessInformation (Windows 8 on) opts
// out; it is looked up by name so that the exe still loads on Windows 7, and
// a Windows that knows no such setting simply refuses it.
void honour_timer_request_when_hidden() {
    struct PowerThrottling {
        ULONG version, control_mask, state_mask;
    };
    constexpr int PROCESS_POWER_THROTTLING = 4;     // its PROCESS_INFORMATION_CLASS
    constexpr ULONG IGNORE_TIMER_RESOLUTION = 0x4;  // the throttling we control
    using SetProcessInformationFn = BOOL(WINAPI*)(HANDLE, int, void*, DWORD);
    auto set_information = reinterpret_cast<SetProcessInformationFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetProcessInformation")));
    PowerThrottling state{1, IGNORE_TIMER_RESOLUTION, 0};  // state 0: never ignore it
    if (set_information) set_information(GetCurrentProcess(), PROCESS_POWER_THROTTLING, &state, sizeof state);
}
}  // namespace

bool write_text_file(const std::string& path, const std::string& content, std::string* error) {
    HANDLE file = CreateFileW(widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    bool ok = file != INVALID_HANDLE_VALUE &&
              WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
              written == content.size();
    DWORD code = ok ? 0 : GetLastError();
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (!ok && error) *error = system_error_text(code);
    return ok;
}

bool documents_file(const std::string& name, std::string* path, std::string* error) {
    wchar_t folder[MAX_PATH];
    const HRESULT result =
        SHGetFolderPathW(nullptr, CSIDL_PERSONAL | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder);
    if (result != S_OK) {
        const DWORD code = HRESULT_FACILITY(result) == FACILITY_WIN32 ? HRESULT_CODE(result) : result;
        if (error) *error = system_error_text(code);
        return false;
    }
    *path = narrow(folder, lstrlenW(folder)) + "\\" + name;
    return true;
}

void keep_awake(bool on) {
    SetThreadExecutionState(on ? ES_CONTINUOUS | ES_SYSTEM_REQUIRED : ES_CONTINUOUS);
}

void fine_system_timer(bool on) {
    if (on) {
        honour_timer_request_when_hidden();
        timeBeginPeriod(FINE_PERIOD_MS);
    } else {
        timeEndPeriod(FINE_PERIOD_MS);
    }
}

}  // namespace plat
