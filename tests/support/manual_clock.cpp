// SPDX-License-Identifier: MIT
#include "manual_clock.h"

#include <algorithm>

ManualClock::ManualClock() : timers_([this] { return now_; }, {}) {}

std::unique_ptr<PeriodicTimer> ManualClock::createTimer(int intervalMs)
{
    return timers_.createTimer(intervalMs);
}

qint64 ManualClock::nextDueMs() const
{
    const qint64 due = timers_.nextDue();
    return due < 0 ? -1 : due / kNanosecondsPerMs;
}

void ManualClock::advance(qint64 ms) { advanceTo(nowMs() + ms); }

void ManualClock::advanceTo(qint64 ms)
{
    const qint64 target = ms * kNanosecondsPerMs;
    for (;;) {
        const qint64 due = timers_.nextDue();
        if (due < 0 || due > target)
            break;
        now_ = std::max(now_, due);
        timers_.dispatch(now_);
    }
    now_ = std::max(now_, target);
}

void ManualClock::stall(qint64 ms)
{
    now_ += ms * kNanosecondsPerMs;
    timers_.dispatch(now_);
}
