#pragma once

#include "core/scheduler.h"

#include <vector>

// A scheduler on a virtual clock, for deterministic tests. Time stands still until advance()
// moves it; advance() fires every due tick in time order, one handler at a time, exactly as
// the event loop would deliver them.
class ManualScheduler final : public Scheduler
{
public:
    ManualScheduler();
    ~ManualScheduler() override;

    std::unique_ptr<WindowTimer> createTimer(int intervalMs) override;
    qint64 nowMs() const override { return now_; }

    // Moves the clock forward by ms, firing every tick due up to and including the new time.
    void advance(qint64 ms);
    void advanceTo(qint64 t);

    // The time of the next due tick, or -1 when no timer is running.
    qint64 nextDue() const;

private:
    class Timer;
    friend class Timer;

    void arm(Timer *t, qint64 due);

    qint64 now_ = 0;
    quint64 sequence_ = 0;
    std::vector<Timer *> timers_;
};
