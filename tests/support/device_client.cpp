// SPDX-License-Identifier: MIT
#include "device_client.h"

#include "fd_io.h"

#include <QElapsedTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

DeviceClient::~DeviceClient()
{
    close();
}

bool DeviceClient::open(const QString &path)
{
    close();
    fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios raw{};
    if (fd_ < 0 || tcgetattr(fd_, &raw) != 0) {
        close();
        return false;
    }
    cfmakeraw(&raw);
    tcsetattr(fd_, TCSANOW, &raw);
    tcflush(fd_, TCIFLUSH);
    return true;
}

void DeviceClient::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool DeviceClient::send(const QByteArray &bytes) { return writeAll(fd_, bytes); }

QByteArray DeviceClient::read(qsizetype n, int timeoutMs, int *chunks)
{
    QByteArray out;
    QElapsedTimer t;
    t.start();
    while (fd_ >= 0 && out.size() < n && t.elapsed() < timeoutMs) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        char buf[4096];
        const ssize_t got = ::read(fd_, buf, sizeof buf);
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (got <= 0)
            break;
        out.append(buf, got);
        if (chunks)
            ++*chunks;
    }
    return out;
}

QByteArray DeviceClient::ask(const QByteArray &command, qsizetype expectedSize)
{
    if (!send(command))
        return "(write failed)";
    const QByteArray reply = read(expectedSize, 5000);
    return reply + readFor(50);
}
