// SPDX-License-Identifier: MIT
#pragma once

#include "line/device_address.h"
#include "line/line.h"
#include "line/tcp_connection.h"
#include "line/telnet_codec.h"

#include <memory>

class PeriodicTimer;
class Scheduler;

// The line to a serial device server on the network: rfc2217://HOST:PORT, where the server sets
// its serial port to the panel's speed and framing and every byte travels telnet-escaped, or
// socket://HOST:PORT, where bytes travel as they are and the far port keeps its own settings.
//
// Connecting happens in the background and gives up after kConnectTimeoutMs; the line counts
// as open only once the connection stands (for RFC 2217, once the server has answered the
// negotiation and the settings are on their way). A connection that goes away later is a lost
// line, reported once, like an unplugged adapter.
class NetworkLine final : public Line
{
    Q_OBJECT
public:
    static constexpr int kConnectTimeoutMs = 3000;
    // A server that stops answering (switched off, cable pulled) is noticed after about 30 s:
    // probes start after 10 s of silence, every 5 s, and 4 unanswered ones end the connection;
    // data left unacknowledged for 30 s ends it too.
    static constexpr int kKeepIdleS = 10;
    static constexpr int kKeepIntervalS = 5;
    static constexpr int kKeepCount = 4;
    static constexpr int kUnacknowledgedMs = 30000;

    explicit NetworkLine(Scheduler &scheduler, QObject *parent = nullptr);
    ~NetworkLine() override;

    bool open(const QString &device, const LineSettings &settings) override;
    // The same, for an address already read from the device's name.
    bool open(const DeviceAddress &address, const QString &device, const LineSettings &settings);
    bool close() override;
    bool isOpen() const override { return state_ == State::Open; }
    bool isConnecting() const override { return state_ == State::Connecting; }
    bool setSettings(const LineSettings &settings) override;
    bool write(const QByteArray &bytes) override;
    bool drain(int maxMs) override;
    QByteArray readAll() override;

    // The connection's socket, for a look at its options; -1 when there is none.
    qintptr socketDescriptor() const;

private:
    enum class State : quint8 { Closed, Connecting, Open };

    void onConnected();
    void onReadyRead();
    void onError(TcpConnection::Error error);
    void onTimeout();
    void readTelnet(const QByteArray &bytes);
    void readNotice(const QByteArray &subnegotiation);
    void becomeOpen();
    void sendSettings();
    void giveUp(Failure failure, const QString &cause);
    void lose(const QString &cause);
    void letGo();
    // Runs fn from the event loop, unless the line has been closed or opened again by then.
    template <typename Fn> void later(Fn fn);
    QString where() const;

    DeviceAddress address_;
    QString device_;
    LineSettings settings_;
    State state_ = State::Closed;
    TcpConnection *socket_ = nullptr;
    // Gives up a connection (and its negotiation) that has not stood up in time.
    std::unique_ptr<PeriodicTimer> connectTimer_;
    telnet::Codec telnet_;
    QByteArray inbox_;
    // What the server sent while the connection was still being made: the reason it gives
    // when it hangs up before the line opens (ser2net says why the port cannot be had).
    QByteArray early_;
    static constexpr qsizetype kEarlyLimit = 1024;
    int speedAnswersDue_ = 0;    // speed requests the server has not answered yet
    bool speedAnswered_ = false; // the far port has answered once: it is open
    quint64 generation_ = 0;
};
