// SPDX-License-Identifier: MIT
#include "cli/output.h"

#include "protocol/catalogue.h"
#include "protocol/traffic.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

QJsonValue orNull(bool present, const QJsonValue &value)
{
    return present ? value : QJsonValue(QJsonValue::Null);
}

QByteArray jsonObjectLine(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

QString holdNote(const protocol::Command &c)
{
    switch (c.kind) {
    case protocol::Kind::OneShot: return QString();
    case protocol::Kind::Hold: return QStringLiteral(" (hold: every %1 ms)").arg(c.repeatMs);
    case protocol::Kind::MenuArrow: return QStringLiteral(" (hold)");
    }
    return QString();
}

} // namespace

QByteArray plainLine(const PortRun::Result &r, bool prefix)
{
    QString text;
    if (r.outcome == PortRun::Outcome::NotOpened)
        text = QStringLiteral("not open");
    else if (!r.complete && !r.reply.isEmpty())
        // Noise, or a reply cut short: what came, but not as if it were the answer.
        text = QStringLiteral("no whole reply: ") + renderTraffic(bytesToChars(r.reply)).trimmed();
    else if (r.status)
        text = *r.status;
    else if (!r.reply.isEmpty())
        text = renderTraffic(bytesToChars(r.reply)).trimmed();
    else
        text = QStringLiteral("no reply");
    if (prefix)
        text = r.port + QLatin1String(": ") + text;
    return text.toLocal8Bit() + '\n';
}

QByteArray jsonLine(const PortRun::Result &r, const Request &request)
{
    const bool replied = !r.reply.isEmpty();
    return jsonObjectLine({
        {"port", r.port},
        {"device", r.device},
        {"command", request.name()},
        {"sent", orNull(r.sends > 0, bytesToChars(r.sent))},
        {"sends", r.sends},
        {"reply", orNull(replied, renderTraffic(bytesToChars(r.reply)))},
        {"raw", orNull(replied, bytesToChars(r.reply))},
        {"complete", r.complete},
        {"status", orNull(r.status.has_value(), r.status.value_or(QString()))},
        {"elapsed_ms", orNull(r.elapsedMs >= 0, r.elapsedMs)},
        {"exit", r.exitStatus()},
        {"error", orNull(!r.error.isEmpty(), r.error)},
    });
}

QByteArray commandList(bool json)
{
    QByteArray out;
    qsizetype nameWidth = 0, codeWidth = 0;
    for (const protocol::Command &c : protocol::commands()) {
        nameWidth = std::max(nameWidth, qsizetype(c.name.size()));
        codeWidth = std::max(codeWidth, qsizetype(c.code.size()));
    }
    for (const protocol::Command &c : protocol::commands()) {
        if (json) {
            const bool hold = c.kind != protocol::Kind::OneShot;
            out += jsonObjectLine({
                {"name", QString::fromLatin1(c.name)},
                {"code", QString::fromLatin1(c.code)},
                {"what", QString::fromLatin1(c.what)},
                {"hold", hold},
                {"repeat_ms", orNull(c.repeatMs > 0, c.repeatMs)},
            });
            continue;
        }
        const QString line = QString::fromLatin1(c.name).leftJustified(nameWidth + 2) +
                             QString::fromLatin1(c.code).leftJustified(codeWidth + 2) +
                             QString::fromLatin1(c.what) + holdNote(c);
        out += line.toLatin1() + '\n';
    }
    return out;
}
