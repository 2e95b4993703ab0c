// SPDX-License-Identifier: MIT
#include "session/traffic_log.h"

#include "protocol/traffic.h"
#include "protocol/answer.h"
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
    QString fixedName;
    QString port; // as the session last announced it
    QByteArray pending; // what arrived since the last reply line
    qint64 pendingAtMs = 0; // when the last of it arrived
    bool split = false;     // the reply outgrew the limit: its later pieces are not decoded
    bool awaiting = false;  // a command went out and the session has not answered it yet

    QString name() const { return fixedName.isEmpty() ? port : fixedName; }
};

TrafficLog::TrafficLog(QObject *parent) : QObject(parent)
{
}

TrafficLog::~TrafficLog()
{
    for (const auto &f : followers_)
        writeReply(*f, QString());
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
    f->fixedName = portName;
    f->port = QStringLiteral("COM%1 (%2)").arg(session.port()).arg(session.device());
    followers_.push_back(std::move(owned));
    connect(&session, &PanelSession::portOpened, this, [f](int port, const QString &device) {
        f->port = QStringLiteral("COM%1 (%2)").arg(port).arg(device);
    });
    connect(&session, &PanelSession::sent, this, [this, f](const QByteArray &b) { sent(*f, b); });
    connect(&session, &PanelSession::arrived, this,
            [this, f](const QByteArray &b) { arrived(*f, b); });
    connect(&session, &PanelSession::answered, this, [this, f](const protocol::Answer &answer) {
        // The reply line that ends with this answer says what it decodes to.
        f->awaiting = false;
        if (!f->split)
            writeReply(*f, answer.statusText());
    });
    connect(&session, &QObject::destroyed, this, [this, f] {
        writeReply(*f, QString());
    });
}

void TrafficLog::sent(Follower &f, const QByteArray &bytes)
{
    writeReply(f, QString()); // what came before this command and answered nothing whole
    f.split = false;
    f.awaiting = true;
    writeLine(now(), f.name(), "TXD", bytes, renderTraffic(bytesToChars(bytes)), QString());
}

void TrafficLog::arrived(Follower &f, const QByteArray &bytes)
{
    f.pending += bytes;
    f.pendingAtMs = now();
    // What comes while no command awaits its answer is written as it ends; a reply that does
    // not end is written in pieces, undecoded, so that no byte is held back for long.
    if (!f.awaiting && protocol::isWholeReply(f.pending)) {
        writeReply(f, QString());
    } else if (f.pending.size() >= kPendingLimit) {
        writeReply(f, QString());
        f.split = true;
    }
}

void TrafficLog::writeReply(Follower &f, const QString &status)
{
    if (f.pending.isEmpty())
        return;
    writeLine(f.pendingAtMs, f.name(), "RXD", f.pending, renderTraffic(bytesToChars(f.pending)),
              status);
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
