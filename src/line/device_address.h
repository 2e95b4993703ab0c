// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QtGlobal>

// What a device name says: a serial device path (/dev/ttyUSB0, COM3), or a port of a serial
// device server on the network, spelt as other serial tools spell it: rfc2217://HOST:PORT (the
// server sets the far port's speed and framing on request) or socket://HOST:PORT (raw bytes).
// An IPv6 address goes in brackets: rfc2217://[::1]:2000.
struct DeviceAddress
{
    enum class Kind : quint8 { Serial, Rfc2217, RawSocket };
    // Why a name that looks like a network address cannot be used.
    enum class Problem : quint8 { None, UnknownKind, NoHost, BadHost, NoPort, BadPort, BadOption };

    Kind kind = Kind::Serial;
    QString host;
    quint16 port = 0;
    Problem problem = Problem::None;

    static DeviceAddress parse(const QString &device);

    bool isNetwork() const { return kind != Kind::Serial; }
    bool isValid() const { return problem == Problem::None; }
    // The problem in a few words, for a warning; empty when there is none.
    QString problemText() const;
};

// The device node a path leads to, following symbolic links, worked out from the path's own
// bytes (/dev/ttyUSB0 for a link of any name). Empty when the path leads nowhere or the node's
// name is not text in this system's encoding.
QString deviceNode(const QByteArray &path);
