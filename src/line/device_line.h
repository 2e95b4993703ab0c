// SPDX-License-Identifier: MIT
#pragma once

#include "line/line.h"

#include <memory>

class NetworkLine;
class Scheduler;
class SerialLine;

// The line to whatever device it is given: each open() picks the line that serves that kind of
// device (a serial device path: SerialLine; rfc2217:// or socket://: NetworkLine) and passes
// everything through to it, so that COM1 and COM2 may be different kinds of device. Only the
// line in use speaks through it: a report still due from the one before is not passed on.
class DeviceLine final : public Line
{
    Q_OBJECT
public:
    // The scheduler times the network lines' connections.
    explicit DeviceLine(Scheduler &scheduler, QObject *parent = nullptr);
    ~DeviceLine() override;

    bool open(const QString &device, const LineSettings &settings) override;
    bool close() override;
    bool isOpen() const override;
    bool isConnecting() const override;
    bool setSettings(const LineSettings &settings) override;
    bool write(const QByteArray &bytes) override;
    bool drain(int maxMs) override;
    QByteArray readAll() override;

private:
    void follow(Line *line);

    Scheduler &scheduler_;
    std::unique_ptr<SerialLine> serial_;
    std::unique_ptr<NetworkLine> network_;
    Line *current_ = nullptr;
};
