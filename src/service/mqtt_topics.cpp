// SPDX-License-Identifier: MIT
#include "service/mqtt_topics.h"

#include "protocol/catalogue.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <array>

namespace mqtt {
namespace {

using protocol::PowerState;

// One name per power state, in the enum's order.
constexpr std::array<std::string_view, 13> kPowerStateNames = {
    "on",                                // On
    "standby",                           // StandBy
    "warming",                           // CountDown
    "cooling",                           // CoolingDown
    "power-fail",                        // PowerFail
    "on-temperature-warning",            // TemperatureWarning
    "on-keys-locked",                    // NoKeyInput
    "on-lamp-off-no-signal",             // LampOffByPowerManagement
    "cooling-temperature-warning",       // TemperatureWarningCoolingDown
    "lamp-off-temperature-warning",      // LampOffTemperatureWarning
    "standby-after-temperature-warning", // TemperatureWarningRecovered
    "cooling-lamp-fail",                 // CoolingDownLampFail
    "standby-lamp-fail",                 // StandByLampFail
};
static_assert(kPowerStateNames.size() == size_t(PowerState::StandByLampFail) + 1,
              "a name for every power state");

// The catalogue's commands for the input modes 1 to 4.
constexpr std::array<std::string_view, 4> kInputCommands = {"input-1", "input-2", "input-3",
                                                            "input-lan"};

// A setting topic: the command for ON and for OFF, and the query that shows its effect: a
// catalogue command, or the projector's own query where the catalogue has no button for it.
struct Switch
{
    std::string_view topic;
    std::string_view on, off;
    std::string_view query;      // empty: none
    std::string_view typedQuery; // empty: none
};
constexpr Switch kSwitches[] = {
    {"power/set", "power-on", "power-off", "status", {}},
    {"picture-mute/set", "no-show-on", "no-show-off", {}, "CRA"},
    {"sound-mute/set", "sound-mute-on", "sound-mute-off", {}, "CRA"},
    {"freeze/set", "freeze-on", "freeze-off", {}, {}},
};

QByteArray onOff(bool on)
{
    return on ? QByteArrayLiteral("ON") : QByteArrayLiteral("OFF");
}

QString text(std::string_view s)
{
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

ProjectorRequest request(std::string_view name, int holdMs = 0)
{
    const protocol::Command *command = protocol::findCommand(name);
    Q_ASSERT(command); // names from our own tables
    return ProjectorRequest::of(*command, holdMs);
}

Command failed(const QString &why)
{
    return {{}, why};
}

Command readPress(const QByteArray &payload)
{
    QString name;
    int holdMs = 0;
    if (payload.trimmed().startsWith('{')) {
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(payload, &error);
        if (!doc.isObject())
            return failed(QStringLiteral("press: no JSON object (%1)").arg(error.errorString()));
        const QJsonObject o = doc.object();
        for (auto it = o.begin(); it != o.end(); ++it) {
            if (it.key() != QLatin1String("command") && it.key() != QLatin1String("hold_ms"))
                return failed(QStringLiteral("press: unknown field \"%1\"").arg(it.key()));
        }
        if (!o.value(QLatin1String("command")).isString())
            return failed(QStringLiteral("press: \"command\" must be a catalogue name"));
        name = o.value(QLatin1String("command")).toString();
        const QJsonValue hold = o.value(QLatin1String("hold_ms"));
        if (!hold.isUndefined()) {
            const double ms = hold.toDouble(-1);
            if (!hold.isDouble() || ms < 0 || ms > kMaxHoldMs || ms != double(int(ms)))
                return failed(QStringLiteral("press: \"hold_ms\" must be whole milliseconds "
                                             "from 0 to %1")
                                  .arg(kMaxHoldMs));
            holdMs = int(ms);
        }
    } else {
        name = QString::fromUtf8(payload.trimmed());
    }
    const QByteArray latin = name.toLatin1();
    const protocol::Command *command =
        protocol::findCommand(std::string_view(latin.constData(), size_t(latin.size())));
    if (!command || name.isEmpty())
        return failed(QStringLiteral("press: no command is called \"%1\"").arg(name));
    if (holdMs > 0 && command->kind == protocol::Kind::OneShot)
        return failed(QStringLiteral("press: %1 is no button to hold").arg(name));
    return {{ProjectorRequest::of(*command, holdMs)}, {}};
}

Command readSend(const QByteArray &payload, SendPolicy send)
{
    if (send != SendPolicy::Allowed)
        return failed(QStringLiteral("send: typed commands are off (allow-send = false)"));
    if (payload.isEmpty() || payload.size() > kMaxTypedLength)
        return failed(
            QStringLiteral("send: a typed command is 1 to %1 characters").arg(kMaxTypedLength));
    // One command, in the characters the line carries: a CR or LF inside would smuggle a
    // second command past this check.
    for (const char c : payload) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b > 0x7E)
            return failed(QStringLiteral("send: only printable ASCII, one command"));
    }
    ProjectorRequest r;
    r.text = QString::fromLatin1(payload);
    return {{r}, {}};
}

} // namespace

QByteArray powerStateName(PowerState state)
{
    const std::string_view name = kPowerStateNames.at(size_t(state));
    return QByteArray(name.data(), qsizetype(name.size()));
}

std::span<const std::string_view> powerStateNames()
{
    return kPowerStateNames;
}

bool powerIsOn(PowerState state)
{
    switch (state) {
    case PowerState::On:
    case PowerState::CountDown:
    case PowerState::TemperatureWarning:
    case PowerState::NoKeyInput:
    case PowerState::LampOffByPowerManagement: return true;
    default: return false;
    }
}

QByteArray errorName(PowerState state)
{
    switch (state) {
    case PowerState::PowerFail: return "power-fail";
    case PowerState::TemperatureWarning:
    case PowerState::TemperatureWarningCoolingDown:
    case PowerState::LampOffTemperatureWarning:
    case PowerState::TemperatureWarningRecovered: return "temperature";
    case PowerState::CoolingDownLampFail:
    case PowerState::StandByLampFail: return "lamp";
    default: return "none";
    }
}

QStringList inputNames()
{
    QStringList names;
    for (const std::string_view name : kInputCommands)
        names << text(name);
    return names;
}

QList<TopicPayload> stateTopics(const ProjectorState &state, const QString &status)
{
    using protocol::MuteState;
    QList<TopicPayload> out;
    out.append({QStringLiteral("availability"), state.available ? "online" : "offline"});
    if (const auto &p = state.power.value) {
        out.append({QStringLiteral("power"), onOff(powerIsOn(*p))});
        out.append({QStringLiteral("power-state"), powerStateName(*p)});
        out.append({QStringLiteral("error"), errorName(*p)});
    }
    if (const auto &input = state.input.value; input && *input >= 1 && *input <= 4)
        out.append({QStringLiteral("input"), inputNames().at(*input - 1).toLatin1()});
    // "No signal" and stand-by say nothing about either mute.
    if (const auto &m = state.mute.value;
        m && *m != MuteState::NoSignal && *m != MuteState::StandBy) {
        out.append({QStringLiteral("picture-mute"),
                    onOff(*m == MuteState::Picture || *m == MuteState::PictureAndSound)});
        out.append({QStringLiteral("sound-mute"),
                    onOff(*m == MuteState::Sound || *m == MuteState::PictureAndSound)});
    }
    if (const auto &f = state.freeze.value)
        out.append({QStringLiteral("freeze"), onOff(*f)});
    if (const auto &h = state.lampHours.value)
        out.append({QStringLiteral("lamp-hours"), QByteArray::number(*h)});
    if (const auto &t = state.temperatures.value) {
        const QJsonObject o{{QStringLiteral("first"), t->first},
                            {QStringLiteral("second"), t->second},
                            {QStringLiteral("third"), t->third}};
        out.append(
            {QStringLiteral("temperatures"), QJsonDocument(o).toJson(QJsonDocument::Compact)});
    }
    if (!status.isEmpty())
        out.append({QStringLiteral("status"), status.toUtf8()});
    return out;
}

Command readCommand(QStringView topic, const QByteArray &payload, SendPolicy send)
{
    if (topic == QLatin1String("press"))
        return readPress(payload);
    if (topic == QLatin1String("send"))
        return readSend(payload, send);
    const QByteArray word = payload.trimmed().toUpper();
    if (topic == QLatin1String("input/set")) {
        const QString name = QString::fromUtf8(payload.trimmed()).toLower();
        for (const std::string_view input : kInputCommands) {
            if (name == text(input))
                return {{request(input), request("input-mode")}, {}};
        }
        return failed(QStringLiteral("input/set: no input is called \"%1\" (%2)")
                          .arg(name, inputNames().join(QLatin1String(", "))));
    }
    for (const Switch &s : kSwitches) {
        if (topic != text(s.topic))
            continue;
        if (word != "ON" && word != "OFF")
            return failed(QStringLiteral("%1: ON or OFF").arg(topic));
        Command c{{request(word == "ON" ? s.on : s.off)}, {}};
        if (!s.query.empty())
            c.requests.append(request(s.query));
        if (!s.typedQuery.empty()) {
            ProjectorRequest query;
            query.text = text(s.typedQuery);
            c.requests.append(query);
        }
        return c;
    }
    return failed(QStringLiteral("no command topic \"%1\"").arg(topic));
}

QString escaped(const QByteArray &bytes)
{
    constexpr qsizetype kShown = 80;
    QString out;
    for (const char c : bytes.first(qMin(bytes.size(), kShown))) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F && b != '\\')
            out += QLatin1Char(c);
        else
            out += QStringLiteral("\\x%1").arg(b, 2, 16, QLatin1Char('0'));
    }
    if (bytes.size() > kShown)
        out += QStringLiteral("... (%1 bytes)").arg(bytes.size());
    return out;
}

} // namespace mqtt
