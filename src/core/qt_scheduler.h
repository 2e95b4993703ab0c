// SPDX-License-Identifier: MIT
#pragma once

#include "core/due_list.h"
#include "core/scheduler.h"

#include <QElapsedTimer>
#include <QTimer>

// Window timers on the Qt event loop, where there is no kernel timer: one precise single-shot
// QTimer set to the earliest due time of the due list. Qt rounds its waits up to a whole
// millisecond, so ticks come up to 1 ms late; their due times, and so the rhythm, do not drift.
class QtScheduler final : public Scheduler
{
public:
    QtScheduler();
    ~QtScheduler() override;

    std::unique_ptr<PeriodicTimer> createTimer(int intervalMs) override;
    qint64 nowMs() const override;

private:
    qint64 nowNs() const { return clock_.nsecsElapsed(); }
    void setWakeUp();

    QElapsedTimer clock_;
    QTimer wakeUp_;
    DueList timers_;
};
