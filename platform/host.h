// Host services the update needs besides the line and the windows.
#pragma once
#include <string>

namespace plat {
// Creates or replaces the file with exactly these bytes. On failure, *error
// holds the system's text for it with the OS error number.
bool write_text_file(const std::string& path, const std::string& content, std::string* error);

// While on, the host is kept from going to sleep (a sleeping host would leave a
// cartridge half-written).
void keep_awake(bool on);
}  // namespace plat
