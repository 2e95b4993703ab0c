// SPDX-License-Identifier: MIT
#include "projector.h"

#include <string_view>

namespace {

constexpr char Ack = 0x06;
constexpr char Cr = 0x0D;

// Lamp hours run fast, so that they visibly grow during a demonstration: every second the
// lamp is lit counts as one hour, on top of the hours the lamp had when we started.
constexpr int LampHoursAtStart = 1234;
constexpr qint64 LampMsPerHour = 1000;
constexpr int LampHoursMax = 99999;

// Three temperatures of five characters each, blank-separated: "ddd.d ddd.d ddd.d". The panel
// shows reply characters 1-5, 8-11 and 13-17, that is the first and the third reading whole
// and the second without its hundreds digit, which stays 0 for any temperature below 100.
constexpr const char *TemperaturesStandBy = "024.5 025.0 026.0";
constexpr const char *TemperaturesLit = "035.5 036.0 038.5";
constexpr const char *TemperaturesCooling = "031.0 032.5 034.0";

// Control codes that change nothing the model tracks: they are acknowledged and forgotten.
constexpr std::string_view AcknowledgedOnly[] = {
    "C09",
    "C0A", // volume
    "C0F",
    "C10", // AV size
    "C1C",
    "C1D",
    "C1E", // menu on/off, display clear
    "C23",
    "C24",
    "C25", // terminals, row 2
    "C27", // image
    "C30",
    "C31", // digital zoom
    "C33",
    "C34",
    "C35", // terminals, row 3
    "C3A",
    "C3B",
    "C3C",
    "C3D",
    "C3E",
    "C3F", // menu cursor keys, enter
    "C43",
    "C44", // freeze
    "C46",
    "C47", // zoom
    "C4A",
    "C4B", // focus
    "C50",
    "C51",
    "C52",
    "C53",
    "C54", // terminals, row 1
    "C5D",
    "C5E", // lens shift
    "C89",
    "C8A", // auto image, presentation timer
    "C8E",
    "C8F", // keystone
    "CF IMAGE STAND",
    "CF IMAGE REAL",
    "CF IMAGE CINEMA", // image modes
    "CF IMAGE CUSTOM1",
    "CF IMAGE CUSTOM2",
    "CF IMAGE CUSTOM3",
    "CF IMAGE CUSTOM4",
    "CF KEYDIS NONE",
    "CF KEYDIS RC",
    "CF KEYDIS KEY", // key lock
    "CF FANSPEED MAX",
    "CF FANSPEED NOR", // fan speed
};

bool acknowledgedOnly(const QByteArray &command)
{
    const std::string_view code(command.constData(), size_t(command.size()));
    for (const std::string_view known : AcknowledgedOnly) {
        if (known == code)
            return true;
    }
    return false;
}

} // namespace

Projector::Projector(qint64 powerChangeMs) : powerChangeMs_(powerChangeMs) {}

QByteArray Projector::answer(const QByteArray &command, qint64 now)
{
    settle(now);
    const QByteArray reply = query(command);
    if (!reply.isEmpty())
        return reply + Cr;
    if (control(command, now) || acknowledgedOnly(command))
        return QByteArray(1, Ack);
    return QByteArray("?") + Cr;
}

QByteArray Projector::query(const QByteArray &command) const
{
    if (command == "CR0") {
        switch (power_) {
        case Power::StandBy: return "80";
        case Power::CountDown: return "40";
        case Power::On: return "00";
        case Power::CoolingDown: return "20";
        }
    }
    if (command == "CR1")
        return QByteArray::number(input_);
    if (command == "CR3") {
        const qint64 hours = LampHoursAtStart + lampLitMs_ / LampMsPerHour;
        return QByteArray::number(qMin<qint64>(hours, LampHoursMax)).rightJustified(5, '0');
    }
    if (command == "CR4")
        return "11"; // mounted normally: no top/bottom or left/right reversal
    if (command == "CR6") {
        if (power_ == Power::StandBy)
            return TemperaturesStandBy;
        return power_ == Power::CoolingDown ? TemperaturesCooling : TemperaturesLit;
    }
    if (command == "CR7")
        return lampLit() ? "11" : "10"; // one-lamp mode, lamp 1 in use
    if (command == "CR9")
        return "MP-Q85 V1.05";
    if (command == "CRA") {
        if (power_ == Power::StandBy)
            return "FF";
        return QByteArray("0") + char('0' + (videoMute_ ? 1 : 0) + (audioMute_ ? 2 : 0));
    }
    if (command == "CR PRESSURE")
        return "512";
    if (command == "CR INFPFAIL")
        return "00";
    return {};
}

// Controls that change the model. Each is acknowledged whether or not it changes anything:
// a power-on while already on, a mute in stand-by.
bool Projector::control(const QByteArray &command, qint64 now)
{
    if (command == "C00") {
        if (power_ == Power::StandBy)
            startChange(Power::CountDown, now);
        return true;
    }
    if (command == "C01") {
        if (lampLit())
            startChange(Power::CoolingDown, now);
        return true;
    }
    if (command.size() == 3 && command.startsWith("C0") && command[2] >= '5' && command[2] <= '8') {
        input_ = command[2] - '4';
        return true;
    }
    // Mutes need a picture and a sound to mute: in stand-by they are acknowledged and lost.
    const bool powered = power_ != Power::StandBy;
    if (command == "C0B" || command == "C0C") {
        audioMute_ = powered && command == "C0B";
        return true;
    }
    if (command == "C0D" || command == "C0E") {
        videoMute_ = powered && command == "C0D";
        return true;
    }
    return false;
}

void Projector::startChange(Power to, qint64 now)
{
    power_ = to;
    changeAt_ = now + powerChangeMs_;
}

bool Projector::settle(qint64 now)
{
    bool changed = false;
    if (changeAt_ >= 0 && now >= changeAt_) {
        countLampTime(changeAt_);
        if (power_ == Power::CountDown) {
            power_ = Power::On;
        } else {
            power_ = Power::StandBy;
            videoMute_ = audioMute_ = false; // a projector wakes up unmuted
        }
        changeAt_ = -1;
        changed = true;
    }
    countLampTime(now);
    return changed;
}

void Projector::countLampTime(qint64 until)
{
    if (until <= countedTo_)
        return;
    if (lampLit())
        lampLitMs_ += until - countedTo_;
    countedTo_ = until;
}

QString Projector::powerText() const
{
    switch (power_) {
    case Power::StandBy: return QStringLiteral("stand-by");
    case Power::CountDown: return QStringLiteral("count-down");
    case Power::On: return QStringLiteral("power on");
    case Power::CoolingDown: return QStringLiteral("cooling down");
    }
    return {};
}
