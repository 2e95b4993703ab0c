#pragma once

#include "core/scheduler.h"

#include <QSocketNotifier>

#include <memory>
#include <vector>

// Window timers on one kernel timer (Linux timerfd) watched by the Qt event loop.
//
// Qt's own timers round every wait up to a whole millisecond, so a tick begins up to 1 ms after
// it is due: a twentieth of the 5 ms menu-arrow repeat. Here every timer keeps its due time in
// nanoseconds on the monotonic clock, one timerfd is set to the earliest of them, and when it
// expires every timer then due fires in due order (ties in the order the timers were armed),
// one handler at a time, exactly as the manual clock of the tests does. A timer that fell
// behind (a stalled event loop) fires once and keeps its phase: its next tick is the next one
// on its own grid, so the repeat does not drift.
class KernelScheduler final : public Scheduler
{
public:
    KernelScheduler();
    ~KernelScheduler() override;

    // False when the kernel timer could not be made (then use QtScheduler).
    bool isValid() const { return fd_ >= 0; }

    std::unique_ptr<WindowTimer> createTimer(int intervalMs) override;
    qint64 nowMs() const override;

private:
    class Timer;
    friend class Timer;

    void arm(Timer *t, qint64 dueNs);
    void setKernelTimer();
    void expired();

    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::vector<Timer *> timers_;
    quint64 sequence_ = 0;
    bool dispatching_ = false;
};

// The scheduler the running program uses: the kernel timer where there is one, Qt's precise
// timers elsewhere.
std::unique_ptr<Scheduler> makeEventLoopScheduler();
