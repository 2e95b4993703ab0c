// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QList>

// Cuts the bytes from the line, in whatever pieces they come, into commands: a command ends
// at CR, LF is ignored wherever it stands, every other byte (NUL included) belongs to the
// command. A line that grows past MaxLine bytes without a CR is dropped up to the next CR,
// so that a stuck or noisy sender cannot make us grow without bound.
class CommandFramer
{
public:
    static constexpr qsizetype MaxLine = 4096;

    struct Event
    {
        enum Kind { Command, Overlong } kind;
        QByteArray command; // without its CR; may be empty (a lone CR)
    };

    // Overlong is reported once per dropped line, when the limit is passed.
    QList<Event> feed(const QByteArray &bytes);

private:
    QByteArray pending_;
    bool dropping_ = false;
};
