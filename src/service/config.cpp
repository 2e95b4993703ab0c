// SPDX-License-Identifier: MIT
#include "service/config.h"

#include "line/device_address.h"

#include <QFile>
#include <QSet>

#include <algorithm>

namespace {

// What a value is worth once its comment and framing blanks are gone.
QString withoutComment(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if ((c == u'#' || c == u';') && (i == 0 || text[i - 1].isSpace()))
            return text.left(i).trimmed();
    }
    return text.trimmed();
}

bool toSeconds(const QString &text, int *out)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    // A day at most: longer than any useful poll, and far from overflowing milliseconds.
    if (!ok || value < 0 || value > 86400)
        return false;
    *out = value;
    return true;
}

bool isReserved(const QString &section)
{
    for (const char *reserved : kReservedSections)
        if (section == QLatin1String(reserved))
            return true;
    return false;
}

bool isId(const QString &id)
{
    if (id.isEmpty())
        return false;
    for (const QChar c : id)
        if (!(c.unicode() < 0x80 && (c.isLetterOrNumber() || c == u'-' || c == u'_' || c == u'.')))
            return false;
    return true;
}

// Which physical port a device is, so that two spellings of one port are seen as one.
QString portIdentity(const QString &device)
{
    const DeviceAddress address = DeviceAddress::parse(device);
    if (address.isNetwork())
        return address.host.toLower() + u':' + QString::number(address.port);
    const QString node = deviceNode(QFile::encodeName(device));
    return node.isEmpty() ? device : node;
}

bool listensOnSame(const ProjectorConfig &a, const ProjectorConfig &b)
{
    if (a.listenPort != b.listenPort)
        return false;
    const auto any = [](const QHostAddress &h) {
        return h == QHostAddress::AnyIPv4 || h == QHostAddress::AnyIPv6 || h == QHostAddress::Any;
    };
    return any(a.listenAddress) || any(b.listenAddress) || a.listenAddress == b.listenAddress;
}

struct Parser
{
    ServiceConfig config;
    QSet<QString> keysSeen; // of the current section
    QString section;
    bool inProjector = false;
    bool deviceSeen = false;

    void error(int line, const QString &text) { config.errors.append({line, text}); }

    void closeSection(int line)
    {
        if (inProjector && !deviceSeen)
            error(config.projectors.last().line,
                  QStringLiteral("[%1] has no device").arg(config.projectors.last().id));
        Q_UNUSED(line);
        inProjector = false;
        keysSeen.clear();
    }

    void openSection(int line, const QString &name)
    {
        closeSection(line);
        section = name;
        if (!isId(name)) {
            error(line, QStringLiteral("\"%1\" is no projector id: use letters, digits, '-', "
                                       "'_' and '.'")
                            .arg(name));
            section.clear();
            return;
        }
        if (isReserved(name))
            return;
        for (const ProjectorConfig &p : config.projectors)
            if (p.id == name) {
                error(
                    line,
                    QStringLiteral("[%1] appears twice (first on line %2)").arg(name).arg(p.line));
                section.clear();
                return;
            }
        ProjectorConfig projector;
        projector.id = name;
        projector.line = line;
        config.projectors.append(projector);
        inProjector = true;
        deviceSeen = false;
    }

    void setting(int line, const QString &key, const QString &value)
    {
        if (section.isEmpty()) {
            error(line, QStringLiteral("\"%1\" stands outside any [section]").arg(key));
            return;
        }
        if (keysSeen.contains(key)) {
            error(line, QStringLiteral("\"%1\" is given twice in [%2]").arg(key, section));
            return;
        }
        keysSeen.insert(key);
        if (!inProjector) {
            config.reserved.append({section, key, value, line});
            return;
        }
        projectorSetting(line, config.projectors.last(), key, value);
    }

    void projectorSetting(int line, ProjectorConfig &p, const QString &key, const QString &value)
    {
        if (key == u"device") {
            deviceSeen = true;
            p.device = value;
            const DeviceAddress address = DeviceAddress::parse(value);
            if (value.isEmpty())
                error(line, QStringLiteral("device is empty"));
            else if (!address.isValid())
                error(line, QStringLiteral("device \"%1\": %2").arg(value, address.problemText()));
        } else if (key == u"speed") {
            if (value == u"19200" || value == u"9600")
                p.speed = value.toInt();
            else
                error(line, QStringLiteral("speed \"%1\": 19200 or 9600").arg(value));
        } else if (key == u"name") {
            p.name = value;
            if (value.toUtf8().size() > 64)
                error(line, QStringLiteral("name is longer than 64 bytes"));
        } else if (key == u"pjlink-listen") {
            if (!parseListenAddress(value, &p.listenAddress, &p.listenPort))
                error(line, QStringLiteral("pjlink-listen \"%1\": ADDRESS:PORT, such as "
                                           "127.0.0.1:4352 or [::]:4352")
                                .arg(value));
        } else if (key == u"pjlink-password") {
            p.password = value;
            bool ascii = true;
            for (const QChar c : value)
                ascii = ascii && c.unicode() > 0x20 && c.unicode() < 0x7f;
            if (value.isEmpty() || value.size() > 32 || !ascii)
                error(line, QStringLiteral("pjlink-password: 1 to 32 printable ASCII characters, "
                                           "no blanks"));
        } else if (key == u"poll-status" || key == u"poll-lamp") {
            if (!toSeconds(value, key == u"poll-status" ? &p.pollStatusS : &p.pollLampS))
                error(line, QStringLiteral("%1 \"%2\": seconds from 0 to 86400").arg(key, value));
        } else {
            error(line, QStringLiteral("unknown key \"%1\" in [%2]").arg(key, section));
        }
    }

    void crossCheck()
    {
        const QList<ProjectorConfig> &all = config.projectors;
        for (qsizetype i = 0; i < all.size(); ++i) {
            for (qsizetype j = 0; j < i; ++j) {
                if (!all[i].device.isEmpty() &&
                    portIdentity(all[i].device) == portIdentity(all[j].device))
                    error(all[i].line, QStringLiteral("[%1] uses the port of [%2]: %3")
                                           .arg(all[i].id, all[j].id, all[i].device));
                if (listensOnSame(all[i], all[j]))
                    error(all[i].line, QStringLiteral("[%1] listens where [%2] does: %3")
                                           .arg(all[i].id, all[j].id, all[i].listenText()));
            }
        }
    }
};

} // namespace

QString ProjectorConfig::listenText() const
{
    QString host = listenAddress.toString();
    if (listenAddress == QHostAddress(QHostAddress::Any))
        host = QStringLiteral("[::]");
    else if (listenAddress.protocol() == QAbstractSocket::IPv6Protocol)
        host = u'[' + host + u']';
    return host + u':' + QString::number(listenPort);
}

bool parseListenAddress(const QString &text, QHostAddress *address, quint16 *port)
{
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon <= 0)
        return false;
    QString host = text.left(colon);
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    else if (host.contains(u':'))
        return false; // an IPv6 address goes in brackets
    QHostAddress parsed;
    bool ok = false;
    const uint number = text.mid(colon + 1).toUInt(&ok);
    if (!parsed.setAddress(host) || !ok || number == 0 || number > 65535)
        return false;
    // "::" serves IPv4 clients too, as it does for other daemons on Linux.
    *address = parsed == QHostAddress(QHostAddress::AnyIPv6) ? QHostAddress(QHostAddress::Any)
                                                              : parsed;
    *port = quint16(number);
    return true;
}

QString ServiceConfig::errorReport(const QString &file) const
{
    QString report;
    for (const ConfigError &e : errors)
        report += (e.line > 0 ? QStringLiteral("%1:%2: %3\n").arg(file).arg(e.line).arg(e.text)
                              : QStringLiteral("%1: %2\n").arg(file, e.text));
    return report;
}

ServiceConfig parseConfig(QByteArrayView text)
{
    Parser parser;
    const QString all = QString::fromUtf8(text);
    const QStringList lines = all.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int number = int(i + 1);
        QString line = lines[i];
        if (line.endsWith(u'\r'))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(u'#') || trimmed.startsWith(u';'))
            continue;
        if (trimmed.startsWith(u'[')) {
            const QString rest = withoutComment(trimmed);
            if (!rest.endsWith(u']')) {
                parser.error(number, QStringLiteral("a section name ends with ']'"));
                continue;
            }
            parser.openSection(number, rest.mid(1, rest.size() - 2).trimmed());
            continue;
        }
        const qsizetype equals = trimmed.indexOf(u'=');
        if (equals <= 0) {
            parser.error(number, QStringLiteral("expected KEY = VALUE"));
            continue;
        }
        parser.setting(number, trimmed.left(equals).trimmed(),
                       withoutComment(trimmed.mid(equals + 1)));
    }
    parser.closeSection(int(lines.size()));
    parser.crossCheck();
    if (parser.config.projectors.isEmpty() && parser.config.errors.isEmpty())
        parser.error(0, QStringLiteral("no projector is configured"));
    std::stable_sort(parser.config.errors.begin(), parser.config.errors.end(),
                     [](const ConfigError &a, const ConfigError &b) { return a.line < b.line; });
    for (ProjectorConfig &p : parser.config.projectors)
        if (p.name.isEmpty())
            p.name = p.id;
    return parser.config;
}

ServiceConfig readConfig(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ServiceConfig config;
        config.errors.append({0, QStringLiteral("cannot be read: %1").arg(file.errorString())});
        return config;
    }
    return parseConfig(file.readAll());
}
