// SPDX-License-Identifier: MIT
#include "pseudo_terminal.h"

#include "fd_io.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

PseudoTerminalPair openPseudoTerminal(speed_t speed)
{
    PseudoTerminalPair pair;
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (speed != B0)
        cfsetspeed(&raw, speed);
    if (openpty(&pair.farEnd, &pair.device, name, &raw, nullptr) != 0)
        return {};
    fcntl(pair.farEnd, F_SETFL, fcntl(pair.farEnd, F_GETFL) | O_NONBLOCK);
    fcntl(pair.farEnd, F_SETFD, FD_CLOEXEC);
    fcntl(pair.device, F_SETFD, FD_CLOEXEC);
    pair.path = QString::fromLocal8Bit(name);
    return pair;
}

PseudoTerminal::PseudoTerminal()
{
    const PseudoTerminalPair pair = openPseudoTerminal();
    master_ = pair.farEnd;
    slave_ = pair.device;
    path_ = pair.path;
}

PseudoTerminal::~PseudoTerminal()
{
    closeFarEnd();
    if (slave_ >= 0)
        ::close(slave_);
}

bool PseudoTerminal::write(const QByteArray &bytes) { return writeAll(master_, bytes); }

qsizetype PseudoTerminal::writeSome(const char *bytes, qsizetype size)
{
    if (master_ < 0)
        return -1;
    const ssize_t n = ::write(master_, bytes, size_t(size));
    if (n >= 0)
        return n;
    return errno == EAGAIN || errno == EINTR ? 0 : -1;
}

QByteArray PseudoTerminal::readFor(int ms)
{
    QByteArray out;
    QElapsedTimer t;
    t.start();
    while (master_ >= 0) {
        const qint64 left = ms - t.elapsed();
        if (left <= 0)
            break;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, int(std::min<qint64>(left, 5))) <= 0)
            continue;
        char buf[4096];
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0)
            out.append(buf, n);
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            break;
    }
    return out;
}

QByteArray PseudoTerminal::readAtLeast(int n, int timeoutMs)
{
    QByteArray out;
    QElapsedTimer t;
    t.start();
    while (master_ >= 0 && out.size() < n && t.elapsed() < timeoutMs) {
        // The panel writes from the same event loop: keep it turning while we wait.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, 5) <= 0)
            continue;
        char buf[4096];
        const ssize_t got = ::read(master_, buf, sizeof buf);
        if (got > 0)
            out.append(buf, got);
    }
    return out;
}

void PseudoTerminal::closeFarEnd()
{
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

bool PseudoTerminal::deviceAttributes(termios *out) const
{
    return slave_ >= 0 && tcgetattr(slave_, out) == 0;
}
