#pragma once

#include "line/line.h"

#include <memory>

// The line to whatever device it is given: each open() picks the line that serves that kind of
// device (today a serial device path, served by SerialLine) and passes everything through to it,
// so that COM1 and COM2 may be different kinds of device.
class DeviceLine final : public Line
{
    Q_OBJECT
public:
    explicit DeviceLine(QObject *parent = nullptr);
    ~DeviceLine() override;

    bool open(const QString &device, const LineSettings &settings) override;
    bool close() override;
    bool isOpen() const override;
    bool setSettings(const LineSettings &settings) override;
    bool write(const QByteArray &bytes) override;
    bool drain(int maxMs) override;
    QByteArray readAll() override;

private:
    bool relay(bool ok);

    std::unique_ptr<Line> current_;
};
