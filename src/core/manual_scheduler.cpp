#include "core/manual_scheduler.h"

#include <algorithm>

class ManualScheduler::Timer final : public WindowTimer
{
public:
    Timer(ManualScheduler *owner, int intervalMs)
        : owner_(owner), interval_(std::max(intervalMs, kMinimumIntervalMs))
    {
    }
    ~Timer() override
    {
        if (owner_) {
            auto &v = owner_->timers_;
            v.erase(std::remove(v.begin(), v.end(), this), v.end());
        }
    }

    void setInterval(int ms) override
    {
        interval_ = std::max(ms, kMinimumIntervalMs);
        if (enabled_)
            owner_->arm(this, owner_->now_ + interval_);
    }
    int interval() const override { return interval_; }

    void setEnabled(bool enabled) override
    {
        if (enabled && !enabled_) {
            enabled_ = true;
            owner_->arm(this, owner_->now_ + interval_);
        } else if (!enabled) {
            enabled_ = false;
        }
    }
    bool isEnabled() const override { return enabled_; }

    void tick() { fire(); }

    ManualScheduler *owner_;
    int interval_;
    bool enabled_ = false;
    qint64 due_ = 0;
    quint64 order_ = 0; // when it was (re)armed, for ties at the same instant
};

ManualScheduler::ManualScheduler() = default;

ManualScheduler::~ManualScheduler()
{
    for (Timer *t : timers_)
        t->owner_ = nullptr;
}

std::unique_ptr<WindowTimer> ManualScheduler::createTimer(int intervalMs)
{
    auto t = std::make_unique<Timer>(this, intervalMs);
    timers_.push_back(t.get());
    return t;
}

void ManualScheduler::arm(Timer *t, qint64 due)
{
    t->due_ = due;
    t->order_ = ++sequence_;
}

qint64 ManualScheduler::nextDue() const
{
    qint64 best = -1;
    for (const Timer *t : timers_)
        if (t->enabled_ && (best < 0 || t->due_ < best))
            best = t->due_;
    return best;
}

void ManualScheduler::advance(qint64 ms) { advanceTo(now_ + ms); }

void ManualScheduler::advanceTo(qint64 target)
{
    for (;;) {
        Timer *next = nullptr;
        for (Timer *t : timers_) {
            if (!t->enabled_ || t->due_ > target)
                continue;
            if (!next || t->due_ < next->due_ || (t->due_ == next->due_ && t->order_ < next->order_))
                next = t;
        }
        if (!next)
            break;
        now_ = next->due_;
        // The next tick is scheduled from this one's due time before the handler runs, so
        // that a handler which re-arms, disables or re-times its own timer has the last word.
        arm(next, next->due_ + next->interval_);
        next->tick();
    }
    now_ = std::max(now_, target);
}
