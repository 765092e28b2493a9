// Tick counter and sleep (Windows-specific).
#include <windows.h>

#include "../clock.h"

namespace plat {
uint32_t os_tick_ms() { return GetTickCount(); }
void os_sleep_ms(uint32_t ms) { Sleep(ms); }
}  // namespace plat
