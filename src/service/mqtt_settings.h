// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>

// The [mqtt] section of odrad's configuration: which broker, who we are on it, and what we may
// do. Absent section: no MQTT at all.
struct MqttSettings
{
    enum class Transport : quint8 { Plain, Tls };

    Transport transport = Transport::Plain;
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = 1883;
    QString hostId;                                            // this odrad among many
    QString prefix = QStringLiteral("odra");                   // the topics' root
    QString discoveryPrefix = QStringLiteral("homeassistant"); // empty: no discovery
    QString username;
    QString password; // from password-file, read when the section is read
    QString passwordFile;
    QString caFile;
    QString clientId; // default: odrad-<host id>
    int keepAliveSeconds = 30;
    bool allowSend = false;

    QString effectiveClientId() const
    {
        return clientId.isEmpty() ? QStringLiteral("odrad-") + hostId : clientId;
    }
};

// One key of the section as the configuration file has it, with its line for messages.
struct MqttSettingEntry
{
    QString key;
    QString value;
    int line = 0;
};

struct MqttSettingError
{
    int line = 0;
    QString message;
};

// Reads the section's keys; every fault found goes to errors (an unknown key, a broker that is
// no mqtt:// or mqtts:// address, a password file that cannot be read, ...). defaultHostId
// stands where host-id is not given (the machine's host name).
MqttSettings readMqttSettings(const QList<MqttSettingEntry> &entries, const QString &defaultHostId,
                              QList<MqttSettingError> *errors);

// Whether text may stand as one level of a topic: not empty, and no '/', '+', '#' or NUL, which
// would split it or make it a wildcard.
bool isTopicLevel(const QString &text);
