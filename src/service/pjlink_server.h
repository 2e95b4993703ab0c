// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>

#include <memory>

class LineOwner;
class LoginLimiter;
class PjlinkClient;
class PjlinkDevice;
class QTcpServer;
class Scheduler;

// One projector's PJLink face: a TCP server on the projector's listen address, a session per
// client, up to kMaxClients at once. An address refused for failed logins is closed unheard.
class PjlinkServer final : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxClients = 32;

    PjlinkServer(Scheduler &scheduler, LineOwner &owner, LoginLimiter &limiter,
                 QObject *parent = nullptr);
    ~PjlinkServer() override;

    // False, with the reason in error(), when the address cannot be listened on.
    bool listen();
    void close();
    QString error() const { return error_; }
    quint16 port() const; // the port listened on (the configured one, or the system's choice)
    int clients() const { return clients_; }

private:
    void accept();

    Scheduler &scheduler_;
    LineOwner &owner_;
    LoginLimiter &limiter_;
    std::unique_ptr<PjlinkDevice> device_;
    std::unique_ptr<QTcpServer> server_;
    QString error_;
    int clients_ = 0;
};
