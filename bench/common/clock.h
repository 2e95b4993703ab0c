// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <ctime>

// One clock for every time stamp of the bench, in every thread and every process:
// CLOCK_MONOTONIC in nanoseconds.
namespace bench {

inline qint64 monoNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// CPU time of the calling thread, in nanoseconds.
inline qint64 threadCpuNs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

inline double nsToMs(qint64 ns)
{
    return double(ns) / 1e6;
}

} // namespace bench
