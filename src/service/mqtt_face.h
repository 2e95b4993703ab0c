// SPDX-License-Identifier: MIT
#pragma once

#include "service/mqtt_client.h"
#include "service/mqtt_settings.h"
#include "service/mqtt_topics.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <optional>
#include <vector>

class LineOwner;
class Scheduler;

// The service's MQTT face: each configured projector's state on retained topics (on change,
// and in full after every connect), its command topics turned into catalogue commands through
// its line's owner, Home Assistant discovery, and the bridge's own availability.
//
// Many odrad share one broker. Each projector id is claimed by the retained topic
// <prefix>/<id>/owner naming the host id that serves it; an id claimed by another host whose
// bridge is online is left alone (logged once), and taken over only when that bridge goes
// offline. The ids a host published are kept retained on <prefix>/bridge/<host>/projectors, so
// that after a restart it can clear what it no longer serves.
class MqttFace final : public QObject
{
    Q_OBJECT
public:
    MqttFace(Scheduler &scheduler, const MqttSettings &settings,
             const QList<LineOwner *> &projectors, QObject *parent = nullptr);
    ~MqttFace() override;

    void start();
    // Every served projector's availability offline, then the bridge's, then disconnected.
    void stop();

private:
    enum class Claim : quint8 {
        Unknown, // not connected, or the broker's claims are not read yet
        Ours,
        Theirs, // another live host serves this id
    };
    struct Projector
    {
        LineOwner *owner = nullptr;
        QString id;
        Claim claim = Claim::Unknown;
        QString holder;                            // the host that serves it, when Theirs
        QHash<QString, QByteArray> published;      // state topic -> payload, since the connect
        std::optional<protocol::PowerState> power; // as last seen, and its status text
        QString powerStatus;
    };

    void connected();
    void received(const QString &topic, const QByteArray &payload);
    void synced();
    void claimed(const QString &id, const QString &host);
    void bridgeSaid(const QString &host, const QByteArray &payload);
    void command(Projector &p, const QString &topic, const QByteArray &payload);
    void take(Projector &p);
    void noteState(Projector &p);
    void publishChanges(Projector &p);
    void publishDiscovery();
    void publishServedList();
    void clearRemoved(const QStringList &previous);
    Projector *find(const QString &id);

    QString topic(const QString &id, const QString &leaf) const;
    QString bridgeTopic(const QString &leaf) const;

    const MqttSettings settings_;
    MqttClient client_;
    std::vector<Projector> projectors_;
    QHash<QString, QString> claims_;     // projector id -> host id, as the broker says
    QHash<QString, bool> bridgesOnline_; // host id -> its availability
    QStringList previouslyServed_;       // our retained list, as found after connecting
    QByteArray syncToken_;
    bool synced_ = false;
    quint64 connects_ = 0;
};
