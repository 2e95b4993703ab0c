#pragma once

#include "link/serial_port.h"

#include <QSerialPort>

// The serial port on a real device (or a pseudo-terminal), through QSerialPort.
class QtSerialPort final : public SerialPort
{
    Q_OBJECT
public:
    explicit QtSerialPort(QObject *parent = nullptr);
    ~QtSerialPort() override;

    bool setCommPort(int port) override;
    int commPort() const override { return port_; }

    bool setSettings(const QString &settings) override;
    QString settings() const override { return settingsText_; }

    bool setPortOpen(bool open) override;
    bool portOpen() const override { return serial_.isOpen() && !losing_; }

    bool output(const QByteArray &bytes) override;
    QByteArray input() override;
    int commEvent() const override { return event_; }

    QString devicePath() const { return devicePathForPort(port_); }

private:
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    void finishLoss();
    void closeFlushed();
    bool applySettings();
    QString describeOpenFailure(QSerialPort::SerialPortError error) const;

    QSerialPort serial_;
    int port_ = 1;
    QString settingsText_ = QStringLiteral("9600,N,8,1");
    LineSettings line_;
    int event_ = NoEvent;
    bool losing_ = false;
    QString lossDescription_;
};
