// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <QtGlobal>

// odrad's configuration: one INI section per projector, its name the projector's id. Read with
// a parser of our own rather than QSettings, so that every error names its line and duplicate
// sections or keys are seen instead of merged.
//
//     [hall-left]
//     device = /dev/ttyUSB0          ; or rfc2217://HOST:PORT, socket://HOST:PORT
//     speed = 19200                  ; or 9600
//     name = Hall left               ; PJLink NAME; default: the id
//     pjlink-listen = 127.0.0.1:4352 ; [::]:4352 or 0.0.0.0:4352 to serve the network
//     pjlink-password = secret       ; optional
//     poll-status = 10               ; seconds between state queries; 0: only on demand
//     poll-lamp = 600                ; seconds between lamp-hour queries; 0: only on demand
//
// A '#' or ';' at the start of a line, or after a blank, starts a comment.
struct ProjectorConfig
{
    QString id;
    QString device;
    qint32 speed = 19200;
    QString name; // the id when none is set
    QHostAddress listenAddress = QHostAddress(QHostAddress::LocalHost);
    quint16 listenPort = 4352;
    QString password; // empty: no login
    int pollStatusS = 10;
    int pollLampS = 600;
    int line = 0; // where its section starts in the file

    QString listenText() const;
};

// A setting of a section reserved for the service's own faces ("mqtt", "service"): kept as
// written, for the face that reads it.
struct ConfigSetting
{
    QString section, key, value;
    int line = 0;
};

struct ConfigError
{
    int line = 0; // 0: the file as a whole
    QString text;
};

struct ServiceConfig
{
    QList<ProjectorConfig> projectors;
    QList<ConfigSetting> reserved;
    QList<ConfigError> errors;

    bool isValid() const { return errors.isEmpty(); }
    // "FILE:LINE: text", one error a line.
    QString errorReport(const QString &file) const;
};

// The sections that are no projector.
constexpr const char *kReservedSections[] = {"mqtt", "service"};

ServiceConfig parseConfig(QByteArrayView text);
// The file read and parsed; an error when it cannot be read.
ServiceConfig readConfig(const QString &path);

// "HOST:PORT" with the host an IPv4 address or a bracketed IPv6 one; false when it is not.
bool parseListenAddress(const QString &text, QHostAddress *address, quint16 *port);
