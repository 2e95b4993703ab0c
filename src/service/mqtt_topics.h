// SPDX-License-Identifier: MIT
#pragma once

#include "protocol/answer.h"
#include "service/projector_state.h"
#include "session/request_queue.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <span>
#include <string_view>

// What one projector's topics say, and what its command topics may ask: the translation between
// MQTT payloads and the projector's state and catalogue commands, with no broker in sight.
// Topics here are relative to <prefix>/<id>/.
namespace mqtt {

struct TopicPayload
{
    QString topic;
    QByteArray payload;
    bool operator==(const TopicPayload &) const = default;
};

// The state topics of one projector as its state reads: availability always, each reading only
// once it is known (an unknown reading leaves its retained topic as it was). status is what the
// status topic says (the power query's text); empty leaves it out.
QList<TopicPayload> stateTopics(const ProjectorState &state, const QString &status = {});

// The name of a power state on the power-state topic ("standby", "warming", "on", "cooling",
// "power-fail", and the warning states), and every name in the order of the power states.
QByteArray powerStateName(protocol::PowerState state);
std::span<const std::string_view> powerStateNames();
// Power is ON while the projector warms up or is on (whatever the warning), OFF from the moment
// it cools down: a switch shows where the projector is going.
bool powerIsOn(protocol::PowerState state);
// The error topic: "none", or what is wrong ("temperature", "lamp", "power-fail").
QByteArray errorName(protocol::PowerState state);

// The names the input topic uses, in the order of the input modes 1 to 4: the catalogue's own.
QStringList inputNames();

enum class SendPolicy : quint8 { Refused, Allowed };

// A message on one of a projector's command topics: the requests it makes, in order (a
// setting, then the query that shows its effect where there is one), or why it makes none.
struct Command
{
    QList<ProjectorRequest> requests;
    QString error; // empty when understood
};

// topic: "power/set", "input/set", "picture-mute/set", "sound-mute/set", "freeze/set", "press"
// or "send". Nothing but catalogue commands comes out, and typed text only when allowed.
Command readCommand(QStringView topic, const QByteArray &payload, SendPolicy send);

// Outside text for a log line: printable ASCII as it is, every other byte as \xNN, cut short.
QString escaped(const QByteArray &bytes);

// The longest hold a press may ask for, and the longest typed command.
constexpr int kMaxHoldMs = 10000;
constexpr int kMaxTypedLength = 128;

} // namespace mqtt
