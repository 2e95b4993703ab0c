// SPDX-License-Identifier: MIT
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

KernelScheduler::KernelScheduler() : timers_(monotonicNs, [this] { setKernelTimer(); })
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
    notifier_.reset();
#ifdef Q_OS_LINUX
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
#endif
}

std::unique_ptr<PeriodicTimer> KernelScheduler::createTimer(int intervalMs)
{
    return timers_.createTimer(intervalMs);
}

qint64 KernelScheduler::nowMs() const { return monotonicNs() / kNanosecondsPerMs; }

void KernelScheduler::setKernelTimer()
{
#ifdef Q_OS_LINUX
    if (fd_ < 0)
        return;
    qint64 earliest = timers_.nextDue();
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
    timers_.dispatch(monotonicNs());
}

std::unique_ptr<Scheduler> makeEventLoopScheduler()
{
    auto kernel = std::make_unique<KernelScheduler>();
    if (kernel->isValid())
        return kernel;
    return std::make_unique<QtScheduler>();
}
