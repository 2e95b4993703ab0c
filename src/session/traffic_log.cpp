// SPDX-License-Identifier: MIT
#include "session/traffic_log.h"

#include "protocol/decoder.h"
#include "protocol/reply.h"
#include "protocol/traffic.h"
#include "session/panel_session.h"

#include <QDateTime>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcLog, "odra.session.log")

namespace {

qint64 now()
{
    return QDateTime::currentMSecsSinceEpoch();
}

// Local time with its offset from UTC, to the millisecond.
QString timeStamp(qint64 msSinceEpoch)
{
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(msSinceEpoch);
    return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

} // namespace

struct TrafficLog::Follower
{
    const PanelSession *session = nullptr; // null once the session has gone
    QString fixedName;
    QString port;    // as last named
    QString command; // the command string the pending reply answers
    QByteArray pending;
    qint64 pendingAtMs = 0; // when the last of it arrived
    bool split = false;     // the reply outgrew the limit: its later pieces are not decoded

    void name()
    {
        if (!fixedName.isEmpty())
            port = fixedName;
        else if (session)
            port = QStringLiteral("COM%1 (%2)").arg(session->port()).arg(session->device());
    }
};

TrafficLog::TrafficLog(QObject *parent) : QObject(parent)
{
}

TrafficLog::~TrafficLog()
{
    for (const auto &f : followers_)
        writeReply(*f);
}

bool TrafficLog::open(const QString &path)
{
    file_.setFileName(path);
    // Unbuffered: each line reaches the file as one write, whatever happens to us next.
    return file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
}

void TrafficLog::follow(const PanelSession &session, const QString &portName)
{
    auto owned = std::make_unique<Follower>();
    Follower *f = owned.get();
    f->session = &session;
    f->fixedName = portName;
    f->name();
    followers_.push_back(std::move(owned));
    connect(&session, &PanelSession::sent, this, [this, f](const QByteArray &b) { sent(*f, b); });
    connect(&session, &PanelSession::arrived, this,
            [this, f](const QByteArray &b) { arrived(*f, b); });
    connect(&session, &QObject::destroyed, this, [this, f] {
        f->session = nullptr;
        writeReply(*f);
    });
}

void TrafficLog::sent(Follower &f, const QByteArray &bytes)
{
    writeReply(f); // what came before this command, whole or not, answered the one before
    f.name();
    f.command = f.session->lastCommand();
    f.split = false;
    writeLine(now(), f.port, "TXD", bytes, renderTraffic(bytesToChars(bytes)), QString());
}

void TrafficLog::arrived(Follower &f, const QByteArray &bytes)
{
    f.name();
    f.pending += bytes;
    f.pendingAtMs = now();
    if (protocol::isWholeReply(f.pending) || f.pending.size() >= kPendingLimit)
        writeReply(f);
}

void TrafficLog::writeReply(Follower &f)
{
    if (f.pending.isEmpty())
        return;
    const QString rxd = renderTraffic(bytesToChars(f.pending));
    QString status;
    if (!f.split)
        status = status::decodeReply(f.command, rxd, nullptr).value_or(QString()).trimmed();
    writeLine(f.pendingAtMs, f.port, "RXD", f.pending, rxd, status);
    f.split = !protocol::isWholeReply(f.pending);
    f.pending.clear();
}

void TrafficLog::writeLine(qint64 atMs, const QString &port, const char *direction,
                           const QByteArray &bytes, const QString &rendered, const QString &status)
{
    if (!file_.isOpen())
        return;
    // The port's name comes from outside (a device path, a link's name) and so may the status:
    // escaped, like every text field, so that a line is one record of six fields.
    const QString line = timeStamp(atMs) + u'\t' + escapeField(port) + u'\t' +
                         QLatin1String(direction) + u'\t' +
                         QString::fromLatin1(bytes.toHex(' ').toUpper()) + u'\t' +
                         escapeField(rendered) + u'\t' + escapeField(status) + u'\n';
    const QByteArray out = line.toUtf8();
    if (file_.write(out) != out.size() && !writeFailed_) {
        writeFailed_ = true; // once: a full disk must not turn into a warning per byte
        qCWarning(lcLog).noquote()
            << tr("The log %1 cannot be written: %2").arg(file_.fileName(), file_.errorString());
    }
}
