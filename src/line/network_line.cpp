// SPDX-License-Identifier: MIT
#include "line/network_line.h"

#include "core/scheduler.h"
#include "line/com_port_control.h"

#include <QLoggingCategory>

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

void setSocketOption(int fd, int level, int name, int value)
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

NetworkLine::~NetworkLine() = default; // the connection is a child: it goes with the line

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
    return socket_ ? socket_->descriptor() : -1;
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
    // A device server is reached directly, never through a proxy: a proxy would not carry a
    // raw serial stream.
    socket_ = new TcpConnection(this);
    connect(socket_, &TcpConnection::connected, this, &NetworkLine::onConnected);
    connect(socket_, &TcpConnection::readyRead, this, &NetworkLine::onReadyRead);
    connect(socket_, &TcpConnection::failed, this, &NetworkLine::onError);
    // The name lookup counts against the three seconds too: an unknown host must not keep the
    // operator waiting longer than a silent one.
    connectTimer_->setEnabled(true);
    socket_->connectTo(address_.host, address_.port);
    return true;
}

void NetworkLine::onConnected()
{
    const int fd = socket_->descriptor();
    // A command is a few bytes: it must leave at once, not wait to be merged with the next.
    setSocketOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
    setSocketOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
#ifdef TCP_KEEPIDLE
    setSocketOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, kKeepIdleS);
    setSocketOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, kKeepIntervalS);
    setSocketOption(fd, IPPROTO_TCP, TCP_KEEPCNT, kKeepCount);
#endif
#ifdef TCP_USER_TIMEOUT
    setSocketOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, kUnacknowledgedMs);
#endif

    if (address_.kind == DeviceAddress::Kind::RawSocket) {
        becomeOpen();
        return;
    }
    // The line opens when the server has answered every offer, so that the settings reach the
    // far port before the first command does.
    socket_->write(telnet_.start());
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
    TcpConnection *const socket = socket_;
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
    // Handed to the kernel now, as on a serial port, rather than after the repaints the send
    // causes. A connection found gone meanwhile is reported as lost.
    if (!socket_->write(wire))
        return fail(Failure::Other, tr("The line is not open."));
    return true;
}

bool NetworkLine::drain(int maxMs)
{
    if (state_ != State::Open || !socket_)
        return true;
    // Into the kernel's send buffer; from there it goes out after we have gone, as the socket's
    // close lingers.
    return socket_->waitForBytesWritten(std::max(0, maxMs));
}

QByteArray NetworkLine::readAll()
{
    return std::exchange(inbox_, QByteArray());
}

void NetworkLine::onError(TcpConnection::Error error)
{
    const bool hungUp = error == TcpConnection::Error::HungUp;
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

void NetworkLine::onTimeout()
{
    if (state_ != State::Connecting)
        return;
    const bool negotiating = socket_->isConnected();
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
    TcpConnection *socket = std::exchange(socket_, nullptr);
    if (!socket)
        return;
    socket->disconnect(this);
    // What is queued still goes out, then the connection closes; a server that does not take
    // it within the connect time is not waited for longer.
    socket->closeAfterSending(kConnectTimeoutMs);
}
