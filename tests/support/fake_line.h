// SPDX-License-Identifier: MIT
#pragma once

#include "core/scheduler.h"
#include "line/line.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// A line for the deterministic tests: it records every call and every write with the clock's
// virtual time, lets the test deliver received bytes or pull the plug, and fails on request.
class FakeLine final : public Line
{
    Q_OBJECT
public:
    struct Write
    {
        qint64 atMs;
        QByteArray bytes;
    };

    explicit FakeLine(const Scheduler *clock = nullptr, QObject *parent = nullptr);

    bool open(const QString &device, const LineSettings &settings) override;
    bool close() override;
    bool isOpen() const override { return open_; }
    bool isConnecting() const override { return connecting_; }
    bool setSettings(const LineSettings &settings) override;
    bool write(const QByteArray &bytes) override;
    bool drain(int maxMs) override;
    QByteArray readAll() override;

    QString device() const { return device_; }
    LineSettings settings() const { return settings_; }

    // Test side -------------------------------------------------------------------------------

    // Bytes arrive on the line (a closed line hears nothing).
    void receive(const QByteArray &bytes);
    // The line goes away: it closes and reports the loss.
    void loseLine(const QString &cause = QStringLiteral("line lost"));

    // A connection in the background stands up, or fails with the given reason.
    void finishConnecting();
    void failConnecting(const QString &detail = QStringLiteral("127.0.0.1 port 4000: Connection "
                                                               "refused"));

    // Devices on the network: opening them starts a connection that the test finishes or fails.
    QStringList slow;
    // Devices that do not exist: opening them fails as a missing device.
    QStringList missing;
    // Devices held by another program: opening them fails as refused.
    QStringList busy;
    // One-shot failures of the next call of each kind.
    bool failNextClose = false;
    bool failNextOpen = false;
    bool failNextWrite = false;

    QList<Write> writes;
    // "open DEVICE 19200,N,8,1", "close", "settings 9600,N,8,1", "drain 1000"
    QStringList calls;

    // Every byte written, in order.
    QByteArray written() const;
    void clearLog()
    {
        writes.clear();
        calls.clear();
    }

private:
    const Scheduler *clock_;
    bool open_ = false;
    bool connecting_ = false;
    QString device_;
    LineSettings settings_;
    QByteArray pending_;
};
