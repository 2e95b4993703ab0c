// SPDX-License-Identifier: MIT
#pragma once

#include "core/scheduler.h"

#include <functional>
#include <memory>
#include <vector>

// The one algorithm behind every clock of the program: the timers, each with the time its next
// tick is due (nanoseconds on its owner's clock), and the dispatch of the ticks that are due.
// The kernel-timer and Qt-timer schedulers run it on real time, the tests' manual clock on
// virtual time, so what the tests exercise is what ships.
//
//  - A timer is periodic until disabled; arming it (enabling a stopped timer, or giving a
//    running one a new interval) puts its next tick one interval from now.
//  - dispatch(now) fires every timer due at now or before, earliest first; ticks due at the same
//    instant fire in the order their timers were armed.
//  - Each timer fires at most once per dispatch. Its next tick is the first on its own grid
//    after now, set before its handler runs (so a handler that stops or re-times it has the
//    last word): a timer that fell behind, on a stalled event loop, keeps its phase and does not
//    fire the missed ticks in a burst.
class DueList
{
public:
    // now: the owner's clock. changed: called whenever the earliest due time may have moved,
    // except while dispatching (the owner looks again when dispatch() returns).
    DueList(std::function<qint64()> now, std::function<void()> changed);
    ~DueList();
    DueList(const DueList &) = delete;
    DueList &operator=(const DueList &) = delete;

    std::unique_ptr<PeriodicTimer> createTimer(int intervalMs);

    // The earliest due time of an enabled timer, or -1 when none runs.
    qint64 nextDue() const;

    void dispatch(qint64 now);

private:
    class Timer;
    friend class Timer;

    void arm(Timer *t, qint64 due);
    void changed();

    std::function<qint64()> now_;
    std::function<void()> changed_;
    std::vector<Timer *> timers_;
    quint64 sequence_ = 0;
    bool dispatching_ = false;
};

constexpr qint64 kNanosecondsPerMs = 1'000'000;
