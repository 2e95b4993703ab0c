// SPDX-License-Identifier: MIT
#include "line/network_line.h"

#include "core/scheduler.h"
#include "line/com_port_control.h"

#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <utility>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

Q_LOGGING_CATEGORY(lcLine, "odra.line")

namespace {

// ser2net and its kin hang up with a line of text saying why; a few words of it are enough.
QString reasonGiven(const QByteArray &text)
{
    QString reason;
    for (const char c : text.left(160))
        if (c >= 0x20 && c < 0x7F)
            reason += QLatin1Char(c);
        else if (!reason.endsWith(QLatin1Char(' ')))
            reason += QLatin1Char(' ');
    return reason.trimmed();
}

void setTcpOption(qintptr fd, int level, int name, int value)
{
    if (::setsockopt(int(fd), level, name, &value, sizeof value) != 0)
        qCWarning(lcLine) << "could not set socket option" << name << "to" << value;
}

} // namespace

NetworkLine::NetworkLine(Scheduler &scheduler, QObject *parent)
    : Line(parent), connectTimer_(scheduler.createTimer(kConnectTimeoutMs))
{
    connectTimer_->setHandler([this] {
        connectTimer_->setEnabled(false); // once
        onTimeout();
    });
}

NetworkLine::~NetworkLine() = default; // the socket is a child: it goes with the line

template <typename Fn> void NetworkLine::later(Fn fn)
{
    QMetaObject::invokeMethod(
        this,
        [this, generation = generation_, fn] {
            if (generation == generation_)
                fn();
        },
        Qt::QueuedConnection);
}

QString NetworkLine::where() const
{
    return tr("%1 port %2").arg(address_.host).arg(address_.port);
}

qintptr NetworkLine::socketDescriptor() const
{
    return socket_ ? socket_->socketDescriptor() : -1;
}

bool NetworkLine::open(const QString &device, const LineSettings &settings)
{
    return open(DeviceAddress::parse(device), device, settings);
}

bool NetworkLine::open(const DeviceAddress &address, const QString &device,
                       const LineSettings &settings)
{
    clearFailure();
    if (state_ != State::Closed)
        return fail(Failure::Other, tr("The line is already open."));
    if (!address.isNetwork())
        return fail(Failure::BadName, tr("not a network device"));
    if (!address.isValid())
        return fail(Failure::BadName, address.problemText());

    ++generation_; // whatever the last connection still had queued is not about this one
    address_ = address;
    device_ = device;
    settings_ = settings;
    inbox_.clear();
    early_.clear();
    speedAnswersDue_ = 0;
    speedAnswered_ = false;
    state_ = State::Connecting;
    socket_ = new QTcpSocket(this);
    // A device server is reached directly: a proxy would not carry a raw serial stream.
    socket_->setProxy(QNetworkProxy::NoProxy);
    connect(socket_, &QTcpSocket::connected, this, &NetworkLine::onConnected);
    connect(socket_, &QTcpSocket::readyRead, this, &NetworkLine::onReadyRead);
    connect(socket_, &QTcpSocket::errorOccurred, this, &NetworkLine::onError);
    connect(socket_, &QTcpSocket::disconnected, this, &NetworkLine::onDisconnected);
    // The name lookup counts against the three seconds too: an unknown host must not keep the
    // operator waiting longer than a silent one.
    connectTimer_->setEnabled(true);
    socket_->connectToHost(address_.host, address_.port);
    return true;
}

void NetworkLine::onConnected()
{
    const qintptr fd = socket_->socketDescriptor();
    // A command is a few bytes: it must leave at once, not wait to be merged with the next.
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket_->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
#ifdef TCP_KEEPIDLE
    setTcpOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, kKeepIdleS);
    setTcpOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, kKeepIntervalS);
    setTcpOption(fd, IPPROTO_TCP, TCP_KEEPCNT, kKeepCount);
#endif
#ifdef TCP_USER_TIMEOUT
    setTcpOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, kUnacknowledgedMs);
#endif
    Q_UNUSED(fd);

    if (address_.kind == DeviceAddress::Kind::RawSocket) {
        becomeOpen();
        return;
    }
    // The line opens when the server has answered every offer, so that the settings reach the
    // far port before the first command does.
    socket_->write(telnet_.start());
    socket_->flush();
}

void NetworkLine::onReadyRead()
{
    const QByteArray bytes = socket_->readAll();
    if (address_.kind == DeviceAddress::Kind::Rfc2217) {
        readTelnet(bytes);
        return;
    }
    if (state_ != State::Open)
        return;
    inbox_ += bytes;
    emit readyRead();
}

void NetworkLine::readTelnet(const QByteArray &bytes)
{
    // Whatever is called from here (the session reading, a write finding the connection gone)
    // may let this socket go; nothing more is done with it then.
    QTcpSocket *const socket = socket_;
    const telnet::Codec::Incoming in = telnet_.decode(bytes);
    for (const QByteArray &sub : in.subnegotiations)
        readNotice(sub);
    if (state_ == State::Connecting) {
        early_ += in.data.left(kEarlyLimit - early_.size());
    } else if (!in.data.isEmpty()) {
        inbox_ += in.data;
        emit readyRead();
        if (socket_ != socket)
            return;
    }
    if (!in.answer.isEmpty()) {
        socket->write(in.answer);
        socket->flush();
        if (socket_ != socket)
            return;
    }
    if (state_ != State::Connecting || !telnet_.settled())
        return;
    // The server answers the speed once its serial port is open: only then does the line stand.
    // (A server that cannot open its port says why and hangs up instead.) One that does not set
    // its port on request is taken as it is.
    if (!telnet_.enabledHere(telnet::kComPort) || speedAnswered_)
        becomeOpen();
    else if (speedAnswersDue_ == 0)
        sendSettings();
}

void NetworkLine::readNotice(const QByteArray &sub)
{
    if (quint8(sub[0]) != telnet::kComPort)
        return; // another option's news: nothing the line needs
    // Line and modem state notices and the other answers change nothing here; a far port that
    // did not take a setting is worth a line in the log.
    const auto notice = comport::readNotice(QByteArrayView(sub).sliced(1));
    if (!notice)
        return;
    if (notice->request == comport::kSetBaudRate) {
        // A speed nobody asked for says nothing of the settings asked for: the far port is not
        // known to be open with them.
        if (speedAnswersDue_ == 0)
            return;
        speedAnswered_ = true;
        if (--speedAnswersDue_ > 0)
            return; // an answer to an earlier choice of speed
    }
    if (const QString odd = comport::disagreement(*notice, settings_); !odd.isEmpty())
        qCWarning(lcLine).noquote() << tr("%1: the device server set %2").arg(device_, odd);
}

void NetworkLine::becomeOpen()
{
    connectTimer_->setEnabled(false);
    if (address_.kind == DeviceAddress::Kind::Rfc2217 && !telnet_.enabledHere(telnet::kComPort))
        qCWarning(lcLine).noquote()
            << tr("%1: the device server does not set its serial port on request; it keeps its "
                  "own speed and framing")
                   .arg(device_);
    // Bytes that came before the line opened answer nothing the panel sent.
    early_.clear();
    state_ = State::Open;
    later([this] { emit opened(); });
}

void NetworkLine::sendSettings()
{
    ++speedAnswersDue_;
    socket_->write(comport::settingsRequest(settings_));
    socket_->flush();
}

bool NetworkLine::setSettings(const LineSettings &settings)
{
    clearFailure();
    settings_ = settings;
    // A line still connecting sends them once the negotiation is done; when it has sent earlier
    // ones already, these follow them.
    const bool sentBefore = state_ == State::Open || speedAnswersDue_ > 0;
    if (sentBefore && address_.kind == DeviceAddress::Kind::Rfc2217 &&
        telnet_.enabledHere(telnet::kComPort))
        sendSettings();
    return true;
}

bool NetworkLine::write(const QByteArray &bytes)
{
    clearFailure();
    if (state_ != State::Open)
        return fail(Failure::Other, tr("The line is not open."));
    if (bytes.isEmpty())
        return true;
    const QByteArray wire =
        address_.kind == DeviceAddress::Kind::Rfc2217 ? telnet_.encode(bytes) : bytes;
    if (socket_->write(wire) != wire.size())
        return fail(Failure::Other, socket_->errorString());
    // As on a serial port: hand the bytes over now rather than after the repaints the send
    // causes.
    socket_->flush();
    return true;
}

bool NetworkLine::drain(int maxMs)
{
    if (state_ != State::Open || !socket_)
        return true;
    // Into the kernel's send buffer; from there it goes out after we have gone, as the socket's
    // close lingers.
    const QDeadlineTimer deadline(std::max(0, maxMs));
    while (socket_->bytesToWrite() > 0 && !deadline.hasExpired() &&
           socket_->state() == QAbstractSocket::ConnectedState) {
        if (!socket_->waitForBytesWritten(int(std::max<qint64>(1, deadline.remainingTime()))))
            break;
    }
    return socket_->bytesToWrite() == 0;
}

QByteArray NetworkLine::readAll()
{
    return std::exchange(inbox_, QByteArray());
}

void NetworkLine::onError(QAbstractSocket::SocketError error)
{
    if (error == QAbstractSocket::TemporaryError)
        return;
    const bool hungUp = error == QAbstractSocket::RemoteHostClosedError;
    if (state_ == State::Connecting) {
        if (hungUp && !early_.isEmpty())
            giveUp(Failure::Unreachable,
                   tr("the device server hung up: %1").arg(reasonGiven(early_)));
        else
            giveUp(Failure::Unreachable,
                   hungUp ? tr("the device server hung up") : socket_->errorString());
    } else if (state_ == State::Open) {
        lose(hungUp ? tr("the device server at %1 closed the connection").arg(where())
                    : tr("the connection to %1 failed: %2").arg(where(), socket_->errorString()));
    }
}

void NetworkLine::onDisconnected()
{
    // Usually an error has said why already, and the line is closed.
    if (state_ == State::Connecting)
        giveUp(Failure::Unreachable, tr("the device server hung up"));
    else if (state_ == State::Open)
        lose(tr("the device server at %1 closed the connection").arg(where()));
}

void NetworkLine::onTimeout()
{
    if (state_ != State::Connecting)
        return;
    const bool negotiating = socket_->state() == QAbstractSocket::ConnectedState;
    giveUp(Failure::Unreachable,
           negotiating ? tr("the device server did not answer the RFC 2217 negotiation or set "
                            "its serial port within %1 s (if it is a raw TCP port, use "
                            "socket://)")
                             .arg(kConnectTimeoutMs / 1000)
                       : tr("no answer within %1 s").arg(kConnectTimeoutMs / 1000));
}

void NetworkLine::giveUp(Failure failure, const QString &cause)
{
    letGo();
    const QString detail = tr("%1: %2").arg(where(), cause);
    later([this, failure, detail] {
        fail(failure, detail);
        emit openFailed();
    });
}

void NetworkLine::lose(const QString &cause)
{
    letGo();
    later([this, cause] { emit lost(cause); });
}

bool NetworkLine::close()
{
    clearFailure();
    ++generation_; // closed on purpose: nothing still queued is reported
    letGo();
    inbox_.clear();
    return true;
}

void NetworkLine::letGo()
{
    connectTimer_->setEnabled(false);
    state_ = State::Closed;
    QTcpSocket *socket = std::exchange(socket_, nullptr);
    if (!socket)
        return;
    socket->disconnect(this);
    if (socket->state() == QAbstractSocket::ConnectedState) {
        // What is queued still goes out, then the connection closes; a server that does not
        // take it within the connect time is not waited for longer.
        socket->flush();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(kConnectTimeoutMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        socket->disconnectFromHost();
        if (socket->state() != QAbstractSocket::UnconnectedState)
            return;
    } else {
        socket->abort();
    }
    socket->deleteLater();
}
