// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <sys/types.h>

// What the kernel tells about a process: memory, CPU time and wake-ups, from /proc.
namespace bench {

// Resident set size of a process in kB (VmRSS), or -1. pid 0 is this process.
qint64 residentKb(pid_t pid = 0);

// CPU time and wake-ups summed over every thread of a process, or of one thread.
struct ThreadTotals
{
    qint64 cpuNs = 0;     // time on a CPU (schedstat)
    qint64 wakeups = 0;   // voluntary context switches: each one is a sleep that ended
    qint64 preempted = 0; // involuntary context switches
    bool ok = false;
};
ThreadTotals processTotals(pid_t pid);
ThreadTotals threadTotals(pid_t pid, pid_t tid);

// The calling thread's time on a CPU and its time waiting for one while runnable (schedstat),
// in nanoseconds.
struct SchedTimes
{
    qint64 onCpuNs = 0;
    qint64 waitNs = 0;
};
SchedTimes threadSchedTimes();
// Time in which some runnable task waited for a CPU, machine-wide (/proc/pressure/cpu), in
// microseconds; -1 where the kernel does not tell.
qint64 cpuPressureUs();

} // namespace bench
