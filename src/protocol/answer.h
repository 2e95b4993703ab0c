// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <optional>

// The projector's answer to one command, worked out once for every face: where it ends, what it
// says on the status line, and what it reads as (a power state, an input, hours).
namespace protocol {

// The power state of a "CR0" reply, one per status code, in the order of the status texts.
enum class PowerState : quint8 {
    On,                            // " Power ON"
    StandBy,                       // " Stand by"
    CountDown,                     // " Count down": warming up
    CoolingDown,                   // " Cooling down"
    PowerFail,                     // " Power Fail"
    TemperatureWarning,            // on, with a temperature warning
    NoKeyInput,                    // on, keys locked
    LampOffByPowerManagement,      // on, lamp switched off for want of a signal
    TemperatureWarningCoolingDown, // cooling down after a temperature warning
    LampOffTemperatureWarning,     // lamp off after a temperature warning
    TemperatureWarningRecovered,   // stand-by after a temperature warning
    CoolingDownLampFail,           // cooling down, every lamp failed
    StandByLampFail,               // stand-by after every lamp failed
};

// The mute state of a "CRA" reply.
enum class MuteState : quint8 { Off, Picture, Sound, PictureAndSound, NoSignal, StandBy };

// The picture orientation of a "CR4" reply.
enum class Orientation : quint8 { Normal, TopBottomReversed, LeftRightReversed, BothReversed };

// The lamps of a "CR7" reply: which of the two are lit, and the lamp mode.
struct LampState
{
    enum class Mode : quint8 { TwoLamps, OneLampFirst, OneLampSecond };
    Mode mode = Mode::TwoLamps;
    bool firstLit = false;
    bool secondLit = false;
    bool operator==(const LampState &) const = default;
};

// The three readings of a "CR6" reply, in degrees Celsius.
struct Temperatures
{
    double first = 0, second = 0, third = 0;
    bool operator==(const Temperatures &) const = default;
};

struct Answer
{
    QString command;  // the command string it answers, its carriage return included
    QByteArray bytes; // what arrived for it; ACKs of earlier commands are not part of it
    bool complete = false; // its closing carriage return, or the lone ACK of a control command
    // The status line's text for it, exactly as the status line shows it; nothing when the
    // command is no status query or no rule reads the reply.
    std::optional<QString> status;

    // Readings, where the command asks for one and the reply carries it.
    std::optional<PowerState> power;      // "CR0"
    std::optional<int> input;             // "CR1": input mode 1 to 4
    std::optional<MuteState> mute;        // "CRA"
    std::optional<qint64> lampHours;      // "CR3"
    std::optional<Temperatures> temperatures; // "CR6"
    std::optional<LampState> lamps;       // "CR7"
    std::optional<Orientation> orientation;   // "CR4"
    std::optional<qint64> pressureHpa;    // "CR PRESSURE"

    // A lone ACK: a control command taken.
    bool acknowledged() const;
    // The status text without the blanks that frame it on the status line.
    QString statusText() const { return status.value_or(QString()).trimmed(); }
};

// The answer to command (its carriage return included) from the bytes that arrived for it.
Answer readAnswer(QStringView command, QByteArrayView bytes, bool complete);

// Whether the bytes that came back for one command are its whole reply: an answer ends with its
// carriage return, and a control command is acknowledged by a lone ACK. Anything else may still
// be on its way until the reply window ends.
bool isWholeReply(QByteArrayView reply);

// Where one command's answer starts and ends in what the line hands over. A projector
// acknowledges a control command with an ACK and no carriage return, so a command sent before
// the last one was answered may leave its ACK in front of the next command's answer: each ACK in
// front, up to one per command sent since anything last arrived, is taken for one of theirs.
class AnswerFramer
{
public:
    // A command went out: its answer starts with what arrives from now on.
    void sent();
    // What arrived; returns the part of it that belongs to the latest command's answer. Only
    // the first room bytes of it are kept (a receiver whose buffer is full sees no more).
    QByteArrayView take(QByteArrayView bytes, qsizetype room = kLimit);
    // The answer's bytes so far (at most limit), and whether it has started and ended.
    const QByteArray &bytes() const { return answer_; }
    bool started() const { return started_; }
    bool complete() const { return isWholeReply(answer_); }
    // Forget the answer (the reply window ended); ACKs still owed stay owed.
    void reset();

    // The most bytes kept of one answer.
    static constexpr qsizetype kLimit = 32767;

private:
    QByteArray answer_;
    bool started_ = false;
    int acksToSkip_ = 0;        // ACKs of earlier commands that may still stand in front
    int sendsSinceArrival_ = 0; // commands sent since anything last arrived
};

} // namespace protocol
