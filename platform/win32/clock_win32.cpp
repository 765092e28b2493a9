// Tick counter, fine clock and sleep (Windows-specific).
#include <windows.h>

#include "../clock.h"

namespace plat {

uint32_t os_tick_ms() { return GetTickCount(); }

// The performance counter: steady, and far finer than the 15.6 ms system
// timer that GetTickCount and Sleep move by unless a finer one is asked for.
uint64_t os_fine_us() {
    static const uint64_t frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<uint64_t>(f.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const uint64_t count = static_cast<uint64_t>(now.QuadPart);
    return count / frequency * 1000000u + count % frequency * 1000000u / frequency;
}

void os_sleep_ms(uint32_t ms) { Sleep(ms); }

}  // namespace plat
