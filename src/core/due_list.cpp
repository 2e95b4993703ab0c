// SPDX-License-Identifier: MIT
#include "core/due_list.h"

#include <algorithm>

class DueList::Timer final : public PeriodicTimer
{
public:
    Timer(DueList *owner, int intervalMs)
        : owner_(owner), interval_(std::max(intervalMs, kMinimumIntervalMs))
    {
    }
    ~Timer() override
    {
        if (owner_) {
            auto &v = owner_->timers_;
            v.erase(std::remove(v.begin(), v.end(), this), v.end());
            owner_->changed();
        }
    }

    void setInterval(int ms) override
    {
        interval_ = std::max(ms, kMinimumIntervalMs);
        if (enabled_ && owner_)
            owner_->arm(this, owner_->now_() + period());
    }
    int interval() const override { return interval_; }

    void setEnabled(bool enabled) override
    {
        if (enabled == enabled_ || !owner_)
            return; // a running timer goes on counting
        enabled_ = enabled;
        if (enabled)
            owner_->arm(this, owner_->now_() + period());
        else
            owner_->changed();
    }
    bool isEnabled() const override { return enabled_; }

    qint64 period() const { return qint64(interval_) * kNanosecondsPerMs; }
    void tick() { fire(); }

    DueList *owner_;
    int interval_;
    bool enabled_ = false;
    qint64 due_ = 0;
    quint64 order_ = 0; // when it was last armed, for ties at the same instant
};

DueList::DueList(std::function<qint64()> now, std::function<void()> changed)
    : now_(std::move(now)), changed_(std::move(changed))
{
}

DueList::~DueList()
{
    for (Timer *t : timers_)
        t->owner_ = nullptr;
}

std::unique_ptr<PeriodicTimer> DueList::createTimer(int intervalMs)
{
    auto t = std::make_unique<Timer>(this, intervalMs);
    timers_.push_back(t.get());
    return t;
}

qint64 DueList::nextDue() const
{
    qint64 earliest = -1;
    for (const Timer *t : timers_)
        if (t->enabled_ && (earliest < 0 || t->due_ < earliest))
            earliest = t->due_;
    return earliest;
}

void DueList::arm(Timer *t, qint64 due)
{
    t->due_ = due;
    t->order_ = ++sequence_;
    changed();
}

void DueList::changed()
{
    if (!dispatching_ && changed_)
        changed_();
}

void DueList::dispatch(qint64 now)
{
    dispatching_ = true;
    for (;;) {
        // A timer that has fired is due again only after now, so none fires twice.
        Timer *next = nullptr;
        for (Timer *t : timers_) {
            if (!t->enabled_ || t->due_ > now)
                continue;
            if (!next || t->due_ < next->due_ ||
                (t->due_ == next->due_ && t->order_ < next->order_))
                next = t;
        }
        if (!next)
            break;
        const qint64 period = next->period();
        const qint64 behind = (now - next->due_) / period + 1;
        next->due_ += behind * period;
        next->order_ = ++sequence_;
        next->tick();
    }
    dispatching_ = false;
    changed();
}
