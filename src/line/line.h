// SPDX-License-Identifier: MIT
#pragma once

#include "line/line_settings.h"

#include <QByteArray>
#include <QObject>
#include <QString>

// The line to the projector as the session uses it: open a device with its settings, write
// whole commands, hand over what arrived, and report the line's loss, once. Every operation that
// can fail returns false and leaves the reason in failure().
//
// A line to a device on the network connects in the background: its open() returns true with
// the line not open yet but connecting, and opened() or openFailed() follows from the event
// loop, never from inside open(). Until then it is not open: writes are refused.
class Line : public QObject
{
    Q_OBJECT
public:
    // Why opening a device failed; the session words its warning by it.
    enum class Failure : quint8 {
        None,
        Missing,     // no such device
        Refused,     // in use by another program, or no permission
        Unreachable, // a device server that refused, was not found or did not answer in time
        BadName,     // a device name the panel cannot read
        Other,       // anything else: see failureDetail()
    };

    using QObject::QObject;
    ~Line() override = default;

    virtual bool open(const QString &device, const LineSettings &settings) = 0;
    // Hands what is queued to the line, then closes it. Closed on purpose: no loss is reported.
    virtual bool close() = 0;
    virtual bool isOpen() const = 0;
    // Between an open() that returned true and its opened() or openFailed(). close() ends it.
    virtual bool isConnecting() const { return false; }
    // On an open line the new settings take effect at once, without reopening.
    virtual bool setSettings(const LineSettings &settings) = 0;

    // Queues the bytes, whole and in order. False, and nothing queued, when the line is not
    // open or will not take them. A line slower than the writer is no failure: what it cannot
    // take yet stays queued and goes out as it drains.
    virtual bool write(const QByteArray &bytes) = 0;
    // Before the program ends: hands what is queued to the line, waiting at most maxMs. True
    // when nothing is left queued; what is left is dropped by close().
    virtual bool drain(int maxMs) = 0;
    // How long a line gets to hand over what is queued when the program ends.
    static constexpr int kEndDrainMs = 1000;
    // Everything that has arrived, removed from the line.
    virtual QByteArray readAll() = 0;

    Failure failure() const { return failure_; }
    // The system's own words for the last failure.
    QString failureDetail() const { return failureDetail_; }

signals:
    // A connection begun by open() stands: the line is open.
    void opened();
    // A connection begun by open() could not be made; failure() and failureDetail() say why.
    // The line is closed.
    void openFailed();
    // Bytes have arrived.
    void readyRead();
    // The open line went away (adapter unplugged, line hung up); it is closed already when this
    // comes, and it comes once per loss. cause: what happened, in a few words.
    void lost(const QString &cause);

protected:
    bool fail(Failure failure, const QString &detail)
    {
        failure_ = failure;
        failureDetail_ = detail;
        return false;
    }
    void clearFailure()
    {
        failure_ = Failure::None;
        failureDetail_.clear();
    }
    // For a line that hands its work to another: ok as the inner line answered, with its reason
    // when it failed.
    bool relay(const Line &inner, bool ok)
    {
        if (!ok)
            return fail(inner.failure(), inner.failureDetail());
        clearFailure();
        return true;
    }

private:
    Failure failure_ = Failure::None;
    QString failureDetail_;
};
