// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// The reply decoder: turns the projector's answer to a status query into the status line.
//
// It works on the RXD line (the rendered traffic line, " 8 0 CR " for the reply "80" + CR) and
// knows which query a reply answers only by comparing the whole last command string, exactly
// and case-sensitively, with each status query followed by a carriage return.
namespace status {

// The new text of the status line for this RXD line, or nothing when no rule applies (the
// status line then keeps what it shows). pressureValue is the session's pressure reading: the
// pressure rule stores the converted value in it (when it is given); no other rule touches it.
std::optional<QString> decodeReply(QStringView lastCommand, QStringView rxdLine,
                                   qint64 *pressureValue);

// Whether the command is one of the status queries whose answer decodeReply reads.
bool isStatusQuery(QStringView command);

} // namespace status
