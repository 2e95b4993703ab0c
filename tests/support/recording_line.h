// SPDX-License-Identifier: MIT
#pragma once

#include "line/serial_line.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>

// The real serial line with every write the session asks for on record: the bytes the line took
// (which must reach the far end, whole and in order, while the line is up) and the writes it
// refused (the line closed or lost). Everything else is passed straight through.
class RecordingLine final : public Line
{
    Q_OBJECT
public:
    explicit RecordingLine(QObject *parent = nullptr);

    bool open(const QString &device, const LineSettings &settings) override
    {
        return relay(real_, real_.open(device, settings));
    }
    bool close() override { return relay(real_, real_.close()); }
    bool isOpen() const override { return real_.isOpen(); }
    bool setSettings(const LineSettings &settings) override
    {
        return relay(real_, real_.setSettings(settings));
    }
    bool write(const QByteArray &bytes) override;
    bool drain(int maxMs) override { return real_.drain(maxMs); }
    QByteArray readAll() override
    {
        const QByteArray bytes = real_.readAll();
        bytesRead += bytes.size();
        return bytes;
    }

    QString device() const { return real_.device(); }
    QString node() const { return real_.node(); }
    qint64 queued() const { return real_.queued(); }

    // Every byte the line took, in order, and when each write was taken (ms since creation).
    QByteArray taken;
    QList<qint64> takenAtMs;
    int writesTaken = 0;
    int writesRefused = 0;
    qint64 bytesRead = 0;

private:
    SerialLine real_;
    QElapsedTimer clock_;
};
