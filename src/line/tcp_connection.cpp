// SPDX-License-Identifier: MIT
#include "line/tcp_connection.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

namespace {

// What arrives is read in rounds of at most this much, so that a flood from the far end still
// leaves the event loop its turn.
constexpr qsizetype kReadRound = 64 * 1024;

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// An address written in digits needs no lookup.
bool numericAddress(const QByteArray &host, quint16 port, sockaddr_storage &out)
{
    out = sockaddr_storage{};
    auto *v4 = reinterpret_cast<sockaddr_in *>(&out);
    if (::inet_pton(AF_INET, host.constData(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        return true;
    }
    auto *v6 = reinterpret_cast<sockaddr_in6 *>(&out);
    if (::inet_pton(AF_INET6, host.constData(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        return true;
    }
    return false;
}

socklen_t lengthOf(const sockaddr_storage &address)
{
    return address.ss_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
}

// Stops watching and lets the notifier go from the event loop: it may be the one whose signal
// is being handled.
void dropNotifier(std::unique_ptr<QSocketNotifier> &notifier)
{
    if (!notifier)
        return;
    notifier->setEnabled(false);
    notifier.release()->deleteLater();
}

} // namespace

// The helper thread's findings, read once it has finished.
struct TcpConnection::Lookup
{
    std::vector<sockaddr_storage> addresses;
    int status = 0; // getaddrinfo's answer
};

TcpConnection::TcpConnection(QObject *parent) : QObject(parent)
{
}

TcpConnection::~TcpConnection()
{
    readNotifier_.reset();
    writeNotifier_.reset();
    if (fd_ >= 0)
        ::close(fd_);
}

void TcpConnection::connectTo(const QString &host, quint16 port)
{
    if (state_ != State::Idle)
        return;
    const QByteArray name = host.toUtf8();
    sockaddr_storage address;
    if (numericAddress(name, port, address)) {
        addresses_.push_back(address);
        state_ = State::Connecting;
        // From the event loop, as after a lookup: nothing is reported from inside connectTo().
        QMetaObject::invokeMethod(this, &TcpConnection::tryNextAddress, Qt::QueuedConnection);
        return;
    }
    state_ = State::LookingUp;
    auto lookup = std::make_shared<Lookup>();
    QThread *resolver = QThread::create([lookup, name, port] {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_NUMERICSERV;
        addrinfo *found = nullptr;
        lookup->status =
            ::getaddrinfo(name.constData(), QByteArray::number(port).constData(), &hints, &found);
        for (const addrinfo *a = found; a; a = a->ai_next) {
            if (a->ai_addrlen > sizeof(sockaddr_storage))
                continue;
            sockaddr_storage s{};
            std::memcpy(&s, a->ai_addr, a->ai_addrlen);
            lookup->addresses.push_back(s);
        }
        if (found)
            ::freeaddrinfo(found);
    });
    // The thread outlives a connection let go meanwhile; its answer then goes nowhere.
    connect(resolver, &QThread::finished, this, [this, lookup] { lookedUp(lookup); });
    connect(resolver, &QThread::finished, resolver, &QObject::deleteLater);
    resolver->start();
}

void TcpConnection::lookedUp(const std::shared_ptr<Lookup> &lookup)
{
    if (state_ != State::LookingUp)
        return;
    if (lookup->addresses.empty()) {
        const int status = lookup->status;
        const bool unknown = status == 0 || status == EAI_NONAME || status == EAI_NODATA ||
                             status == EAI_FAIL || status == EAI_ADDRFAMILY;
        fail(Error::HostNotFound,
             unknown ? tr("Host not found")
                     : tr("Host not found: %1").arg(QString::fromLocal8Bit(::gai_strerror(status))));
        return;
    }
    addresses_ = std::move(lookup->addresses);
    state_ = State::Connecting;
    tryNextAddress();
}

void TcpConnection::tryNextAddress()
{
    if (state_ != State::Connecting)
        return;
    dropNotifier(writeNotifier_);
    if (fd_ >= 0)
        ::close(std::exchange(fd_, -1));
    int lastError = 0;
    while (!addresses_.empty()) {
        const sockaddr_storage address = addresses_.front();
        addresses_.erase(addresses_.begin());
        fd_ = ::socket(address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd_ < 0) {
            lastError = errno;
            continue;
        }
        if (::connect(fd_, reinterpret_cast<const sockaddr *>(&address), lengthOf(address)) == 0 ||
            errno == EINPROGRESS) {
            // Writable once the connection stands or has failed; SO_ERROR says which.
            writeNotifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Write);
            connect(writeNotifier_.get(), &QSocketNotifier::activated, this,
                    &TcpConnection::onWritable);
            return;
        }
        lastError = errno;
        ::close(std::exchange(fd_, -1));
    }
    if (lastError == 0)
        lastError = lastConnectError_;
    fail(lastError == ECONNREFUSED ? Error::Refused : Error::Other, systemError(lastError));
}

void TcpConnection::onWritable()
{
    if (state_ != State::Connecting) {
        sendSome();
        return;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        error = errno;
    if (error != 0) {
        lastConnectError_ = error;
        tryNextAddress(); // the next address, or the failure
        return;
    }
    addresses_.clear();
    state_ = State::Connected;
    writeNotifier_->setEnabled(false);
    readNotifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(readNotifier_.get(), &QSocketNotifier::activated, this, &TcpConnection::onReadable);
    emit connected();
}

void TcpConnection::onReadable()
{
    if (state_ != State::Connected && state_ != State::Closing)
        return;
    char buffer[4096];
    qsizetype got = 0;
    int error = 0;
    bool hungUp = false;
    while (got < kReadRound) {
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n > 0) {
            inbox_.append(buffer, n);
            got += n;
            continue;
        }
        if (n == 0)
            hungUp = true;
        else if (errno == EINTR)
            continue;
        else if (errno != EAGAIN && errno != EWOULDBLOCK)
            error = errno;
        break;
    }
    if (state_ == State::Closing) {
        inbox_.clear(); // nobody reads any more
        if (hungUp || error)
            fail(Error::HungUp, QString());
        return;
    }
    // What came before the end is delivered first; the reader may let the connection go.
    if (got > 0) {
        const QPointer<TcpConnection> alive(this);
        emit readyRead();
        if (!alive || state_ != State::Connected)
            return;
    }
    if (hungUp)
        fail(Error::HungUp, tr("The remote host closed the connection"));
    else if (error)
        fail(error == ECONNRESET || error == EPIPE ? Error::HungUp : Error::Other,
             systemError(error));
}

bool TcpConnection::write(const QByteArray &bytes)
{
    if (state_ != State::Connected)
        return false;
    outbox_ += bytes;
    sendSome();
    return true;
}

bool TcpConnection::sendSome()
{
    while (!outbox_.isEmpty()) {
        const ssize_t n = ::send(fd_, outbox_.constData(), size_t(outbox_.size()), MSG_NOSIGNAL);
        if (n > 0) {
            outbox_.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        const int error = n < 0 ? errno : EPIPE;
        fail(error == EPIPE || error == ECONNRESET ? Error::HungUp : Error::Other,
             systemError(error));
        return false;
    }
    if (outbox_.isEmpty() && state_ == State::Closing) {
        closeSocket();
        state_ = State::Closed;
        deleteLater();
        return true;
    }
    if (writeNotifier_)
        writeNotifier_->setEnabled(!outbox_.isEmpty());
    return true;
}

bool TcpConnection::waitForBytesWritten(int maxMs)
{
    const QDeadlineTimer deadline(std::max(0, maxMs));
    while (state_ == State::Connected && !outbox_.isEmpty()) {
        pollfd p{fd_, POLLOUT, 0};
        const int ready = ::poll(&p, 1, int(std::max<qint64>(0, deadline.remainingTime())));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0 || !sendSome() || deadline.hasExpired())
            break;
    }
    return outbox_.isEmpty();
}

QByteArray TcpConnection::readAll()
{
    return std::exchange(inbox_, QByteArray());
}

void TcpConnection::closeAfterSending(int graceMs)
{
    if (state_ == State::Connected && !outbox_.isEmpty()) {
        state_ = State::Closing;
        QTimer::singleShot(graceMs, this, [this] {
            closeSocket();
            state_ = State::Closed;
            deleteLater();
        });
        return;
    }
    closeSocket();
    state_ = State::Closed;
    deleteLater();
}

void TcpConnection::fail(Error error, const QString &text)
{
    const bool closing = state_ == State::Closing;
    closeSocket();
    state_ = State::Closed;
    outbox_.clear();
    if (closing) {
        deleteLater();
        return;
    }
    error_ = text;
    emit failed(error);
}

void TcpConnection::closeSocket()
{
    dropNotifier(readNotifier_);
    dropNotifier(writeNotifier_);
    addresses_.clear();
    if (fd_ >= 0)
        ::close(std::exchange(fd_, -1));
}
