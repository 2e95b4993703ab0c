#include "core/qt_scheduler.h"

#include <QTimer>

#include <algorithm>

namespace {

class QtWindowTimer final : public WindowTimer
{
public:
    explicit QtWindowTimer(int intervalMs)
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setSingleShot(false);
        timer_.setInterval(std::max(intervalMs, kMinimumIntervalMs));
        QObject::connect(&timer_, &QTimer::timeout, [this] { fire(); });
    }

    // QTimer::setInterval restarts a running timer, which is the behaviour we want.
    void setInterval(int ms) override { timer_.setInterval(std::max(ms, kMinimumIntervalMs)); }
    int interval() const override { return timer_.interval(); }

    void setEnabled(bool enabled) override
    {
        if (enabled && !timer_.isActive())
            timer_.start();
        else if (!enabled)
            timer_.stop();
    }
    bool isEnabled() const override { return timer_.isActive(); }

private:
    QTimer timer_;
};

} // namespace

QtScheduler::QtScheduler() { clock_.start(); }

std::unique_ptr<WindowTimer> QtScheduler::createTimer(int intervalMs)
{
    return std::make_unique<QtWindowTimer>(intervalMs);
}

qint64 QtScheduler::nowMs() const { return clock_.elapsed(); }
