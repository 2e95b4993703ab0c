// SPDX-License-Identifier: MIT
#pragma once

#include "protocol/answer.h"

#include <QString>
#include <QtGlobal>

#include <optional>

// What the service knows of one projector, from the answers to its state queries and the
// commands it took. Each reading carries when it was last heard (on the service's clock), so a
// face can tell fresh from stale. Plain data: the line's owner fills it, the faces read it.
struct ProjectorState
{
    template <typename T>
    struct Reading
    {
        std::optional<T> value;
        qint64 atMs = -1; // when it was heard; -1 never

        bool freshAt(qint64 nowMs, qint64 maxAgeMs) const
        {
            return value && atMs >= 0 && nowMs - atMs < maxAgeMs;
        }
    };

    // Whether the line is open and the projector answers: false while the line is down, and
    // after a state query went unanswered.
    bool available = false;

    Reading<protocol::PowerState> power;
    Reading<int> input; // input mode 1 to 4
    Reading<protocol::MuteState> mute;
    Reading<bool> freeze; // from the last freeze command taken: the projector cannot be asked
    Reading<qint64> lampHours;
    Reading<protocol::Temperatures> temperatures;
    Reading<QString> status; // the status text of the last status query, without framing blanks
};
