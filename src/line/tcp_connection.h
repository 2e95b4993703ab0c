// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

#include <sys/socket.h>

class QSocketNotifier;

// One TCP connection on the event loop, on the system's sockets: what a line to a device server
// needs (connect, send, receive, hang up) and nothing more, no proxy and no TLS. The programs
// that talk to projectors load no network library for it, which keeps their start-up short.
//
// A numeric address is connected to at once; a name is looked up on a helper thread, so that a
// slow resolver never holds up the event loop, and each of its addresses is tried in turn.
class TcpConnection final : public QObject
{
    Q_OBJECT
public:
    enum class Error : quint8 {
        HostNotFound, // the name lookup found no address
        Refused,      // nobody listens at that port
        HungUp,       // the far end closed the connection
        Other,        // see errorString()
    };

    explicit TcpConnection(QObject *parent = nullptr);
    ~TcpConnection() override; // closes the socket; bytes still queued are dropped

    // Once per connection. Reports connected() or failed().
    void connectTo(const QString &host, quint16 port);
    bool isConnected() const { return state_ == State::Connected; }
    int descriptor() const { return fd_; }

    // Queues the bytes and hands the kernel what it takes now; false when not connected.
    bool write(const QByteArray &bytes);
    qsizetype bytesToWrite() const { return outbox_.size(); }
    // Waits up to maxMs for everything queued to reach the kernel; true when it has.
    bool waitForBytesWritten(int maxMs);
    QByteArray readAll();
    QString errorString() const { return error_; }

    // Lets the connection go: what is queued is still sent for up to graceMs, then the socket
    // closes and the object deletes itself. It reports nothing more.
    void closeAfterSending(int graceMs);

signals:
    void connected();
    void readyRead();
    // Once; the socket is closed by then.
    void failed(TcpConnection::Error error);

private:
    enum class State : quint8 { Idle, LookingUp, Connecting, Connected, Closing, Closed };
    struct Lookup;

    void lookedUp(const std::shared_ptr<Lookup> &lookup);
    void tryNextAddress();
    void onWritable();
    void onReadable();
    bool sendSome(); // false when the connection failed meanwhile
    void fail(Error error, const QString &text);
    void closeSocket();

    State state_ = State::Idle;
    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> readNotifier_;
    std::unique_ptr<QSocketNotifier> writeNotifier_;
    std::vector<sockaddr_storage> addresses_; // left to try, in the resolver's order
    int lastConnectError_ = 0; // errno of the last address that could not be reached
    QByteArray inbox_;
    QByteArray outbox_;
    QString error_;
};
