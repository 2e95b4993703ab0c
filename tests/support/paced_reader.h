// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

#include <atomic>
#include <mutex>
#include <thread>

class PseudoTerminal;

// The far end of a pseudo-terminal that reads at a set pace, as a projector behind a slow UART
// does: a thread of its own takes at most bytesPerSecond from the line, so that what the panel
// writes faster piles up in the line and then in the port. A pace of 0 reads as fast as the
// bytes come.
class PacedReader
{
public:
    PacedReader(PseudoTerminal &pty, int bytesPerSecond);
    ~PacedReader();
    PacedReader(const PacedReader &) = delete;
    PacedReader &operator=(const PacedReader &) = delete;

    void setPace(int bytesPerSecond) { pace_ = bytesPerSecond; }
    QByteArray received() const;
    qsizetype count() const { return count_.load(); }
    // Keeps the caller's event loop turning until n bytes in all have arrived or timeoutMs has
    // passed; whether they did.
    bool waitForCount(qsizetype n, int timeoutMs);

private:
    void readLoop();

    const int fd_;
    std::atomic<int> pace_;
    std::atomic<bool> stop_{false};
    std::atomic<qsizetype> count_{0};
    mutable std::mutex mutex_;
    QByteArray bytes_;
    std::thread reader_;
};
