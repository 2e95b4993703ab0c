// SPDX-License-Identifier: MIT
#include "fake_line.h"

FakeLine::FakeLine(const Scheduler *clock, QObject *parent) : Line(parent), clock_(clock)
{
}

bool FakeLine::open(const QString &device, const LineSettings &settings)
{
    clearFailure();
    calls << QStringLiteral("open %1 %2").arg(device, settings.toString());
    if (open_ || connecting_)
        return fail(Failure::Other, QStringLiteral("already open"));
    if (failNextOpen || missing.contains(device)) {
        failNextOpen = false;
        return fail(Failure::Missing, QStringLiteral("No such file or directory"));
    }
    if (busy.contains(device))
        return fail(Failure::Refused, QStringLiteral("Permission denied"));
    device_ = device;
    settings_ = settings;
    if (slow.contains(device))
        connecting_ = true;
    else
        open_ = true;
    return true;
}

void FakeLine::finishConnecting()
{
    if (!connecting_)
        return;
    connecting_ = false;
    open_ = true;
    emit opened();
}

void FakeLine::failConnecting(const QString &detail)
{
    if (!connecting_)
        return;
    connecting_ = false;
    fail(Failure::Unreachable, detail);
    emit openFailed();
}

bool FakeLine::close()
{
    clearFailure();
    calls << QStringLiteral("close");
    if (failNextClose) {
        failNextClose = false;
        return fail(Failure::Other, QStringLiteral("close failed"));
    }
    open_ = false;
    connecting_ = false;
    pending_.clear();
    return true;
}

bool FakeLine::setSettings(const LineSettings &settings)
{
    clearFailure();
    calls << QStringLiteral("settings %1").arg(settings.toString());
    settings_ = settings;
    return true;
}

bool FakeLine::write(const QByteArray &bytes)
{
    clearFailure();
    if (!open_)
        return fail(Failure::Other, QStringLiteral("not open"));
    if (failNextWrite) {
        failNextWrite = false;
        return fail(Failure::Other, QStringLiteral("write failed"));
    }
    writes.append({clock_ ? clock_->nowMs() : 0, bytes});
    return true;
}

bool FakeLine::drain(int maxMs)
{
    calls << QStringLiteral("drain %1").arg(maxMs);
    return true;
}

QByteArray FakeLine::readAll()
{
    QByteArray out;
    out.swap(pending_);
    return out;
}

void FakeLine::receive(const QByteArray &bytes)
{
    if (!open_)
        return;
    pending_ += bytes;
    emit readyRead();
}

void FakeLine::loseLine(const QString &cause)
{
    if (!open_)
        return;
    open_ = false;
    pending_.clear();
    emit lost(cause);
}

QByteArray FakeLine::written() const
{
    QByteArray all;
    for (const Write &w : writes)
        all += w.bytes;
    return all;
}
