// Millisecond tick counter and sleep, with a fast-forward mode for tests.
#pragma once
#include <cstdint>

namespace plat {

// GetTickCount-like: milliseconds, unsigned 32-bit, wraps after ~49.7 days.
uint32_t tick_ms();

// Sleep on the calling thread.
void sleep_ms(uint32_t ms);

// Elapsed time between two tick readings, taken modulo 2^32 so that a wrap of
// the counter never ends a wait early.
inline uint32_t elapsed_ms(uint32_t since, uint32_t now) { return now - since; }

// Tests only: when on, sleep_ms returns at once and the tick counter jumps by
// the time that was skipped. Reads on the line still take real time.
void set_fast_forward(bool on);

// Tests only: moves the tick counter forward (e.g. to just before a wrap).
void advance_ticks(uint32_t ms);

// The operating system's own counter and sleep (one file per platform).
uint32_t os_tick_ms();
void os_sleep_ms(uint32_t ms);

}  // namespace plat
