#pragma once

#include "link/qt_serial_port.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>

// The real serial port with every write the window asks for on record: the bytes the port took
// (which must reach the far end, whole and in order, while the line is up) and the writes it
// refused (the port closed or lost). Everything else is passed straight through.
class RecordingPort final : public SerialPort
{
    Q_OBJECT
public:
    explicit RecordingPort(QObject *parent = nullptr);

    bool setCommPort(int port) override { return relay(real_.setCommPort(port)); }
    int commPort() const override { return real_.commPort(); }
    bool setSettings(const QString &settings) override
    {
        return relay(real_.setSettings(settings));
    }
    QString settings() const override { return real_.settings(); }
    bool setPortOpen(bool open) override { return relay(real_.setPortOpen(open)); }
    bool portOpen() const override { return real_.portOpen(); }
    bool output(const QByteArray &bytes) override;
    QByteArray input() override
    {
        const QByteArray bytes = real_.input();
        bytesRead += bytes.size();
        return bytes;
    }
    int commEvent() const override { return real_.commEvent(); }

    QString devicePath() const { return real_.devicePath(); }

    // Every byte the port took, in order, and when each write was taken (ms since creation).
    QByteArray taken;
    QList<qint64> takenAtMs;
    int writesTaken = 0;
    int writesRefused = 0;
    qint64 bytesRead = 0;

private:
    bool relay(bool ok);

    QtSerialPort real_;
    QElapsedTimer clock_;
};
