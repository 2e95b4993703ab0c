// SPDX-License-Identifier: MIT
#pragma once

#include "core/due_list.h"
#include "core/scheduler.h"

#include <QSocketNotifier>

#include <memory>

// Window timers on one kernel timer (Linux timerfd) watched by the Qt event loop.
//
// Qt's own timers round every wait up to a whole millisecond, so a tick begins up to 1 ms after
// it is due: a twentieth of the 5 ms menu-arrow repeat. Here the due list keeps every timer's
// due time in nanoseconds on the monotonic clock, and the timerfd is set to the earliest of them.
class KernelScheduler final : public Scheduler
{
public:
    KernelScheduler();
    ~KernelScheduler() override;

    // False when the kernel timer could not be made (then use QtScheduler).
    bool isValid() const { return fd_ >= 0; }

    std::unique_ptr<PeriodicTimer> createTimer(int intervalMs) override;
    qint64 nowMs() const override;

private:
    void setKernelTimer();
    void expired();

    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    DueList timers_;
};

// The scheduler the running programs use: the kernel timer where there is one, Qt's precise
// timers elsewhere.
std::unique_ptr<Scheduler> makeEventLoopScheduler();
