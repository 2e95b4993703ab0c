// SPDX-License-Identifier: MIT
#pragma once

#include "child_process.h"

#include <QTemporaryDir>

// odrad ($ODRAD) as a child process of a test: its configuration written into a folder of its
// own, its standard error appended to a log there across restarts, killed when this goes.
class OdradProcess
{
public:
    ~OdradProcess() { killAndWait(process); }
    // Starts it on the configuration; given a port, waits, generously, until it accepts there.
    bool start(const QString &config, quint16 listening = 0);
    QByteArray log() const;

    QProcess process;

private:
    QTemporaryDir dir_;
};
