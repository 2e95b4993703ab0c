// SPDX-License-Identifier: MIT
#pragma once

#include "cli/request.h"

#include <QString>
#include <QStringList>

// odra's command line:
//   odra [--port DEVICE]... [--speed 19200|9600] [--json] [--timeout MS] [--hold MS]
//        [--log FILE] COMMAND [TEXT]
//   odra list [--json]
struct OdraOptions
{
    enum class Action : quint8 { Run, List, Help, Version };
    Action action = Action::Run;
    QStringList ports; // as given, in order; COM1 when none is given
    Request request;
    bool json = false;
    QString logFile;
};

// The options of one run, or the usage error that stops it (error not empty).
struct ParsedArguments
{
    OdraOptions options;
    QString error;
};

// arguments as the program received them, its own name first.
ParsedArguments parseArguments(const QStringList &arguments);

// What --help prints.
QString helpText();

// 1 or 2 for the panel's port names "COM1" and "COM2" (in any case), else 0: a device.
int comPortNumber(const QString &port);
