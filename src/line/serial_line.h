// SPDX-License-Identifier: MIT
#pragma once

#include "line/line.h"

#include <QElapsedTimer>
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
    bool drain(int maxMs) override;
    QByteArray readAll() override;

    // The device as given to open(), and the device node it names, which the port is opened
    // and locked by.
    QString device() const { return device_; }
    QString node() const { return node_; }

    // Bytes written and not yet taken by the line.
    qint64 queued() const { return serial_.isOpen() ? serial_.bytesToWrite() : 0; }

private:
    void onError(QSerialPort::SerialPortError error);
    bool lineGone() const;
    void finishLoss();
    void closeFlushed();
    bool apply(const LineSettings &settings);
    bool openFailed(QSerialPort::SerialPortError error, const QString &detail);
    friend struct OpenSerialLines;

    QSerialPort serial_;
    QString device_, node_;
    bool losing_ = false;
    QString lossCause_;
    // Errors on a line that is still there (a full output queue): counted, so that a line
    // failing without end is given up instead of spinning on.
    QElapsedTimer errorSecond_;
    int errorsThisSecond_ = 0;
};
