// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class LoginLimiter;
class PeriodicTimer;
class PjlinkDevice;
class QTcpSocket;
class Scheduler;

// One client's PJLink session: the greeting, the login on its first command when the projector
// has a password, then one command line at a time, each answered in a single write. A line
// longer than the protocol allows, a wrong password, or kIdleMs without a command ends it. The
// client can hold up nobody but itself: what it sends waits in its own buffer, and the projector
// hears only what PjlinkDevice makes of whole, valid commands.
class PjlinkClient final : public QObject
{
    Q_OBJECT
public:
    static constexpr int kIdleMs = 30000;
    // Lines sent ahead of their answers wait, up to this many bytes.
    static constexpr qsizetype kMaxWaiting = 1024;
    // How long a closing connection may take to hand over its last reply.
    static constexpr int kCloseGraceMs = 2000;

    PjlinkClient(Scheduler &scheduler, QTcpSocket *socket, PjlinkDevice &device,
                 const QString &password, LoginLimiter &limiter, const QString &projectorId,
                 QObject *parent = nullptr);
    ~PjlinkClient() override;

    QString peer() const { return peer_; }

signals:
    void finished(PjlinkClient *client);

private:
    enum class Phase : quint8 { Login, Commands, Closing };

    void readLines();
    void take(QByteArray line);
    void answer(const QByteArray &reply);
    void close(const QByteArray &last = QByteArray());
    void done();

    Scheduler &scheduler_;
    QTcpSocket *socket_;
    PjlinkDevice &device_;
    const QString password_;
    LoginLimiter &limiter_;
    const QString projectorId_;
    QString peer_;
    QByteArray random_;
    QByteArray buffer_;
    Phase phase_ = Phase::Commands;
    bool busy_ = false; // a command of this client is with the projector
    std::unique_ptr<PeriodicTimer> idle_, closeGrace_;
    // Tells the device's pending answers that this client has gone.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
