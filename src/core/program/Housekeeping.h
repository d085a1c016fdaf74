#pragma once
#include <cstdint>

// The periodic housekeeping of the main loop (the home notifier's tick, the
// headless status line) rides on the surveillance steps' wake-ups instead of
// waking the program on a phase of its own: it may run a little early, and
// wakes the loop by itself only when no step comes soon after it is due.
namespace housekeeping {

constexpr int64_t kPeriodMs = 100;
constexpr int64_t kEarlyMs = 10;
constexpr int64_t kLateMs = 100;

// Housekeeping due at `dueMs` runs at a wake-up at `nowMs`.
inline bool IsDue(int64_t nowMs, int64_t dueMs) {
    return nowMs >= dueMs - kEarlyMs;
}

// When the loop wakes next: the step, unless it comes more than kLateMs after
// the housekeeping is due.
inline int64_t NextWake(int64_t stepDueMs, int64_t housekeepingDueMs) {
    return stepDueMs - kLateMs <= housekeepingDueMs ? stepDueMs : housekeepingDueMs;
}

} // namespace housekeeping
