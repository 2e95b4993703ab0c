// SPDX-License-Identifier: MIT
#pragma once

#include "core/due_list.h"
#include "core/scheduler.h"

// The program's timers on a virtual clock, for deterministic tests: the same due list as the
// programs' schedulers, with time that stands still until the test moves it.
class ManualClock final : public Scheduler
{
public:
    ManualClock();

    std::unique_ptr<PeriodicTimer> createTimer(int intervalMs) override;
    qint64 nowMs() const override { return now_ / kNanosecondsPerMs; }

    // Moves the clock forward by ms, delivering every tick due up to and including the new time
    // at its own instant, one handler at a time, as a punctual event loop would.
    void advance(qint64 ms);
    void advanceTo(qint64 ms);

    // The event loop was busy for ms: time moves on with nothing delivered, then the loop runs
    // once and delivers what has come due meanwhile.
    void stall(qint64 ms);

    // The time of the next due tick, or -1 when no timer runs.
    qint64 nextDueMs() const;

private:
    qint64 now_ = 0; // nanoseconds
    DueList timers_;
};
