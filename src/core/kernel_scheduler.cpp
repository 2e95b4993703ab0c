#include "core/kernel_scheduler.h"

#include "core/qt_scheduler.h"

#include <algorithm>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <ctime>
#include <sys/timerfd.h>
#include <unistd.h>
#endif

namespace {

constexpr qint64 kNsPerMs = 1000000;

qint64 monotonicNs()
{
#ifdef Q_OS_LINUX
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
#else
    return 0;
#endif
}

} // namespace

class KernelScheduler::Timer final : public WindowTimer
{
public:
    Timer(KernelScheduler *owner, int intervalMs)
        : owner_(owner), interval_(std::max(intervalMs, kMinimumIntervalMs))
    {
    }
    ~Timer() override
    {
        if (owner_) {
            auto &v = owner_->timers_;
            v.erase(std::remove(v.begin(), v.end(), this), v.end());
            owner_->setKernelTimer();
        }
    }

    void setInterval(int ms) override
    {
        interval_ = std::max(ms, kMinimumIntervalMs);
        if (enabled_)
            owner_->arm(this, monotonicNs() + periodNs());
    }
    int interval() const override { return interval_; }

    void setEnabled(bool enabled) override
    {
        if (enabled == enabled_)
            return; // a running timer goes on counting
        enabled_ = enabled;
        if (enabled)
            owner_->arm(this, monotonicNs() + periodNs());
        else
            owner_->setKernelTimer();
    }
    bool isEnabled() const override { return enabled_; }

    qint64 periodNs() const { return qint64(interval_) * kNsPerMs; }
    void tick() { fire(); }

    KernelScheduler *owner_;
    int interval_;
    bool enabled_ = false;
    qint64 due_ = 0;
    quint64 order_ = 0;
};

KernelScheduler::KernelScheduler()
{
#ifdef Q_OS_LINUX
    fd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd_ < 0)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { expired(); });
#endif
}

KernelScheduler::~KernelScheduler()
{
    for (Timer *t : timers_)
        t->owner_ = nullptr;
    notifier_.reset();
#ifdef Q_OS_LINUX
    if (fd_ >= 0)
        ::close(fd_);
#endif
}

std::unique_ptr<WindowTimer> KernelScheduler::createTimer(int intervalMs)
{
    auto t = std::make_unique<Timer>(this, intervalMs);
    timers_.push_back(t.get());
    return t;
}

qint64 KernelScheduler::nowMs() const { return monotonicNs() / kNsPerMs; }

void KernelScheduler::arm(Timer *t, qint64 dueNs)
{
    t->due_ = dueNs;
    t->order_ = ++sequence_;
    setKernelTimer();
}

void KernelScheduler::setKernelTimer()
{
    if (dispatching_ || fd_ < 0)
        return; // set once when the ticks now due have all fired
#ifdef Q_OS_LINUX
    qint64 earliest = -1;
    for (const Timer *t : timers_)
        if (t->enabled_ && (earliest < 0 || t->due_ < earliest))
            earliest = t->due_;
    itimerspec when{};
    if (earliest >= 0) {
        earliest = std::max<qint64>(earliest, 1); // zero would disarm it
        when.it_value.tv_sec = time_t(earliest / 1000000000);
        when.it_value.tv_nsec = long(earliest % 1000000000);
    }
    timerfd_settime(fd_, TFD_TIMER_ABSTIME, &when, nullptr);
#endif
}

void KernelScheduler::expired()
{
#ifdef Q_OS_LINUX
    quint64 expirations = 0;
    if (::read(fd_, &expirations, sizeof expirations) < 0 && errno == EAGAIN)
        return; // already re-set to a later time
#endif
    const qint64 now = monotonicNs();
    dispatching_ = true;
    for (;;) {
        Timer *next = nullptr;
        for (Timer *t : timers_) {
            if (!t->enabled_ || t->due_ > now)
                continue;
            if (!next || t->due_ < next->due_ || (t->due_ == next->due_ && t->order_ < next->order_))
                next = t;
        }
        if (!next)
            break;
        // Its next tick is the first on its grid after now, set before the handler runs so that
        // a handler which re-arms, stops or re-times it has the last word. Missed ticks are not
        // made up: each timer fires at most once per expiry.
        const qint64 period = next->periodNs();
        const qint64 behind = (now - next->due_) / period + 1;
        next->due_ += behind * period;
        next->order_ = ++sequence_;
        next->tick();
    }
    dispatching_ = false;
    setKernelTimer();
}

std::unique_ptr<Scheduler> makeEventLoopScheduler()
{
    auto kernel = std::make_unique<KernelScheduler>();
    if (kernel->isValid())
        return kernel;
    return std::make_unique<QtScheduler>();
}
