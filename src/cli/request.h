// SPDX-License-Identifier: MIT
#pragma once

#include "protocol/catalogue.h"

#include <QString>
#include <QtGlobal>

// What odra is asked to do at every port: one command of the catalogue as its button does it,
// or a typed command as the command box sends it.
struct Request
{
    const protocol::Command *command = nullptr; // null for a typed command
    QString text;                               // the typed command, without its carriage return
    // A hold command: how long its button stays down; 0 pressed and released at once.
    int holdMs = 0;
    // How long to wait for the reply after the last send; 0: the command's own reply window.
    int timeoutMs = 0;
    qint32 baud = 19200;

    bool isTyped() const { return !command; }
    bool isHold() const { return command && command->kind != protocol::Kind::OneShot; }
    // The command as odra was given it: its name in the catalogue, or "send".
    QString name() const
    {
        return command ? QString::fromLatin1(command->name) : QStringLiteral("send");
    }
};
