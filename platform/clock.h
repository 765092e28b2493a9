// Millisecond tick counter and pauses, with a fast-forward mode for tests.
#pragma once
#include <cstdint>
#include <functional>

namespace plat {

// GetTickCount-like: milliseconds, unsigned 32-bit, wraps after ~49.7 days.
// On Windows it moves in steps of the system timer (15.6 ms by default), so
// it bounds the line's 5 s waits but never measures a pause.
uint32_t tick_ms();

// A pause of the protocol on the calling thread. It lasts at least `ms` in
// real time, measured on the fine clock: a tick counter in 15.6 ms steps
// could end it up to a step early. `between`, when given, runs at the start
// and then at least every 20 ms, so the window keeps painting.
void sleep_ms(uint32_t ms, const std::function<void()>& between = nullptr);

// Elapsed time between two tick readings, taken modulo 2^32 so that a wrap of
// the counter never ends a wait early.
inline uint32_t elapsed_ms(uint32_t since, uint32_t now) { return now - since; }

// Tests only: when on, sleep_ms returns at once (after one call of `between`)
// and the tick counter jumps by the time that was skipped. Reads on the line
// still take real time.
void set_fast_forward(bool on);

// Tests only: moves the tick counter forward (e.g. to just before a wrap).
void advance_ticks(uint32_t ms);

// Tests only: the tick counter moves in steps of this many milliseconds, as
// Windows's does at its default timer resolution; 0 or 1 for every millisecond.
void set_tick_step_ms(uint32_t step);

// Tests only: told of every pause as it begins, with its length (nullptr: none).
void set_pause_observer(std::function<void(uint32_t ms)> observer);

// The operating system's own counters and sleep (one file per platform).
uint32_t os_tick_ms();
uint64_t os_fine_us();  // monotonic microseconds, far finer than the tick counter
void os_sleep_ms(uint32_t ms);

}  // namespace plat
