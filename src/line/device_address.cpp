// SPDX-License-Identifier: MIT
#include "line/device_address.h"

#include <QFile>
#include <QStringList>

#include <cstdlib>

#include <arpa/inet.h>

namespace {

struct ProblemText
{
    DeviceAddress::Problem problem;
    const char *text;
};
constexpr ProblemText kProblemTexts[] = {
    {DeviceAddress::Problem::UnknownKind,
     "the panel knows rfc2217://HOST:PORT, socket://HOST:PORT and device paths"},
    {DeviceAddress::Problem::NoHost, "the host is missing: %1://HOST:PORT"},
    {DeviceAddress::Problem::BadHost,
     "the host is not a host name or an address (an IPv6 address goes in brackets: [::1])"},
    {DeviceAddress::Problem::NoPort, "the port is missing: %1://HOST:PORT"},
    {DeviceAddress::Problem::BadPort, "the port must be a number from 1 to 65535"},
    {DeviceAddress::Problem::BadOption, "unknown option after \"?\""},
};

// Options other serial tools accept after the port; they tune those tools' own behaviour, so
// the panel takes a name that carries them and leaves them aside.
constexpr const char *kForeignOptions[] = {"logging", "ign_set_control", "poll_modem", "timeout"};

bool isHostName(QStringView host)
{
    for (const QChar c : host)
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != u'-' && c != u'.' && c != u'_')
            return false;
    return true;
}

// An IPv6 address as a whole ("[:]" or "[::1::2]" is none), without a zone.
bool isBracketedAddress(QStringView inside)
{
    in6_addr address;
    return !inside.contains(u'%') &&
           ::inet_pton(AF_INET6, inside.toLatin1().constData(), &address) == 1;
}

bool knownOptions(QStringView query)
{
    for (const QStringView option : query.split(u'&', Qt::SkipEmptyParts)) {
        const QStringView name = option.left(option.indexOf(u'='));
        bool known = false;
        for (const char *foreign : kForeignOptions)
            known = known || name == QLatin1String(foreign);
        if (!known)
            return false;
    }
    return true;
}

} // namespace

DeviceAddress DeviceAddress::parse(const QString &device)
{
    DeviceAddress a;
    const qsizetype schemeEnd = device.indexOf(QLatin1String("://"));
    if (schemeEnd < 0)
        return a; // a device path, whatever it looks like

    const QStringView scheme = QStringView(device).left(schemeEnd);
    if (scheme.compare(QLatin1String("rfc2217"), Qt::CaseInsensitive) == 0)
        a.kind = Kind::Rfc2217;
    else if (scheme.compare(QLatin1String("socket"), Qt::CaseInsensitive) == 0)
        a.kind = Kind::RawSocket;
    else {
        a.kind = Kind::RawSocket; // a network name, but not one the panel knows
        a.problem = Problem::UnknownKind;
        return a;
    }

    QStringView rest = QStringView(device).mid(schemeEnd + 3);
    if (const qsizetype query = rest.indexOf(u'?'); query >= 0) {
        if (!knownOptions(rest.mid(query + 1))) {
            a.problem = Problem::BadOption;
            return a;
        }
        rest = rest.left(query);
    }

    QStringView host, port;
    bool hasPort = false;
    if (rest.startsWith(u'[')) {
        const qsizetype close = rest.indexOf(u']');
        if (close < 0 || !isBracketedAddress(rest.mid(1, close - 1))) {
            a.problem = Problem::BadHost;
            return a;
        }
        host = rest.mid(1, close - 1);
        const QStringView after = rest.mid(close + 1);
        hasPort = after.startsWith(u':');
        if (!after.isEmpty() && !hasPort) {
            a.problem = Problem::BadHost;
            return a;
        }
        port = after.mid(1);
    } else {
        const qsizetype colon = rest.lastIndexOf(u':');
        hasPort = colon >= 0;
        host = hasPort ? rest.left(colon) : rest;
        port = hasPort ? rest.mid(colon + 1) : QStringView();
        if (!host.isEmpty() && !isHostName(host)) {
            a.problem = Problem::BadHost;
            return a;
        }
    }
    if (host.isEmpty()) {
        a.problem = Problem::NoHost;
        return a;
    }
    a.host = host.toString();
    if (!hasPort || port.isEmpty()) {
        a.problem = Problem::NoPort;
        return a;
    }
    bool digits = port.size() <= 5;
    for (const QChar c : port)
        digits = digits && c >= u'0' && c <= u'9';
    const uint number = digits ? port.toUInt() : 0;
    if (number < 1 || number > 65535) {
        a.problem = Problem::BadPort;
        return a;
    }
    a.port = quint16(number);
    return a;
}

QString DeviceAddress::problemText() const
{
    // The spelling to follow is the one the name began with.
    const QString scheme =
        kind == Kind::RawSocket ? QStringLiteral("socket") : QStringLiteral("rfc2217");
    for (const ProblemText &p : kProblemTexts)
        if (p.problem == problem) {
            const QString text = QString::fromLatin1(p.text);
            return text.contains(QLatin1String("%1")) ? text.arg(scheme) : text;
        }
    return {};
}

QString deviceNode(const QByteArray &path)
{
    char *resolved = ::realpath(path.constData(), nullptr);
    if (!resolved)
        return QString();
    const QByteArray node(resolved);
    std::free(resolved);
    const QString text = QFile::decodeName(node);
    return QFile::encodeName(text) == node ? text : QString();
}
