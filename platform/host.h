// Host services the update needs besides the line and the windows.
#pragma once
#include <string>

namespace plat {
// Creates or replaces the file with exactly these bytes. On failure, *error
// holds the system's text for it with the OS error number.
bool write_text_file(const std::string& path, const std::string& content, std::string* error);

// The path of the file `name` in the user's Documents folder (natively, the
// home folder), where a standard user may always write. False, with the
// system's reason in *error, when the system names no such folder.
bool documents_file(const std::string& name, std::string* path, std::string* error);

// While on, the host is kept from going to sleep (a sleeping host would leave a
// cartridge half-written).
void keep_awake(bool on);

// While on, the system timer runs at 1 ms instead of the default 15.6 ms, so
// the pauses of the protocol last their length and not up to a tick more.
// Every `true` is followed by exactly one `false`.
void fine_system_timer(bool on);
}  // namespace plat
