// SPDX-License-Identifier: MIT
#include "service/pjlink_device.h"

#include "core/scheduler.h"
#include "service/line_owner.h"

namespace {

using pjlink::Code;
using protocol::PowerState;

// How each power state of the projector reads in PJLink: its POWR answer, and the six digits
// of ERST (fan, lamp, temperature, cover, filter, other; 0 fine, 1 warning, 2 error).
struct PowerReading
{
    PowerState state;
    char powr; // 0 stand-by, 1 on, 2 cooling down, 3 warming up
    const char *erst;
    bool on; // the picture is there: inputs and mutes can be set
};
// clang-format off
constexpr PowerReading kPowerReadings[] = {
    {PowerState::On,                            '1', "000000", true},
    {PowerState::StandBy,                       '0', "000000", false},
    {PowerState::CountDown,                     '3', "000000", false},
    {PowerState::CoolingDown,                   '2', "000000", false},
    {PowerState::PowerFail,                     '0', "000002", false},
    {PowerState::TemperatureWarning,            '1', "001000", true},
    {PowerState::NoKeyInput,                    '1', "000000", true},
    {PowerState::LampOffByPowerManagement,      '1', "000000", true},
    {PowerState::TemperatureWarningCoolingDown, '2', "001000", false},
    {PowerState::LampOffTemperatureWarning,     '1', "001000", true},
    {PowerState::TemperatureWarningRecovered,   '0', "001000", false},
    {PowerState::CoolingDownLampFail,           '2', "020000", false},
    {PowerState::StandByLampFail,               '0', "020000", false},
};

// The inputs: the PJLink code, the catalogue's command that selects it, the "CR1" input mode.
struct InputMapping
{
    const char *code;
    const char *command;
    int mode;
};
constexpr InputMapping kInputs[] = {
    {"11", "input-1",   1}, // RGB 1: terminal 1
    {"12", "input-2",   2}, // RGB 2: terminal 2
    {"21", "input-3",   3}, // VIDEO 1: terminal 3
    {"51", "input-lan", 4}, // NETWORK 1
};

// AVMT: the parameter and the catalogue's commands it sends, in order.
struct MuteMapping
{
    const char *code;
    const char *first;
    const char *second;
};
constexpr MuteMapping kMutes[] = {
    {"10", "no-show-off",    nullptr},
    {"11", "no-show-on",     nullptr},
    {"20", "sound-mute-off", nullptr},
    {"21", "sound-mute-on",  nullptr},
    {"30", "no-show-off",    "sound-mute-off"},
    {"31", "no-show-on",     "sound-mute-on"},
};
// clang-format on

const PowerReading &powerReading(PowerState state)
{
    for (const PowerReading &r : kPowerReadings)
        if (r.state == state)
            return r;
    return kPowerReadings[1];
}

const char *muteCode(protocol::MuteState mute)
{
    switch (mute) {
    case protocol::MuteState::Picture: return "11";
    case protocol::MuteState::Sound: return "21";
    case protocol::MuteState::PictureAndSound: return "31";
    case protocol::MuteState::Off:
    case protocol::MuteState::NoSignal:
    case protocol::MuteState::StandBy: return "30";
    }
    return "30";
}

const protocol::Command *command(const char *name)
{
    return protocol::findCommand(name);
}

} // namespace

PjlinkDevice::PjlinkDevice(Scheduler &scheduler, LineOwner &owner, QObject *parent)
    : QObject(parent), scheduler_(scheduler), owner_(owner)
{
}

QByteArray PjlinkDevice::inputList()
{
    QByteArray list;
    for (const InputMapping &input : kInputs)
        list += (list.isEmpty() ? "" : " ") + QByteArray(input.code);
    return list;
}

void PjlinkDevice::handle(const pjlink::Command &c, Reply reply)
{
    const QByteArray &name = c.name;
    if (c.version == 2) {
        if (name == "FREZ")
            return freeze(c, reply);
        if (name == "SVOL")
            return volume(c, reply);
        return reply(pjlink::reply(c, Code::UndefinedCommand));
    }
    if (c.version != 1)
        return reply(pjlink::reply(c, Code::UndefinedCommand));
    if (name == "POWR")
        return power(c, reply);
    if (name == "INPT")
        return input(c, reply);
    if (name == "AVMT")
        return mute(c, reply);

    // The rest are queries only.
    QByteArray answer;
    bool known = true;
    if (name == "ERST" || name == "LAMP") {
        // answered below, from the projector's state
    } else if (name == "INST") {
        answer = inputList();
    } else if (name == "NAME") {
        // At most 64 bytes, cut where a UTF-8 character starts.
        answer = owner_.name().toUtf8();
        qsizetype end = std::min(answer.size(), pjlink::kMaxName);
        while (end < answer.size() && end > 0 && (uchar(answer[end]) & 0xc0) == 0x80)
            --end;
        answer.truncate(end);
    } else if (name == "INF1") {
        answer = "ODRA";
    } else if (name == "INF2") {
        answer = "MP-Q85/Q75";
    } else if (name == "INFO") {
        answer = "RS-232 through odrad " ODRA_VERSION;
    } else if (name == "CLSS") {
        answer = "1";
    } else {
        known = false;
    }
    if (!known)
        return reply(pjlink::reply(c, Code::UndefinedCommand));
    if (!c.isQuery())
        return reply(pjlink::reply(c, Code::OutOfParameter));
    if (name == "ERST")
        return errors(c, reply);
    if (name == "LAMP")
        return lamp(c, reply);
    reply(pjlink::reply(c, answer));
}

void PjlinkDevice::power(const pjlink::Command &c, const Reply &reply)
{
    if (c.isQuery())
        return withFresh(Reading::Power, c, reply, [this, c, reply] {
            const char code = powerReading(*owner_.state().power.value).powr;
            reply(pjlink::reply(c, QByteArray(1, code)));
        });
    if (c.parameter != "0" && c.parameter != "1")
        return reply(pjlink::reply(c, Code::OutOfParameter));
    const bool on = c.parameter == "1";
    withFresh(Reading::PowerForSetting, c, reply, [this, c, reply, on] {
        const char now = powerReading(*owner_.state().power.value).powr;
        // Warming up goes on to on, cooling down to stand-by: neither can be turned back.
        if ((on && now == '2') || (!on && now == '3'))
            return reply(pjlink::reply(c, Code::UnavailableTime));
        if ((on && now != '0') || (!on && now == '0'))
            return reply(pjlink::reply(c, Code::Ok)); // there already, or on its way
        sendAll({command(on ? "power-on" : "power-off")}, c, reply);
    });
}

void PjlinkDevice::input(const pjlink::Command &c, const Reply &reply)
{
    if (c.isQuery())
        return withFresh(Reading::Input, c, reply, [this, c, reply] {
            for (const InputMapping &input : kInputs)
                if (input.mode == *owner_.state().input.value)
                    return reply(pjlink::reply(c, QByteArray(input.code)));
            reply(pjlink::reply(c, Code::ProjectorFailure));
        });
    for (const InputMapping &input : kInputs)
        if (c.parameter == input.code)
            return whenOn(c, reply, [this, c, reply, &input] {
                sendAll({command(input.command)}, c, reply);
            });
    reply(pjlink::reply(c, Code::OutOfParameter));
}

void PjlinkDevice::mute(const pjlink::Command &c, const Reply &reply)
{
    if (c.isQuery())
        return withFresh(Reading::Power, c, reply, [this, c, reply] {
            if (!powerReading(*owner_.state().power.value).on)
                return reply(pjlink::reply(c, QByteArray("30"))); // nothing to mute
            withFresh(Reading::Mute, c, reply, [this, c, reply] {
                reply(pjlink::reply(c, QByteArray(muteCode(*owner_.state().mute.value))));
            });
        });
    for (const MuteMapping &m : kMutes)
        if (c.parameter == m.code)
            return whenOn(c, reply, [this, c, reply, &m] {
                std::vector<const protocol::Command *> commands{command(m.first)};
                if (m.second)
                    commands.push_back(command(m.second));
                sendAll(commands, c, reply);
            });
    reply(pjlink::reply(c, Code::OutOfParameter));
}

void PjlinkDevice::lamp(const pjlink::Command &c, const Reply &reply)
{
    withFresh(Reading::LampHours, c, reply, [this, c, reply] {
        withFresh(Reading::Power, c, reply, [this, c, reply] {
            const ProjectorState &state = owner_.state();
            const char powr = powerReading(*state.power.value).powr;
            const bool lit = powr == '1' || powr == '3';
            reply(
                pjlink::reply(c, QByteArray::number(*state.lampHours.value) + (lit ? " 1" : " 0")));
        });
    });
}

void PjlinkDevice::errors(const pjlink::Command &c, const Reply &reply)
{
    withFresh(Reading::Power, c, reply, [this, c, reply] {
        reply(pjlink::reply(c, QByteArray(powerReading(*owner_.state().power.value).erst)));
    });
}

void PjlinkDevice::freeze(const pjlink::Command &c, const Reply &reply)
{
    if (c.isQuery()) {
        const auto &frozen = owner_.state().freeze.value;
        return reply(pjlink::reply(c, QByteArray(frozen.value_or(false) ? "1" : "0")));
    }
    if (c.parameter != "0" && c.parameter != "1")
        return reply(pjlink::reply(c, Code::OutOfParameter));
    whenOn(c, reply, [this, c, reply] {
        sendAll({command(c.parameter == "1" ? "freeze-on" : "freeze-off")}, c, reply);
    });
}

void PjlinkDevice::volume(const pjlink::Command &c, const Reply &reply)
{
    if (c.parameter != "0" && c.parameter != "1")
        return reply(pjlink::reply(c, Code::OutOfParameter));
    whenOn(c, reply, [this, c, reply] {
        sendAll({command(c.parameter == "1" ? "volume-up" : "volume-down")}, c, reply);
    });
}

bool PjlinkDevice::isFresh(Reading reading) const
{
    const ProjectorState &state = owner_.state();
    const ProjectorConfig &config = owner_.config();
    const qint64 now = scheduler_.nowMs();
    const qint64 status = config.pollStatusS > 0 ? config.pollStatusS * 1000LL + kPollGraceMs : 0;
    const qint64 lampAge = config.pollLampS > 0 ? config.pollLampS * 1000LL + kPollGraceMs : 0;
    switch (reading) {
    case Reading::Power: return state.power.freshAt(now, status);
    case Reading::PowerForSetting: {
        if (!state.power.freshAt(now, status))
            return false;
        const char powr = powerReading(*state.power.value).powr;
        return powr != '2' && powr != '3';
    }
    case Reading::Input: return state.input.freshAt(now, status);
    case Reading::Mute: return state.mute.freshAt(now, status);
    case Reading::LampHours: return state.lampHours.freshAt(now, lampAge);
    }
    return false;
}

void PjlinkDevice::withFresh(Reading reading, const pjlink::Command &c, const Reply &reply,
                             Then then)
{
    if (!owner_.lineUp())
        return reply(pjlink::reply(c, Code::ProjectorFailure));
    if (isFresh(reading))
        return then();
    ProjectorRequest request;
    switch (reading) {
    case Reading::Power:
    case Reading::PowerForSetting: request.command = command("status"); break;
    case Reading::Input: request.command = command("input-mode"); break;
    case Reading::LampHours: request.command = command("lamp-time"); break;
    case Reading::Mute: request.text = QStringLiteral("CRA"); break;
    }
    request.timeoutMs = kQueryTimeoutMs;
    const qint64 askedAt = scheduler_.nowMs();
    submit(request, [this, reading, c, reply, then, askedAt](const RequestResult &) {
        // The owner has taken what the answer says: a reading heard since the question is the
        // answer.
        const ProjectorState &state = owner_.state();
        const auto since = [askedAt](const auto &r) { return r.value && r.atMs >= askedAt; };
        bool heard = false;
        switch (reading) {
        case Reading::Power:
        case Reading::PowerForSetting: heard = since(state.power); break;
        case Reading::Input: heard = since(state.input); break;
        case Reading::Mute: heard = since(state.mute); break;
        case Reading::LampHours: heard = since(state.lampHours); break;
        }
        if (heard)
            then();
        else
            reply(pjlink::reply(c, Code::ProjectorFailure));
    });
}

void PjlinkDevice::whenOn(const pjlink::Command &c, const Reply &reply, Then then)
{
    withFresh(Reading::PowerForSetting, c, reply, [this, c, reply, then] {
        if (powerReading(*owner_.state().power.value).on)
            then();
        else
            reply(pjlink::reply(c, Code::UnavailableTime));
    });
}

void PjlinkDevice::sendAll(std::vector<const protocol::Command *> commands,
                           const pjlink::Command &c, const Reply &reply)
{
    if (commands.empty())
        return reply(pjlink::reply(c, Code::Ok));
    const protocol::Command *first = commands.front();
    commands.erase(commands.begin());
    submit(ProjectorRequest::of(*first), [this, commands, c, reply](const RequestResult &result) {
        if (result.answered() && result.answer.acknowledged())
            sendAll(commands, c, reply);
        else
            reply(pjlink::reply(c, Code::ProjectorFailure));
    });
}

void PjlinkDevice::submit(const ProjectorRequest &request, RequestQueue::Done then)
{
    std::weak_ptr<bool> alive = alive_;
    owner_.submit(request, [alive, then](const RequestResult &result) {
        if (!alive.expired())
            then(result);
    });
}
