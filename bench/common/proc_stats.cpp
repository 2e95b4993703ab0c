// SPDX-License-Identifier: MIT
#include "proc_stats.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

namespace bench {

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The number after "name:" in a /proc status file, or -1.
qint64 field(const QByteArray &status, const char *name)
{
    const QByteArray key = QByteArray(name) + ':';
    for (const QByteArray &line : status.split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

ThreadTotals taskTotals(const QString &dir)
{
    ThreadTotals t;
    const QByteArray sched = readAll(dir + QStringLiteral("/schedstat"));
    const QByteArray status = readAll(dir + QStringLiteral("/status"));
    if (sched.isEmpty() || status.isEmpty())
        return t;
    t.cpuNs = sched.split(' ').value(0).toLongLong();
    t.wakeups = field(status, "voluntary_ctxt_switches");
    t.preempted = field(status, "nonvoluntary_ctxt_switches");
    t.ok = t.wakeups >= 0;
    return t;
}

QString procDir(pid_t pid)
{
    return pid ? QStringLiteral("/proc/%1").arg(pid) : QStringLiteral("/proc/self");
}

} // namespace

qint64 residentKb(pid_t pid)
{
    return field(readAll(procDir(pid) + "/status"), "VmRSS");
}

ThreadTotals processTotals(pid_t pid)
{
    ThreadTotals sum;
    const QString tasks = procDir(pid) + QStringLiteral("/task");
    const QStringList tids = QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &tid : tids) {
        const ThreadTotals t = taskTotals(tasks + QLatin1Char('/') + tid);
        if (!t.ok)
            continue;
        sum.cpuNs += t.cpuNs;
        sum.wakeups += t.wakeups;
        sum.preempted += t.preempted;
        sum.ok = true;
    }
    return sum;
}

ThreadTotals threadTotals(pid_t pid, pid_t tid)
{
    return taskTotals(procDir(pid) + QStringLiteral("/task/%1").arg(tid));
}

} // namespace bench

namespace bench {

SchedTimes threadSchedTimes()
{
    const QList<QByteArray> f = readAll(QStringLiteral("/proc/thread-self/schedstat")).split(' ');
    return {f.value(0).toLongLong(), f.value(1).toLongLong()};
}

qint64 cpuPressureUs()
{
    const QByteArray psi = readAll(QStringLiteral("/proc/pressure/cpu"));
    const qsizetype at = psi.indexOf("total=");
    if (!psi.startsWith("some") || at < 0)
        return -1;
    return psi.mid(at + 6).split('\n').value(0).toLongLong();
}

} // namespace bench
