// SPDX-License-Identifier: MIT
#include "command_framer.h"

QList<CommandFramer::Event> CommandFramer::feed(const QByteArray &bytes)
{
    QList<Event> events;
    for (const char c : bytes) {
        if (c == '\r') {
            if (!dropping_)
                events.append(Event{Event::Command, pending_});
            pending_.clear();
            dropping_ = false;
        } else if (c == '\n' || dropping_) {
            continue;
        } else if (pending_.size() >= MaxLine) {
            pending_.clear();
            dropping_ = true;
            events.append(Event{Event::Overlong, {}});
        } else {
            pending_.append(c);
        }
    }
    return events;
}
