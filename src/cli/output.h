// SPDX-License-Identifier: MIT
#pragma once

#include "cli/port_run.h"
#include "cli/request.h"

#include <QByteArray>

// What odra prints on standard output, one line at a time.

// A port's answer: the decoded status, else the reply as the monitor shows it, else "no reply"
// ("not open" for a port that could not be opened); prefixed by the port when there are several.
QByteArray plainLine(const PortRun::Result &result, bool prefix);

// A port's answer as one JSON object: port, device, command, sent, sends, reply (the monitor's
// rendering), raw (the reply's characters), complete, status, elapsed_ms, exit and error; what
// is missing is null.
QByteArray jsonLine(const PortRun::Result &result, const Request &request);

// odra list: every command with its code and what it does, a line each (or a JSON object each).
QByteArray commandList(bool json);
