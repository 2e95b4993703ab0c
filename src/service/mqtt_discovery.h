// SPDX-License-Identifier: MIT
#pragma once

#include "service/mqtt_topics.h"

#include <QList>
#include <QString>

// Home Assistant's MQTT discovery: the retained config messages that make each projector a
// device of its own, with its entities, behind the odrad host's device (via_device), available
// only while both the projector's and the bridge's availability topics say online.
namespace mqtt {

struct DiscoveryNames
{
    QString discoveryPrefix; // "homeassistant"
    QString prefix;          // our topics' root, "odra"
    QString hostId;
};

struct DiscoveredProjector
{
    QString id;
    QString name;
    QString model;
    QString maker;
};

// The bridge's own device: a connectivity sensor on its availability topic, which the
// projectors' devices name as their via_device.
TopicPayload bridgeDiscovery(const DiscoveryNames &names);

// Every entity of one projector; topics are absolute.
QList<TopicPayload> projectorDiscovery(const DiscoveryNames &names,
                                       const DiscoveredProjector &projector);

// The config topics of a projector that is no longer served: an empty retained payload on each
// removes its entities.
QStringList projectorDiscoveryTopics(const QString &discoveryPrefix, const QString &id);

// An id as Home Assistant takes it in topics and unique ids: letters, digits, '_' and '-';
// anything else becomes '_'.
QString discoveryId(const QString &id);

} // namespace mqtt
