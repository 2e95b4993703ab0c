#pragma once

#include "line/line.h"

#include <QSerialPort>

// The line on a serial device (an adapter, a built-in port, a pseudo-terminal), through
// QSerialPort.
class SerialLine final : public Line
{
    Q_OBJECT
public:
    explicit SerialLine(QObject *parent = nullptr);
    ~SerialLine() override;

    bool open(const QString &device, const LineSettings &settings) override;
    bool close() override;
    bool isOpen() const override { return serial_.isOpen() && !losing_; }
    bool setSettings(const LineSettings &settings) override;
    bool write(const QByteArray &bytes) override;
    QByteArray readAll() override;

    QString device() const { return serial_.portName(); }

private:
    void onError(QSerialPort::SerialPortError error);
    void finishLoss();
    void closeFlushed();
    bool apply(const LineSettings &settings);

    QSerialPort serial_;
    QString device_;
    bool losing_ = false;
    QString lossCause_;
};
