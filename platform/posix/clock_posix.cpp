// Tick counter, fine clock and sleep (POSIX-specific).
#include <time.h>

#include "../clock.h"

namespace plat {

uint32_t os_tick_ms() { return static_cast<uint32_t>(os_fine_us() / 1000u); }

uint64_t os_fine_us() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
}

void os_sleep_ms(uint32_t ms) {
    timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {
    }
}

}  // namespace plat
