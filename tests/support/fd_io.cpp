// SPDX-License-Identifier: MIT
#include "fd_io.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (fd >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else {
            return false;
        }
    }
    return done == bytes.size();
}
