// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <QTemporaryFile>

// odra-projector-sim as a child process of a test: the program named by ODRA_SIM, its device
// path read from the first line of its output, its log kept in a file for failure reports.
// Killed, if still running, when this object goes.
class ProjectorSimProcess
{
public:
    ProjectorSimProcess() = default;
    ~ProjectorSimProcess();
    ProjectorSimProcess(const ProjectorSimProcess &) = delete;
    ProjectorSimProcess &operator=(const ProjectorSimProcess &) = delete;

    static QString program();

    // Starts the simulator and waits (generously) for its device path, or for `count` of them
    // when args ask for --count.
    bool start(const QStringList &args = {}, int count = 1);

    QString devicePath() const { return paths_.value(0); }
    QStringList devicePaths() const { return paths_; }
    QProcess &process() { return process_; }

    // What the simulator logged so far.
    QByteArray log() const;

private:
    QProcess process_;
    QTemporaryFile logFile_;
    QStringList paths_;
};
