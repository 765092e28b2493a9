// Tick counter over the OS clock, with the offset that fast-forward adds, and
// the pauses of the protocol measured on the fine clock.
#include "clock.h"

#include <algorithm>
#include <atomic>
#include <mutex>

namespace plat {
namespace {
constexpr uint64_t SLICE_US = 20000;  // `between` runs at least this often in a pause

std::atomic<uint32_t> offset_ms{0};
std::atomic<bool> fast_forward{false};
std::atomic<uint32_t> tick_step_ms{1};
std::mutex observer_lock;
std::function<void(uint32_t)> pause_observer;

void notify_pause(uint32_t ms) {
    std::lock_guard<std::mutex> hold(observer_lock);
    if (pause_observer) pause_observer(ms);
}
}  // namespace

uint32_t tick_ms() {
    const uint32_t step = tick_step_ms.load();
    const uint32_t now = os_tick_ms();
    return now - now % step + offset_ms.load();
}

void sleep_ms(uint32_t ms, const std::function<void()>& between) {
    notify_pause(ms);
    if (fast_forward.load()) {
        if (between) between();
        offset_ms += ms;
        return;
    }
    const uint64_t start = os_fine_us();
    const uint64_t length = uint64_t{ms} * 1000;
    for (;;) {
        if (between) between();
        const uint64_t passed = os_fine_us() - start;
        if (passed >= length) return;
        uint64_t left = length - passed;
        if (between) left = std::min(left, SLICE_US);
        os_sleep_ms(static_cast<uint32_t>((left + 999) / 1000));
    }
}

void set_fast_forward(bool on) { fast_forward = on; }

void advance_ticks(uint32_t ms) { offset_ms += ms; }

void set_tick_step_ms(uint32_t step) { tick_step_ms = std::max<uint32_t>(step, 1); }

void set_pause_observer(std::function<void(uint32_t ms)> observer) {
    std::lock_guard<std::mutex> hold(observer_lock);
    pause_observer = std::move(observer);
}

}  // namespace plat
