// SPDX-License-Identifier: MIT
#include "protocol/answer.h"

#include "protocol/decoder.h"
#include "protocol/traffic.h"

#include <QList>

#include <algorithm>
#include <array>

namespace protocol {
namespace {

constexpr char kAck = 0x06;

// The lamp states of the "CR7" status texts, row by row.
constexpr std::array<LampState, 8> kLampStates = {{
    {LampState::Mode::TwoLamps, false, false},
    {LampState::Mode::TwoLamps, true, false},
    {LampState::Mode::TwoLamps, false, true},
    {LampState::Mode::TwoLamps, true, true},
    {LampState::Mode::OneLampFirst, false, false},
    {LampState::Mode::OneLampFirst, true, false},
    {LampState::Mode::OneLampSecond, false, false},
    {LampState::Mode::OneLampSecond, false, true},
}};

// The reply without its closing carriage return: what a reading is read from. Only a whole
// reply is read: half of "01234" is not 12 hours.
QByteArrayView body(QByteArrayView bytes, bool complete)
{
    if (!complete || bytes.isEmpty() || bytes.back() != '\r')
        return {};
    return bytes.first(bytes.size() - 1);
}

std::optional<qint64> hours(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 9)
        return std::nullopt;
    qint64 value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// Three readings separated by blanks: "035.5 036.0 038.5".
std::optional<Temperatures> temperatures(QByteArrayView text)
{
    const QList<QByteArray> parts = text.toByteArray().split(' ');
    std::array<double, 3> values{};
    int n = 0;
    for (const QByteArray &part : parts) {
        if (part.isEmpty())
            continue;
        if (n == 3)
            return std::nullopt;
        bool ok = false;
        values[n++] = part.toDouble(&ok);
        if (!ok)
            return std::nullopt;
    }
    if (n != 3)
        return std::nullopt;
    return Temperatures{values[0], values[1], values[2]};
}

} // namespace

bool Answer::acknowledged() const
{
    return bytes.size() == 1 && bytes.front() == kAck;
}

bool isWholeReply(QByteArrayView reply)
{
    return !reply.isEmpty() &&
           (reply.back() == '\r' || (reply.size() == 1 && reply.front() == kAck));
}

Answer readAnswer(QStringView command, QByteArrayView bytes, bool complete)
{
    Answer answer;
    answer.command = command.toString();
    answer.bytes = bytes.toByteArray();
    answer.complete = complete;
    if (bytes.isEmpty())
        return answer;

    const status::Decoded decoded =
        status::decodeReply(command, renderTraffic(QString::fromLatin1(bytes)));
    answer.status = decoded.text;
    if (!decoded.query)
        return answer;
    const int row = decoded.row;
    switch (*decoded.query) {
    case status::Query::PowerState:
        if (row >= 0)
            answer.power = PowerState(row);
        break;
    case status::Query::InputMode:
        if (row >= 0)
            answer.input = row + 1;
        break;
    case status::Query::Orientation:
        if (row >= 0)
            answer.orientation = Orientation(row);
        break;
    case status::Query::Mute:
        if (row >= 0)
            answer.mute = MuteState(row);
        break;
    case status::Query::Lamps:
        if (row >= 0 && row < int(kLampStates.size()))
            answer.lamps = kLampStates[size_t(row)];
        break;
    case status::Query::LampTime: answer.lampHours = hours(body(bytes, complete)); break;
    case status::Query::Temperatures:
        answer.temperatures = temperatures(body(bytes, complete));
        break;
    case status::Query::Pressure: answer.pressureHpa = decoded.pressure; break;
    case status::Query::Copy: break;
    }
    return answer;
}

void AnswerFramer::sent()
{
    acksToSkip_ = sendsSinceArrival_;
    ++sendsSinceArrival_;
    reset();
}

QByteArrayView AnswerFramer::take(QByteArrayView bytes, qsizetype room)
{
    if (bytes.isEmpty())
        return {};
    sendsSinceArrival_ = 0;
    bytes = bytes.first(std::clamp<qsizetype>(std::min(room, kLimit - answer_.size()), 0,
                                              bytes.size()));
    // An ACK has no CR: each one in front, up to one for each command sent before this one and
    // not yet answered, acknowledges one of those.
    while (!started_ && acksToSkip_ > 0 && !bytes.isEmpty() && bytes.front() == kAck) {
        bytes = bytes.sliced(1);
        --acksToSkip_;
    }
    if (bytes.isEmpty())
        return {};
    started_ = true;
    answer_.append(bytes.data(), bytes.size());
    return bytes;
}

void AnswerFramer::reset()
{
    answer_.clear();
    started_ = false;
}

} // namespace protocol
