// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

#include <sys/resource.h>

// Small pieces of POSIX the line tests share.

// Writes all of bytes to a non-blocking descriptor, waiting for room when it is full. False
// when the descriptor fails (a hang-up, say).
bool writeAll(int fd, const QByteArray &bytes);

// CPU time this process has spent, user and system, in seconds.
inline double processCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
