// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>

namespace protocol {

// The byte with which the projector acknowledges a control command.
constexpr char kAck = 0x06;

// Whether the bytes that came back for one command are its whole reply: an answer ends with its
// carriage return, and a control command is acknowledged by a lone ACK. Anything else may still
// be on its way until the reply window ends.
inline bool isWholeReply(QByteArrayView reply)
{
    return !reply.isEmpty() &&
           (reply.back() == '\r' || (reply.size() == 1 && reply.front() == kAck));
}

} // namespace protocol
