// SPDX-License-Identifier: MIT
#pragma once

#include <QProcess>
#include <QTcpServer>

// What the tests' child processes share.

// A TCP port on 127.0.0.1 that was free a moment ago; 0 when none could be had.
inline quint16 freeLoopbackPort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

// SIGKILL, and the end waited for: the process vanishes as a crashed one does.
inline void killAndWait(QProcess &process)
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    }
}
