// SPDX-License-Identifier: MIT
#include "service/mqtt_discovery.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <string_view>

namespace mqtt {
namespace {

enum class Extra : quint8 { None, PowerStates, Inputs, LampHours, Problem, Press };

// One entity per row: its component, its key (in the topic and the unique id), what Home
// Assistant calls it, and its topics under the projector's own ("~").
struct Entity
{
    std::string_view component;
    std::string_view key;
    std::string_view name;
    std::string_view stateTopic;   // empty: none
    std::string_view commandTopic; // empty: none
    Extra extra = Extra::None;
    std::string_view payload = {}; // a button's press payload
};

// clang-format off
constexpr Entity kEntities[] = {
    {"switch",        "power",        "Power",        "~/power",        "~/power/set"},
    {"sensor",        "power-state",  "Power state",  "~/power-state",  {},                   Extra::PowerStates},
    {"select",        "input",        "Input",        "~/input",        "~/input/set",        Extra::Inputs},
    {"switch",        "picture-mute", "Picture mute", "~/picture-mute", "~/picture-mute/set"},
    {"switch",        "sound-mute",   "Sound mute",   "~/sound-mute",   "~/sound-mute/set"},
    {"switch",        "freeze",       "Freeze",       "~/freeze",       "~/freeze/set"},
    {"sensor",        "lamp-hours",   "Lamp hours",   "~/lamp-hours",   {},                   Extra::LampHours},
    {"binary_sensor", "problem",      "Problem",      "~/error",        {},                   Extra::Problem},
    {"button",        "volume-up",    "Volume up",    {},               "~/press",            Extra::Press, "volume-up"},
    {"button",        "volume-down",  "Volume down",  {},               "~/press",            Extra::Press, "volume-down"},
};
// clang-format on

QString text(std::string_view s)
{
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

QString configTopic(const QString &discoveryPrefix, std::string_view component, const QString &node,
                    std::string_view key)
{
    return QStringLiteral("%1/%2/%3/%4/config")
        .arg(discoveryPrefix, text(component), node, text(key));
}

QString bridgeNode(const DiscoveryNames &names)
{
    return QStringLiteral("odra_bridge_") + discoveryId(names.hostId);
}

QString bridgeAvailability(const DiscoveryNames &names)
{
    return QStringLiteral("%1/bridge/%2/availability").arg(names.prefix, names.hostId);
}

QByteArray json(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

void addExtra(QJsonObject &o, const Entity &e)
{
    switch (e.extra) {
    case Extra::None: break;
    case Extra::PowerStates: {
        QJsonArray options;
        for (const std::string_view name : powerStateNames())
            options.append(text(name));
        o[QLatin1String("device_class")] = QStringLiteral("enum");
        o[QLatin1String("options")] = options;
        break;
    }
    case Extra::Inputs:
        o[QLatin1String("options")] = QJsonArray::fromStringList(inputNames());
        break;
    case Extra::LampHours:
        o[QLatin1String("device_class")] = QStringLiteral("duration");
        o[QLatin1String("unit_of_measurement")] = QStringLiteral("h");
        o[QLatin1String("state_class")] = QStringLiteral("total_increasing");
        o[QLatin1String("entity_category")] = QStringLiteral("diagnostic");
        break;
    case Extra::Problem:
        o[QLatin1String("device_class")] = QStringLiteral("problem");
        o[QLatin1String("value_template")] =
            QStringLiteral("{{ 'OFF' if value == 'none' else 'ON' }}");
        break;
    case Extra::Press: o[QLatin1String("payload_press")] = text(e.payload); break;
    }
}

} // namespace

QString discoveryId(const QString &id)
{
    QString out = id;
    for (QChar &c : out) {
        const bool plain = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                           (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                           (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                           c == QLatin1Char('_') || c == QLatin1Char('-');
        if (!plain)
            c = QLatin1Char('_');
    }
    return out;
}

TopicPayload bridgeDiscovery(const DiscoveryNames &names)
{
    const QString node = bridgeNode(names);
    const QJsonObject device{{QStringLiteral("identifiers"), QJsonArray{node}},
                             {QStringLiteral("name"), QStringLiteral("odrad ") + names.hostId},
                             {QStringLiteral("manufacturer"), QStringLiteral("ODRA control")},
                             {QStringLiteral("model"), QStringLiteral("odrad")},
                             {QStringLiteral("sw_version"), QStringLiteral(ODRA_VERSION)}};
    const QJsonObject o{{QStringLiteral("name"), QStringLiteral("Connected")},
                        {QStringLiteral("unique_id"), node + QStringLiteral("_connected")},
                        {QStringLiteral("device_class"), QStringLiteral("connectivity")},
                        {QStringLiteral("entity_category"), QStringLiteral("diagnostic")},
                        {QStringLiteral("state_topic"), bridgeAvailability(names)},
                        {QStringLiteral("payload_on"), QStringLiteral("online")},
                        {QStringLiteral("payload_off"), QStringLiteral("offline")},
                        {QStringLiteral("device"), device}};
    return {configTopic(names.discoveryPrefix, "binary_sensor", node, "connected"), json(o)};
}

QList<TopicPayload> projectorDiscovery(const DiscoveryNames &names,
                                       const DiscoveredProjector &projector)
{
    const QString node = QStringLiteral("odra_") + discoveryId(projector.id);
    const QJsonObject device{{QStringLiteral("identifiers"), QJsonArray{node}},
                             {QStringLiteral("name"), projector.name},
                             {QStringLiteral("model"), projector.model},
                             {QStringLiteral("manufacturer"), projector.maker},
                             {QStringLiteral("via_device"), bridgeNode(names)}};
    const QJsonArray availability{
        QJsonObject{{QStringLiteral("topic"),
                     QStringLiteral("%1/%2/availability").arg(names.prefix, projector.id)}},
        QJsonObject{{QStringLiteral("topic"), bridgeAvailability(names)}}};

    QList<TopicPayload> out;
    for (const Entity &e : kEntities) {
        QJsonObject o{
            {QStringLiteral("~"), QStringLiteral("%1/%2").arg(names.prefix, projector.id)},
            {QStringLiteral("name"), text(e.name)},
            {QStringLiteral("unique_id"), node + QLatin1Char('_') + text(e.key)},
            {QStringLiteral("object_id"), node + QLatin1Char('_') + text(e.key)},
            {QStringLiteral("availability"), availability},
            {QStringLiteral("availability_mode"), QStringLiteral("all")},
            {QStringLiteral("device"), device}};
        if (!e.stateTopic.empty())
            o[QLatin1String("state_topic")] = text(e.stateTopic);
        if (!e.commandTopic.empty())
            o[QLatin1String("command_topic")] = text(e.commandTopic);
        addExtra(o, e);
        out.append({configTopic(names.discoveryPrefix, e.component, node, e.key), json(o)});
    }
    return out;
}

QStringList projectorDiscoveryTopics(const QString &discoveryPrefix, const QString &id)
{
    const QString node = QStringLiteral("odra_") + discoveryId(id);
    QStringList topics;
    for (const Entity &e : kEntities)
        topics << configTopic(discoveryPrefix, e.component, node, e.key);
    return topics;
}

} // namespace mqtt
