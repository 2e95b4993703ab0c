// SPDX-License-Identifier: MIT
#include "service/mqtt_settings.h"

#include <QFile>
#include <QUrl>

namespace {

// A password file holds the password on its first line; more than this is no password file.
constexpr qint64 kMaxPasswordFileBytes = 4096;

bool readBool(const QString &text, bool *out)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("true") || t == QLatin1String("yes") || t == QLatin1String("on") ||
        t == QLatin1String("1")) {
        *out = true;
        return true;
    }
    if (t == QLatin1String("false") || t == QLatin1String("no") || t == QLatin1String("off") ||
        t == QLatin1String("0")) {
        *out = false;
        return true;
    }
    return false;
}

QString readBroker(const QString &text, MqttSettings *s)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("mqtt") && scheme != QLatin1String("mqtts")))
        return QStringLiteral("broker \"%1\" is no mqtt://HOST[:PORT] or mqtts://HOST[:PORT]")
            .arg(text);
    if (!url.path().isEmpty() && url.path() != QLatin1String("/"))
        return QStringLiteral("broker \"%1\" has a path; a broker address has none").arg(text);
    if (!url.userInfo().isEmpty())
        return QStringLiteral("broker \"%1\" carries a user name; use username and "
                              "password-file")
            .arg(text);
    s->transport = scheme == QLatin1String("mqtts") ? MqttSettings::Transport::Tls
                                                    : MqttSettings::Transport::Plain;
    s->host = url.host();
    const int defaultPort = s->transport == MqttSettings::Transport::Tls ? 8883 : 1883;
    const int port = url.port(defaultPort);
    if (port < 1 || port > 65535)
        return QStringLiteral("broker \"%1\": no such port").arg(text);
    s->port = quint16(port);
    return {};
}

QString readPasswordFile(const QString &path, QString *password)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("password-file %1: %2").arg(path, file.errorString());
    const QByteArray text = file.read(kMaxPasswordFileBytes + 1);
    if (text.size() > kMaxPasswordFileBytes)
        return QStringLiteral("password-file %1 is longer than %2 bytes")
            .arg(path)
            .arg(kMaxPasswordFileBytes);
    // The first line, without its line end: editors add one.
    *password = QString::fromUtf8(text.left(text.indexOf('\n')));
    if (password->endsWith(QLatin1Char('\r')))
        password->chop(1);
    return {};
}

} // namespace

bool isTopicLevel(const QString &text)
{
    return !text.isEmpty() && !text.contains(QLatin1Char('/')) &&
           !text.contains(QLatin1Char('+')) && !text.contains(QLatin1Char('#')) &&
           !text.contains(QChar(0));
}

MqttSettings readMqttSettings(const QList<MqttSettingEntry> &entries, const QString &defaultHostId,
                              QList<MqttSettingError> *errors)
{
    MqttSettings s;
    s.hostId = defaultHostId;
    bool hostIdGiven = false;
    for (const MqttSettingEntry &e : entries) {
        const QString value = e.value.trimmed();
        QString error;
        if (e.key == QLatin1String("broker")) {
            error = readBroker(value, &s);
        } else if (e.key == QLatin1String("host-id")) {
            s.hostId = value;
            hostIdGiven = true;
            if (!isTopicLevel(value))
                error = QStringLiteral("host-id \"%1\" cannot stand in a topic (empty, or has "
                                       "'/', '+' or '#')")
                            .arg(value);
        } else if (e.key == QLatin1String("prefix")) {
            // A root of several levels is fine (site/odra); wildcards and empty levels are not.
            s.prefix = value;
            const QStringList levels = value.split(QLatin1Char('/'));
            for (const QString &level : levels) {
                if (!isTopicLevel(level))
                    error = QStringLiteral("prefix \"%1\" is no topic root").arg(value);
            }
        } else if (e.key == QLatin1String("discovery")) {
            s.discoveryPrefix =
                value.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0 ? QString() : value;
            if (!s.discoveryPrefix.isEmpty() && !isTopicLevel(s.discoveryPrefix))
                error =
                    QStringLiteral("discovery \"%1\" is neither a topic level nor off").arg(value);
        } else if (e.key == QLatin1String("username")) {
            s.username = value;
        } else if (e.key == QLatin1String("password-file")) {
            s.passwordFile = value;
            error = readPasswordFile(value, &s.password);
        } else if (e.key == QLatin1String("ca-file")) {
            s.caFile = value;
            if (!QFile::exists(value))
                error = QStringLiteral("ca-file %1 does not exist").arg(value);
        } else if (e.key == QLatin1String("client-id")) {
            s.clientId = value;
            if (value.isEmpty() || value.toUtf8().size() > 65535)
                error = QStringLiteral("client-id must be 1 to 65535 bytes");
        } else if (e.key == QLatin1String("keep-alive")) {
            bool ok = false;
            s.keepAliveSeconds = value.toInt(&ok);
            if (!ok || s.keepAliveSeconds < 5 || s.keepAliveSeconds > 65535)
                error = QStringLiteral("keep-alive \"%1\": seconds from 5 to 65535").arg(value);
        } else if (e.key == QLatin1String("allow-send")) {
            if (!readBool(value, &s.allowSend))
                error = QStringLiteral("allow-send \"%1\": true or false").arg(value);
        } else {
            error = QStringLiteral("unknown key \"%1\" in [mqtt]").arg(e.key);
        }
        if (!error.isEmpty())
            errors->append({e.line, error});
    }
    if (!hostIdGiven && !isTopicLevel(s.hostId))
        errors->append({0, QStringLiteral("[mqtt] needs a host-id: the host name \"%1\" cannot "
                                          "stand in a topic")
                               .arg(defaultHostId)});
    if (!s.caFile.isEmpty() && s.transport != MqttSettings::Transport::Tls)
        errors->append({0, QStringLiteral("[mqtt] ca-file is for mqtts:// brokers only")});
    return s;
}
