#pragma once

#include "core/scheduler.h"

#include <QElapsedTimer>

// Window timers on the Qt event loop: QTimer with Qt::PreciseTimer, whose periodic ticks are
// scheduled from the previous due time rather than from when the handler ran.
class QtScheduler final : public Scheduler
{
public:
    QtScheduler();
    std::unique_ptr<WindowTimer> createTimer(int intervalMs) override;
    qint64 nowMs() const override;

private:
    QElapsedTimer clock_;
};
