// SPDX-License-Identifier: MIT
#include "service/mqtt_face.h"

#include "service/line_owner.h"
#include "service/mqtt_discovery.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QRandomGenerator>

Q_LOGGING_CATEGORY(lcMqttFace, "odra.service.mqtt")

namespace {

const QString kBridge = QStringLiteral("bridge");
const QByteArray kOnline = QByteArrayLiteral("online");
const QByteArray kOffline = QByteArrayLiteral("offline");
// Until the configuration names them, every projector is what we make.
const QString kModel = QStringLiteral("MP-Q85/Q75");
const QString kMaker = QStringLiteral("ODRA");

// Every state topic a projector may have: those of a state in which every reading is known.
QStringList allStateTopics()
{
    ProjectorState full;
    full.power.value = protocol::PowerState::On;
    full.input.value = 1;
    full.mute.value = protocol::MuteState::Off;
    full.freeze.value = false;
    full.lampHours.value = 0;
    full.temperatures.value = protocol::Temperatures{};
    QStringList topics;
    for (const mqtt::TopicPayload &t : mqtt::stateTopics(full, QStringLiteral("known")))
        topics << t.topic;
    return topics;
}

} // namespace

MqttFace::MqttFace(Scheduler &scheduler, const MqttSettings &settings,
                   const QList<LineOwner *> &projectors, QObject *parent)
    : QObject(parent), settings_(settings),
      client_(scheduler, settings,
              {QStringLiteral("%1/bridge/%2/availability").arg(settings.prefix, settings.hostId),
               kOffline},
              this)
{
    projectors_.reserve(size_t(projectors.size()));
    for (LineOwner *owner : projectors) {
        const QString id = owner->id();
        // The bridge's own topics sit beside the projectors'; an id that would be a wildcard
        // or span levels cannot have topics of its own.
        if (!isTopicLevel(id) || id == kBridge) {
            qCWarning(lcMqttFace, "projector \"%s\": its id cannot stand in a topic; not on MQTT",
                      qUtf8Printable(id));
            continue;
        }
        Projector p;
        p.owner = owner;
        p.id = id;
        projectors_.push_back(std::move(p));
    }
    for (size_t i = 0; i < projectors_.size(); ++i) {
        const auto changed = [this, i] {
            noteState(projectors_[i]);
            publishChanges(projectors_[i]);
        };
        connect(projectors_[i].owner, &LineOwner::stateChanged, this, changed);
        connect(projectors_[i].owner, &LineOwner::lineUpChanged, this, changed);
    }
    connect(&client_, &MqttClient::connected, this, &MqttFace::connected);
    connect(&client_, &MqttClient::disconnected, this, [this] { synced_ = false; });
    connect(&client_, &MqttClient::messageReceived, this, &MqttFace::received);
}

MqttFace::~MqttFace() = default;

void MqttFace::start()
{
    client_.start();
}

void MqttFace::stop()
{
    if (client_.isConnected()) {
        for (Projector &p : projectors_) {
            if (p.claim == Claim::Ours)
                client_.publish(topic(p.id, QStringLiteral("availability")), kOffline,
                                MqttClient::Retain::Yes);
        }
    }
    client_.stop(kOffline);
}

QString MqttFace::topic(const QString &id, const QString &leaf) const
{
    return QStringLiteral("%1/%2/%3").arg(settings_.prefix, id, leaf);
}

QString MqttFace::bridgeTopic(const QString &leaf) const
{
    return QStringLiteral("%1/bridge/%2/%3").arg(settings_.prefix, settings_.hostId, leaf);
}

MqttFace::Projector *MqttFace::find(const QString &id)
{
    for (Projector &p : projectors_) {
        if (p.id == id)
            return &p;
    }
    return nullptr;
}

// After a connect nothing is published for a projector before the broker's retained claims are
// read: we subscribe to them, then publish a token to ourselves; the broker hands over what it
// retains for a subscription before anything published after it, so when the token comes back
// every claim is known.
void MqttFace::connected()
{
    synced_ = false;
    claims_.clear();
    bridgesOnline_.clear();
    previouslyServed_.clear();
    for (Projector &p : projectors_) {
        p.claim = Claim::Unknown;
        p.published.clear();
    }
    const QString &prefix = settings_.prefix;
    for (const QString &filter :
         {prefix + QStringLiteral("/+/owner"), prefix + QStringLiteral("/bridge/+/availability"),
          bridgeTopic(QStringLiteral("projectors")), bridgeTopic(QStringLiteral("sync")),
          prefix + QStringLiteral("/+/+/set"), prefix + QStringLiteral("/+/press"),
          prefix + QStringLiteral("/+/send")})
        client_.subscribe(filter);
    if (!settings_.discoveryPrefix.isEmpty())
        client_.subscribe(settings_.discoveryPrefix + QStringLiteral("/status"));
    client_.publish(bridgeTopic(QStringLiteral("availability")), kOnline, MqttClient::Retain::Yes);
    syncToken_ = QByteArray::number(QRandomGenerator::global()->generate64(), 16);
    client_.publish(bridgeTopic(QStringLiteral("sync")), syncToken_, MqttClient::Retain::No);
}

void MqttFace::received(const QString &topic, const QByteArray &payload)
{
    if (!settings_.discoveryPrefix.isEmpty() &&
        topic == settings_.discoveryPrefix + QStringLiteral("/status")) {
        // Home Assistant came back (and may have forgotten): everything again.
        if (payload == kOnline && synced_) {
            publishDiscovery();
            for (Projector &p : projectors_) {
                p.published.clear();
                publishChanges(p);
            }
        }
        return;
    }
    if (!topic.startsWith(settings_.prefix + QLatin1Char('/')))
        return;
    const QStringList levels = topic.mid(settings_.prefix.size() + 1).split(QLatin1Char('/'));
    if (levels.size() == 3 && levels.at(0) == kBridge) {
        const QString &host = levels.at(1);
        const QString &leaf = levels.at(2);
        if (leaf == QLatin1String("availability"))
            bridgeSaid(host, payload);
        else if (host == settings_.hostId && leaf == QLatin1String("sync") &&
                 payload == syncToken_ && !synced_)
            synced();
        else if (host == settings_.hostId && leaf == QLatin1String("projectors") && !synced_)
            for (const QJsonValue &id : QJsonDocument::fromJson(payload).array())
                previouslyServed_ << id.toString();
        return;
    }
    if (levels.size() == 2 && levels.at(1) == QLatin1String("owner")) {
        claimed(levels.at(0), QString::fromUtf8(payload));
        return;
    }
    Projector *p = find(levels.at(0));
    // Commands for projectors served elsewhere are theirs to answer.
    if (!p || p->claim != Claim::Ours)
        return;
    command(*p, levels.mid(1).join(QLatin1Char('/')), payload);
}

void MqttFace::synced()
{
    synced_ = true;
    for (Projector &p : projectors_) {
        const QString holder = claims_.value(p.id);
        if (holder.isEmpty() || holder == settings_.hostId || !bridgesOnline_.value(holder)) {
            take(p);
        } else {
            p.claim = Claim::Theirs;
            p.holder = holder;
            qCWarning(lcMqttFace,
                      "projector \"%s\" is served by host \"%s\" on this broker already: a "
                      "projector id is one projector across all hosts; not publishing it here",
                      qUtf8Printable(p.id), qUtf8Printable(holder));
        }
    }
    clearRemoved(previouslyServed_);
    publishServedList();
    publishDiscovery();
}

void MqttFace::take(Projector &p)
{
    p.claim = Claim::Ours;
    p.holder.clear();
    client_.publish(topic(p.id, QStringLiteral("owner")), settings_.hostId.toUtf8(),
                    MqttClient::Retain::Yes);
    p.published.clear();
    publishChanges(p);
}

void MqttFace::claimed(const QString &id, const QString &host)
{
    if (host.isEmpty())
        claims_.remove(id);
    else
        claims_.insert(id, host);
    Projector *p = synced_ ? find(id) : nullptr;
    if (!p || host.isEmpty() || host == settings_.hostId)
        return;
    if (p->claim == Claim::Theirs) {
        p->holder = host;
        return;
    }
    // Two hosts claimed the same id at once (both found it free). The lower host id keeps
    // it, so that both come to the same conclusion without talking.
    if (host < settings_.hostId) {
        p->claim = Claim::Theirs;
        p->holder = host;
        qCWarning(lcMqttFace,
                  "projector \"%s\" is claimed by host \"%s\" too; it keeps it, not publishing "
                  "it here",
                  qUtf8Printable(id), qUtf8Printable(host));
    } else {
        qCWarning(lcMqttFace, "projector \"%s\" is claimed by host \"%s\" too; keeping it here",
                  qUtf8Printable(id), qUtf8Printable(host));
        client_.publish(topic(id, QStringLiteral("owner")), settings_.hostId.toUtf8(),
                        MqttClient::Retain::Yes);
    }
}

void MqttFace::bridgeSaid(const QString &host, const QByteArray &payload)
{
    const bool online = payload == kOnline;
    bridgesOnline_.insert(host, online);
    if (online || host == settings_.hostId || !synced_)
        return;
    // A host gone from the broker leaves its projectors; where we have the same id, we serve it.
    bool took = false;
    for (Projector &p : projectors_) {
        if (p.claim == Claim::Theirs && p.holder == host) {
            qCWarning(lcMqttFace, "projector \"%s\": host \"%s\" went offline; serving it here",
                      qUtf8Printable(p.id), qUtf8Printable(host));
            take(p);
            took = true;
        }
    }
    if (took) {
        publishServedList();
        publishDiscovery();
    }
}

void MqttFace::command(Projector &p, const QString &leaf, const QByteArray &payload)
{
    const mqtt::Command c = mqtt::readCommand(
        leaf, payload, settings_.allowSend ? mqtt::SendPolicy::Allowed : mqtt::SendPolicy::Refused);
    if (!c.error.isEmpty()) {
        qCWarning(lcMqttFace, "projector \"%s\": %s; ignored \"%s\"", qUtf8Printable(p.id),
                  qUtf8Printable(c.error), qUtf8Printable(mqtt::escaped(payload)));
        return;
    }
    for (const ProjectorRequest &r : c.requests)
        p.owner->submit(r);
}

// The status topic says what the power query said when the power state last changed ("Power
// ON"). The line's owner keeps the text of whichever state query came last (the input's, the
// mutes'), which would change the topic on every poll. It tells of an answer as it takes it, so
// when the power state has just changed, the text is the power query's.
void MqttFace::noteState(Projector &p)
{
    const ProjectorState &s = p.owner->state();
    if (s.power.value && s.power.value != p.power) {
        p.power = s.power.value;
        p.powerStatus = s.status.value.value_or(QString());
    }
}

void MqttFace::publishChanges(Projector &p)
{
    if (!synced_ || p.claim != Claim::Ours || !client_.isConnected())
        return;
    for (const mqtt::TopicPayload &t : mqtt::stateTopics(p.owner->state(), p.powerStatus)) {
        const auto it = p.published.constFind(t.topic);
        if (it != p.published.constEnd() && *it == t.payload)
            continue;
        if (client_.publish(topic(p.id, t.topic), t.payload, MqttClient::Retain::Yes))
            p.published.insert(t.topic, t.payload);
    }
}

void MqttFace::publishDiscovery()
{
    if (settings_.discoveryPrefix.isEmpty())
        return;
    const mqtt::DiscoveryNames names{settings_.discoveryPrefix, settings_.prefix, settings_.hostId};
    const mqtt::TopicPayload bridge = mqtt::bridgeDiscovery(names);
    client_.publish(bridge.topic, bridge.payload, MqttClient::Retain::Yes);
    for (const Projector &p : projectors_) {
        if (p.claim != Claim::Ours)
            continue;
        for (const mqtt::TopicPayload &t :
             mqtt::projectorDiscovery(names, {p.id, p.owner->name(), kModel, kMaker}))
            client_.publish(t.topic, t.payload, MqttClient::Retain::Yes);
    }
}

void MqttFace::publishServedList()
{
    QJsonArray ids;
    for (const Projector &p : projectors_) {
        if (p.claim == Claim::Ours)
            ids.append(p.id);
    }
    client_.publish(bridgeTopic(QStringLiteral("projectors")),
                    QJsonDocument(ids).toJson(QJsonDocument::Compact), MqttClient::Retain::Yes);
}

// What we served before and serve no more: its retained topics go (an empty retained payload
// deletes one), unless another host serves that id now.
void MqttFace::clearRemoved(const QStringList &previous)
{
    const QStringList stateTopics = allStateTopics();
    for (const QString &id : previous) {
        if (find(id) || !isTopicLevel(id) || id == kBridge)
            continue;
        const QString holder = claims_.value(id);
        if (!holder.isEmpty() && holder != settings_.hostId)
            continue;
        qCInfo(lcMqttFace, "projector \"%s\" is no longer configured: clearing its topics",
               qUtf8Printable(id));
        QStringList topics;
        if (!settings_.discoveryPrefix.isEmpty())
            topics = mqtt::projectorDiscoveryTopics(settings_.discoveryPrefix, id);
        for (const QString &leaf : stateTopics)
            topics << topic(id, leaf);
        topics << topic(id, QStringLiteral("owner"));
        for (const QString &t : topics)
            client_.publish(t, QByteArray(), MqttClient::Retain::Yes);
    }
}
