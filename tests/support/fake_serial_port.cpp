#include "fake_serial_port.h"

FakeSerialPort::FakeSerialPort(const Scheduler *clock, QObject *parent)
    : SerialPort(parent), clock_(clock)
{
}

bool FakeSerialPort::setCommPort(int port)
{
    clearFailure();
    calls << QStringLiteral("CommPort=%1").arg(port);
    if (failNextSetPort) {
        failNextSetPort = false;
        return fail(QStringLiteral("set port %1 failed").arg(port));
    }
    if (open_)
        return fail(QStringLiteral("port is open"));
    port_ = port;
    return true;
}

bool FakeSerialPort::setSettings(const QString &settings)
{
    clearFailure();
    calls << QStringLiteral("Settings=%1").arg(settings);
    LineSettings parsed;
    if (!LineSettings::parse(settings, &parsed))
        return fail(QStringLiteral("invalid settings"));
    settings_ = settings;
    return true;
}

bool FakeSerialPort::setPortOpen(bool open)
{
    clearFailure();
    calls << QStringLiteral("PortOpen=%1").arg(open ? 1 : 0);
    if (!open) {
        if (failNextClose) {
            failNextClose = false;
            return fail(QStringLiteral("close of COM%1 failed").arg(port_));
        }
        open_ = false;
        pending_.clear();
        return true;
    }
    if (open_)
        return fail(QStringLiteral("port already open"));
    if (failNextOpen || missingPorts.contains(port_)) {
        failNextOpen = false;
        return fail(QStringLiteral("COM%1 does not exist").arg(port_));
    }
    open_ = true;
    return true;
}

bool FakeSerialPort::output(const QByteArray &bytes)
{
    clearFailure();
    calls << QStringLiteral("Output");
    if (!open_)
        return fail(QStringLiteral("COM%1 is not open").arg(port_));
    if (failNextWrite) {
        failNextWrite = false;
        return fail(QStringLiteral("write failed"));
    }
    writes.append({clock_ ? clock_->nowMs() : 0, bytes});
    return true;
}

QByteArray FakeSerialPort::input()
{
    QByteArray out;
    out.swap(pending_);
    return out;
}

void FakeSerialPort::receive(const QByteArray &bytes)
{
    if (!open_)
        return; // a closed port hears nothing
    pending_ += bytes;
    notify(Receive);
}

void FakeSerialPort::notify(int commEvent)
{
    event_ = commEvent;
    emit onComm();
    event_ = NoEvent;
}

void FakeSerialPort::loseLine(const QString &description)
{
    if (!open_)
        return;
    open_ = false;
    pending_.clear();
    emit portLost(description);
}

QByteArray FakeSerialPort::written() const
{
    QByteArray all;
    for (const Write &w : writes)
        all += w.bytes;
    return all;
}
