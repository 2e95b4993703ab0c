// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <optional>

// The reply decoder: turns the projector's answer to a status query into the status line.
//
// It works on the RXD line (the rendered traffic line, " 8 0 CR " for the reply "80" + CR) and
// knows which query a reply answers only by comparing the whole last command string, exactly
// and case-sensitively, with each status query followed by a carriage return.
namespace status {

// The status queries whose answers are decoded, by what they ask.
enum class Query : quint8 {
    PowerState,   // "CR0"
    InputMode,    // "CR1"
    Orientation,  // "CR4"
    LampTime,     // "CR3"
    Temperatures, // "CR6"
    Mute,         // "CRA"
    Copy,         // "CR9"
    Pressure,     // "CR PRESSURE"
    Lamps,        // "CR7"
};

struct Decoded
{
    std::optional<Query> query; // nothing: the command is no status query
    // The new text of the status line, or nothing when no rule applies (the status line then
    // keeps what it shows).
    std::optional<QString> text;
    // For a table rule, the row that matched, counted from 0 in the order of its status texts;
    // -1 when none did.
    int row = -1;
    std::optional<qint64> pressure; // the pressure rule's converted reading
};

// What this RXD line says as the answer to lastCommand.
Decoded decodeReply(QStringView lastCommand, QStringView rxdLine);

// Whether the command is one of the status queries whose answer decodeReply reads.
bool isStatusQuery(QStringView command);

} // namespace status
