// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QtGlobal>

// The serial line's framing and speed, as the far serial port is set.
enum class Parity : quint8 { None, Even, Odd, Mark, Space };
enum class StopBits : quint8 { One, Two };

struct LineSettings
{
    qint32 baud = 19200;
    Parity parity = Parity::None;
    int dataBits = 8;
    StopBits stopBits = StopBits::One;

    friend bool operator==(const LineSettings &, const LineSettings &) = default;

    // The settings as operators write them: "19200,N,8,1".
    QString toString() const;
};
