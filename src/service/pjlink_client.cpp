// SPDX-License-Identifier: MIT
#include "service/pjlink_client.h"

#include "core/scheduler.h"
#include "service/login_limiter.h"
#include "service/pjlink_device.h"
#include "service/pjlink_protocol.h"

#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QTcpSocket>

Q_LOGGING_CATEGORY(lcPjlink, "odra.service.pjlink")

namespace {

QByteArray randomText()
{
    QByteArray bytes(pjlink::kRandomLength / 2, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(bytes.data()),
                                          bytes.size() / qsizetype(sizeof(quint32)));
    return bytes.toHex();
}

// Constant time, so that the time of the answer says nothing about the digest.
bool sameDigest(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        difference |= uchar(a[i] ^ b[i]);
    return difference == 0;
}

} // namespace

PjlinkClient::PjlinkClient(Scheduler &scheduler, QTcpSocket *socket, PjlinkDevice &device,
                           const QString &password, LoginLimiter &limiter,
                           const QString &projectorId, QObject *parent)
    : QObject(parent), scheduler_(scheduler), socket_(socket), device_(device), password_(password),
      limiter_(limiter), projectorId_(projectorId), idle_(scheduler.createTimer(kIdleMs)),
      closeGrace_(scheduler.createTimer(kCloseGraceMs))
{
    socket_->setParent(this);
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    peer_ = socket_->peerAddress().toString();
    idle_->setHandler([this] { close(); });
    closeGrace_->setHandler([this] { done(); });
    connect(socket_, &QTcpSocket::readyRead, this, &PjlinkClient::readLines);
    connect(socket_, &QTcpSocket::disconnected, this, &PjlinkClient::done);
    connect(socket_, &QTcpSocket::errorOccurred, this, [this] {
        if (socket_->state() != QAbstractSocket::ConnectedState)
            done();
    });

    if (!password_.isEmpty()) {
        phase_ = Phase::Login;
        random_ = randomText();
    }
    socket_->write(pjlink::greeting(random_));
    idle_->setEnabled(true);
}

PjlinkClient::~PjlinkClient()
{
    *alive_ = false;
}

void PjlinkClient::readLines()
{
    if (phase_ == Phase::Closing) {
        socket_->readAll(); // nothing more is heard
        return;
    }
    buffer_ += socket_->readAll();
    // The login digest comes on top of the first line.
    const qsizetype longest =
        pjlink::kMaxLine + (phase_ == Phase::Login ? pjlink::kDigestLength : 0);
    while (!busy_ && phase_ != Phase::Closing) {
        while (buffer_.startsWith('\n'))
            buffer_.remove(0, 1); // the LF of a CR LF
        const qsizetype end = buffer_.indexOf('\r');
        if (end < 0) {
            if (buffer_.size() >= longest)
                close(); // no line is that long: only garbage is
            break;
        }
        if (end + 1 > longest) {
            close();
            break;
        }
        QByteArray line = buffer_.left(end);
        buffer_.remove(0, end + 1);
        take(line);
    }
    if (buffer_.size() > kMaxWaiting)
        close();
}

void PjlinkClient::take(QByteArray line)
{
    idle_->setEnabled(false); // a command: the idle count starts anew
    idle_->setEnabled(true);
    if (phase_ == Phase::Login) {
        const std::optional<pjlink::Login> login = pjlink::splitLogin(line);
        const QByteArray expected = pjlink::digest(random_, password_.toLatin1());
        if (!login || !sameDigest(login->digest, expected)) {
            qCWarning(lcPjlink).noquote()
                << tr("%1: wrong PJLink password from %2").arg(projectorId_, peer_);
            if (limiter_.failed(socket_->peerAddress()))
                qCWarning(lcPjlink).noquote()
                    << tr("%1: %2 failed more than %3 times in a minute: refused for a minute")
                           .arg(projectorId_, peer_)
                           .arg(LoginLimiter::kFailures);
            close(pjlink::kLoginFailed);
            return;
        }
        phase_ = Phase::Commands;
        line = login->rest;
    } else if (const auto login = pjlink::splitLogin(line); login && login->rest.startsWith('%')) {
        line = login->rest; // a digest where none is asked for: the command counts
    }

    const pjlink::ParsedLine parsed = pjlink::parseLine(line);
    switch (parsed.kind) {
    case pjlink::LineKind::Unreadable: return; // nothing to answer it with
    case pjlink::LineKind::Undefined:
        answer(pjlink::reply(parsed.command, pjlink::Code::UndefinedCommand));
        return;
    case pjlink::LineKind::OutOfParameter:
        answer(pjlink::reply(parsed.command, pjlink::Code::OutOfParameter));
        return;
    case pjlink::LineKind::Command: break;
    }
    busy_ = true;
    std::weak_ptr<bool> alive = alive_;
    device_.handle(parsed.command, [this, alive](const QByteArray &reply) {
        if (alive.expired() || !*alive.lock())
            return;
        busy_ = false;
        answer(reply);
        // Lines that came meanwhile, from the event loop: this may run inside the device.
        QMetaObject::invokeMethod(this, &PjlinkClient::readLines, Qt::QueuedConnection);
    });
}

void PjlinkClient::answer(const QByteArray &reply)
{
    if (phase_ == Phase::Closing)
        return;
    socket_->write(reply); // whole: clients read one answer per segment
}

void PjlinkClient::close(const QByteArray &last)
{
    if (phase_ == Phase::Closing)
        return;
    phase_ = Phase::Closing;
    idle_->setEnabled(false);
    if (!last.isEmpty())
        socket_->write(last);
    socket_->disconnectFromHost();
    // A client that reads nothing keeps the last bytes from going: it goes all the same.
    if (socket_->state() != QAbstractSocket::UnconnectedState)
        closeGrace_->setEnabled(true);
    else
        done();
}

void PjlinkClient::done()
{
    idle_->setEnabled(false);
    closeGrace_->setEnabled(false);
    if (!*alive_)
        return;
    *alive_ = false;
    socket_->abort();
    emit finished(this);
}
