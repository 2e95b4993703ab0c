#pragma once

#include "core/scheduler.h"
#include "link/serial_port.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// A serial port for the deterministic tests: it records every call and every write with the
// scheduler's virtual time, lets the test deliver received characters, and fails on request.
class FakeSerialPort final : public SerialPort
{
    Q_OBJECT
public:
    struct Write
    {
        qint64 atMs;
        QByteArray bytes;
    };

    explicit FakeSerialPort(const Scheduler *clock = nullptr, QObject *parent = nullptr);

    void setClock(const Scheduler *clock) { clock_ = clock; }

    bool setCommPort(int port) override;
    int commPort() const override { return port_; }
    bool setSettings(const QString &settings) override;
    QString settings() const override { return settings_; }
    bool setPortOpen(bool open) override;
    bool portOpen() const override { return open_; }
    bool output(const QByteArray &bytes) override;
    QByteArray input() override;
    int commEvent() const override { return event_; }

    // Test side -----------------------------------------------------------------------------

    // Queues characters as if they had arrived on the line and raises the notification.
    void receive(const QByteArray &bytes);
    // Raises a notification of another kind (a line-state change, say) with nothing waiting.
    void notify(int commEvent);
    // The line goes away: the port closes and reports the loss.
    void loseLine(const QString &description = QStringLiteral("line lost"));

    // Ports that do not exist: opening them fails with a description.
    QList<int> missingPorts;
    // One-shot failures of the next call of each kind.
    bool failNextClose = false;
    bool failNextSetPort = false;
    bool failNextOpen = false;
    bool failNextWrite = false;

    QList<Write> writes;
    QStringList calls; // "CommPort=1", "Settings=19200,N,8,1", "PortOpen=1", "PortOpen?", ...

    // Every byte written, in order.
    QByteArray written() const;
    void clearLog()
    {
        writes.clear();
        calls.clear();
    }

private:
    const Scheduler *clock_;
    int port_ = 1;
    QString settings_ = QStringLiteral("9600,N,8,1");
    bool open_ = false;
    int event_ = NoEvent;
    QByteArray pending_;
};
