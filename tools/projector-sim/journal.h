// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

// The simulator's log on standard error: every command in, every byte out, every change of
// the line, stamped with milliseconds since start on a monotonic clock. Also the clock itself,
// so that the log and the projector's timing agree.
class Journal
{
public:
    // label: what starts each line after the time ("3  " for the third of many projectors).
    explicit Journal(const QByteArray &label = {});

    qint64 now() const { return clock_.elapsed(); }

    // "rx" or "tx", then the bytes in printable form ("C00<CR>", "<ACK>").
    void traffic(const char *direction, const QByteArray &bytes) const;
    void note(const QString &text) const;

    // Printable ASCII as it is; CR, LF and ACK by name; every other byte as <hh>.
    static QByteArray printable(const QByteArray &bytes);

private:
    void write(const QByteArray &text) const;

    QElapsedTimer clock_;
    QByteArray label_;
};
