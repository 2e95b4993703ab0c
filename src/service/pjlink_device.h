// SPDX-License-Identifier: MIT
#pragma once

#include "service/pjlink_protocol.h"
#include "session/request_queue.h"

#include <QByteArray>
#include <QObject>

#include <functional>
#include <memory>
#include <vector>

class LineOwner;
class Scheduler;

// One projector as a PJLink device: each command a client sends becomes the catalogue's
// commands for the projector, or an answer from what the line's owner last heard, or a query
// through its queue when that is not fresh. Nothing else reaches the projector. Shared by every
// client of the projector; docs/pjlink.md holds the mapping as users read it.
class PjlinkDevice final : public QObject
{
    Q_OBJECT
public:
    using Reply = std::function<void(const QByteArray &line)>;

    // A reading counts as fresh for its poll interval and this much more, the time the poll
    // itself takes to come back.
    static constexpr qint64 kPollGraceMs = 2000;
    // How long a query asked for a client waits for the projector's answer.
    static constexpr int kQueryTimeoutMs = 1000;

    PjlinkDevice(Scheduler &scheduler, LineOwner &owner, QObject *parent = nullptr);

    // Answers one command (of a session already logged in): reply comes once, now or later.
    void handle(const pjlink::Command &command, Reply reply);

    // The PJLink codes of the inputs, as INST lists them.
    static QByteArray inputList();

private:
    using Then = std::function<void()>;
    // PowerForSetting: the power state a setting depends on; a state on its way from one to the
    // other (warming up, cooling down) is asked again, for it may have arrived meanwhile.
    enum class Reading : quint8 { Power, PowerForSetting, Input, Mute, LampHours };

    void power(const pjlink::Command &command, const Reply &reply);
    void input(const pjlink::Command &command, const Reply &reply);
    void mute(const pjlink::Command &command, const Reply &reply);
    void lamp(const pjlink::Command &command, const Reply &reply);
    void errors(const pjlink::Command &command, const Reply &reply);
    void freeze(const pjlink::Command &command, const Reply &reply);
    void volume(const pjlink::Command &command, const Reply &reply);

    // then() once the reading is fresh, asking the projector first when it is not; ERR4 when
    // the projector cannot be asked or does not answer.
    void withFresh(Reading reading, const pjlink::Command &command, const Reply &reply, Then then);
    // The commands, one after the other, then OK; ERR4 at the first one not taken.
    void sendAll(std::vector<const protocol::Command *> commands, const pjlink::Command &command,
                 const Reply &reply);
    // then() when the projector is on; ERR3 in any other power state.
    void whenOn(const pjlink::Command &command, const Reply &reply, Then then);
    bool isFresh(Reading reading) const;
    // Through the owner's queue; then() only while this device still exists.
    void submit(const ProjectorRequest &request, RequestQueue::Done then);

    Scheduler &scheduler_;
    LineOwner &owner_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
