// SPDX-License-Identifier: MIT
#include "service/pjlink_server.h"

#include "service/line_owner.h"
#include "service/login_limiter.h"
#include "service/pjlink_client.h"
#include "service/pjlink_device.h"

#include <QLoggingCategory>
#include <QTcpServer>
#include <QTcpSocket>

Q_DECLARE_LOGGING_CATEGORY(lcPjlink)

PjlinkServer::PjlinkServer(Scheduler &scheduler, LineOwner &owner, LoginLimiter &limiter,
                           QObject *parent)
    : QObject(parent), scheduler_(scheduler), owner_(owner), limiter_(limiter),
      device_(std::make_unique<PjlinkDevice>(scheduler, owner)),
      server_(std::make_unique<QTcpServer>())
{
    // Pending connections beyond what is served wait in the kernel, not in us.
    server_->setMaxPendingConnections(kMaxClients);
    connect(server_.get(), &QTcpServer::newConnection, this, &PjlinkServer::accept);
}

PjlinkServer::~PjlinkServer()
{
    close();
}

bool PjlinkServer::listen()
{
    const ProjectorConfig &config = owner_.config();
    if (server_->listen(config.listenAddress, config.listenPort)) {
        qCInfo(lcPjlink).noquote() << tr("%1: PJLink on %2").arg(config.id, config.listenText());
        return true;
    }
    error_ = tr("%1: cannot listen on %2: %3")
                 .arg(config.id, config.listenText(), server_->errorString());
    return false;
}

void PjlinkServer::close()
{
    server_->close();
    // The clients go with their sockets; none may answer after this.
    const auto clients = findChildren<PjlinkClient *>(Qt::FindDirectChildrenOnly);
    for (PjlinkClient *client : clients)
        delete client;
    clients_ = 0;
}

quint16 PjlinkServer::port() const
{
    return server_->serverPort();
}

void PjlinkServer::accept()
{
    while (QTcpSocket *socket = server_->nextPendingConnection()) {
        if (limiter_.refused(socket->peerAddress()) || clients_ >= kMaxClients) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++clients_;
        auto *client = new PjlinkClient(scheduler_, socket, *device_, owner_.config().password,
                                        limiter_, owner_.id(), this);
        connect(client, &PjlinkClient::finished, this, [this](PjlinkClient *finished) {
            --clients_;
            finished->deleteLater();
        });
    }
}
