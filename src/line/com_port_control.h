// SPDX-License-Identifier: MIT
#pragma once

#include "line/line_settings.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// The serial port control of a device server (the telnet COM-PORT option): the panel's line
// settings as the requests that set the far port, and the server's answers and notices read
// back. Pure, like the telnet codec it rides on.
namespace comport {

// The requests, client to server; the server answers each with its code + 100.
enum Request : quint8 {
    kSignature = 0,
    kSetBaudRate = 1,
    kSetDataSize = 2,
    kSetParity = 3,
    kSetStopSize = 4,
    kSetControl = 5,
    kNotifyLineState = 6,
    kNotifyModemState = 7,
    kFlowControlSuspend = 8,
    kFlowControlResume = 9,
    kSetLineStateMask = 10,
    kSetModemStateMask = 11,
    kPurgeData = 12,
};
constexpr quint8 kServerOffset = 100;

// The whole telnet sequence that sets the far port to settings: speed, data bits, parity, stop
// bits, and no flow control (as the panel's own serial port runs).
QByteArray settingsRequest(const LineSettings &settings);

// One message from the server, read from a COM-PORT subnegotiation's payload (the option byte
// taken off).
struct Notice
{
    Request request; // what it answers or notifies, without the server's offset
    quint32 value;   // the number it carries (a speed, a size, a state mask), 0 when none
};
std::optional<Notice> readNotice(QByteArrayView payload);

// What the server reports it has set, against what was asked: empty when they agree (or the
// notice is no answer to a setting), else a few words for the log.
QString disagreement(const Notice &notice, const LineSettings &asked);

} // namespace comport
