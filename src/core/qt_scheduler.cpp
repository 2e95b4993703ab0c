// SPDX-License-Identifier: MIT
#include "core/qt_scheduler.h"

QtScheduler::QtScheduler() : timers_([this] { return nowNs(); }, [this] { setWakeUp(); })
{
    clock_.start();
    wakeUp_.setTimerType(Qt::PreciseTimer);
    wakeUp_.setSingleShot(true);
    QObject::connect(&wakeUp_, &QTimer::timeout, [this] { timers_.dispatch(nowNs()); });
}

QtScheduler::~QtScheduler() = default;

std::unique_ptr<PeriodicTimer> QtScheduler::createTimer(int intervalMs)
{
    return timers_.createTimer(intervalMs);
}

qint64 QtScheduler::nowMs() const { return clock_.elapsed(); }

void QtScheduler::setWakeUp()
{
    const qint64 due = timers_.nextDue();
    if (due < 0) {
        wakeUp_.stop();
        return;
    }
    // Whole milliseconds, rounded up: a wake-up before the due time would find nothing to do.
    const qint64 waitNs = std::max<qint64>(0, due - nowNs());
    wakeUp_.start(int((waitNs + kNanosecondsPerMs - 1) / kNanosecondsPerMs));
}
