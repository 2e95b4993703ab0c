// SPDX-License-Identifier: MIT
#include "core/stop_signals.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::array kStopSignals = {SIGTERM, SIGINT, SIGHUP};

// The pipe from the handler to the event loop. A handler can reach nothing but globals; these
// are the process's one set, owned by the StopSignals alive at the time.
int signalPipe[2] = {-1, -1};

void onStopSignal(int signal)
{
    const int saved = errno;
    // The signal's number is the byte: every stop signal fits in one.
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
    // The first request arms the backstop; a later one leaves its time as it is.
    if (const unsigned left = ::alarm(StopSignals::kBackstopSeconds); left != 0)
        ::alarm(left);
    errno = saved;
}

void setDisposition(void (*handler)(int))
{
    struct sigaction sa
    {
    };
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (const int s : kStopSignals)
        sigaction(s, &sa, nullptr);
}

} // namespace

StopSignals::StopSignals(QObject *parent) : QObject(parent)
{
    if (signalPipe[0] >= 0 || ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &StopSignals::deliver);
    setDisposition(onStopSignal);
    active_ = true;
}

StopSignals::~StopSignals()
{
    if (!active_)
        return;
    setDisposition(SIG_DFL);
    notifier_.reset();
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

void StopSignals::deliver()
{
    unsigned char pending[16];
    ssize_t n = 0;
    while ((n = ::read(signalPipe[0], pending, sizeof pending)) > 0) {
        for (ssize_t i = 0; i < n; ++i)
            emit received(pending[i]);
    }
}
