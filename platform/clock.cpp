// Tick counter over the OS clock, with the offset that fast-forward adds.
#include "clock.h"

#include <atomic>

namespace plat {
namespace {
std::atomic<uint32_t> offset_ms{0};
std::atomic<bool> fast_forward{false};
}  // namespace

uint32_t tick_ms() { return os_tick_ms() + offset_ms.load(); }

void sleep_ms(uint32_t ms) {
    if (fast_forward.load())
        offset_ms += ms;
    else
        os_sleep_ms(ms);
}

void set_fast_forward(bool on) { fast_forward = on; }

void advance_ticks(uint32_t ms) { offset_ms += ms; }

}  // namespace plat
