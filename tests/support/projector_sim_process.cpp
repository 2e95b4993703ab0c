// SPDX-License-Identifier: MIT
#include "projector_sim_process.h"

#include "child_process.h"

#include <QElapsedTimer>
#include <QFile>

ProjectorSimProcess::~ProjectorSimProcess()
{
    killAndWait(process_);
}

QString ProjectorSimProcess::program()
{
    return QString::fromLocal8Bit(qgetenv("ODRA_SIM"));
}

bool ProjectorSimProcess::start(const QStringList &args, int count)
{
    if (logFile_.open())
        process_.setStandardErrorFile(logFile_.fileName());
    process_.start(program(), args);
    if (!process_.waitForStarted(5000))
        return false;
    QElapsedTimer t;
    t.start();
    paths_.clear();
    while (paths_.size() < count && t.elapsed() < 10000 + count * 100) {
        if (!process_.canReadLine()) {
            if (process_.state() != QProcess::Running)
                return false;
            process_.waitForReadyRead(200);
            continue;
        }
        const QString path = QString::fromLocal8Bit(process_.readLine().trimmed());
        if (!path.startsWith(QLatin1String("/dev/")))
            return false;
        paths_ << path;
    }
    return paths_.size() == count;
}

QByteArray ProjectorSimProcess::log() const
{
    QFile file(logFile_.fileName());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
