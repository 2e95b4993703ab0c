// SPDX-License-Identifier: MIT
#include "far_end.h"

#include "clock.h"
#include "pseudo_terminal.h"

#include <QEventLoop>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace bench {

FarEnd::FarEnd()
{
    const PseudoTerminalPair pair = openPseudoTerminal(B19200);
    if (!pair.isOpen() || pipe2(stopPipe_, O_CLOEXEC) != 0) {
        for (int fd : {pair.farEnd, pair.device})
            if (fd >= 0)
                ::close(fd);
        return;
    }
    master_ = pair.farEnd;
    slave_ = pair.device;
    path_ = pair.path;
    reader_ = std::thread([this] { readLoop(); });
}

FarEnd::~FarEnd()
{
    if (reader_.joinable()) {
        const char stop = 1;
        [[maybe_unused]] const ssize_t n = ::write(stopPipe_[1], &stop, 1);
        reader_.join();
    }
    for (int fd : {master_, slave_, stopPipe_[0], stopPipe_[1]})
        if (fd >= 0)
            ::close(fd);
}

void FarEnd::readLoop()
{
    // Wake-ups as exact as the kernel gives them: the default slack would blur the stamps.
    prctl(PR_SET_TIMERSLACK, 1UL);
    char buf[65536];
    for (;;) {
        pollfd fds[2] = {{master_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        const qint64 now = monoNs();
        if (fds[1].revents)
            return;
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n <= 0) {
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            // Nobody holds the device side (cannot happen while we keep ours): do not spin.
            ::usleep(1000);
            continue;
        }
        std::lock_guard lock(mutex_);
        chunks_.push_back({now, bytes_.size()});
        bytes_.append(buf, n);
        received_ += n;
        if (!query_.isEmpty() && bytes_.endsWith(query_)) {
            replies_.push_back(monoNs());
            [[maybe_unused]] const ssize_t w = ::write(master_, reply_.constData(), reply_.size());
        }
        if (waiting_ && received_ >= awaited_) {
            QMetaObject::invokeMethod(waiting_, &QEventLoop::quit, Qt::QueuedConnection);
            waiting_ = nullptr;
        }
    }
}

std::vector<FarEnd::Command> FarEnd::commands() const
{
    std::lock_guard lock(mutex_);
    std::vector<Command> out;
    std::size_t chunk = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes_.size(); ++i) {
        if (bytes_[i] != '\r')
            continue;
        while (chunk + 1 < chunks_.size() && chunks_[chunk + 1].offset <= start)
            ++chunk;
        out.push_back({bytes_.mid(start, i + 1 - start), chunks_[chunk].ns});
        start = i + 1;
    }
    return out;
}

void FarEnd::clear()
{
    std::lock_guard lock(mutex_);
    bytes_.clear();
    chunks_.clear();
    replies_.clear();
    received_ = 0;
}

bool FarEnd::waitForCount(qsizetype count, int timeoutMs)
{
    QEventLoop loop;
    {
        std::lock_guard lock(mutex_);
        if (received_ >= count)
            return true;
        awaited_ = count;
        waiting_ = &loop;
    }
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    std::lock_guard lock(mutex_);
    waiting_ = nullptr;
    return received_ >= count;
}

void FarEnd::setAutoReply(const QByteArray &query, const QByteArray &reply)
{
    std::lock_guard lock(mutex_);
    query_ = query;
    reply_ = reply;
}

std::vector<qint64> FarEnd::replyTimes() const
{
    std::lock_guard lock(mutex_);
    return replies_;
}

} // namespace bench
