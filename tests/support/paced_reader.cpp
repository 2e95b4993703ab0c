// SPDX-License-Identifier: MIT
#include "paced_reader.h"

#include "pseudo_terminal.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <unistd.h>

namespace {
// The pace is kept on a 10 ms grid: fine enough for a line of 1920 bytes a second (19 bytes a
// step), coarse enough to cost nothing.
constexpr int kStepMs = 10;
} // namespace

PacedReader::PacedReader(PseudoTerminal &pty, int bytesPerSecond)
    : fd_(pty.farEndFd()), pace_(bytesPerSecond), reader_([this] { readLoop(); })
{
}

PacedReader::~PacedReader()
{
    stop_ = true;
    reader_.join();
}

QByteArray PacedReader::received() const
{
    const std::lock_guard lock(mutex_);
    return bytes_;
}

bool PacedReader::waitForCount(qsizetype n, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (count_ < n && t.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return count_ >= n;
}

void PacedReader::readLoop()
{
    // A budget that grows with time at the pace; it does not save up while the line is idle, so
    // the far end never reads faster than its pace.
    double budget = 0;
    auto last = std::chrono::steady_clock::now();
    char buf[4096];
    while (!stop_ && fd_ >= 0) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, kStepMs) <= 0)
            continue;
        const int pace = pace_;
        const auto now = std::chrono::steady_clock::now();
        const double seconds = std::chrono::duration<double>(now - last).count();
        last = now;
        size_t want = sizeof buf;
        if (pace > 0) {
            budget = std::min(budget + seconds * pace, 2.0 * pace * kStepMs / 1000 + 1);
            want = std::min(want, size_t(budget));
            if (want == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(kStepMs));
                continue;
            }
        }
        const ssize_t n = ::read(fd_, buf, want);
        if (n > 0) {
            budget -= double(n);
            const std::lock_guard lock(mutex_);
            bytes_.append(buf, n);
            count_ = bytes_.size();
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return;
        }
        if (pace > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(kStepMs));
    }
}
