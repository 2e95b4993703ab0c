// SPDX-License-Identifier: MIT
#include "projector_sim_process.h"

#include <QElapsedTimer>
#include <QFile>

ProjectorSimProcess::~ProjectorSimProcess()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

QString ProjectorSimProcess::program()
{
    return QString::fromLocal8Bit(qgetenv("ODRA_SIM"));
}

bool ProjectorSimProcess::start(const QStringList &args)
{
    if (logFile_.open())
        process_.setStandardErrorFile(logFile_.fileName());
    process_.start(program(), args);
    if (!process_.waitForStarted(5000))
        return false;
    QElapsedTimer t;
    t.start();
    while (!process_.canReadLine() && process_.state() == QProcess::Running && t.elapsed() < 10000)
        process_.waitForReadyRead(200);
    path_ = QString::fromLocal8Bit(process_.readLine().trimmed());
    return path_.startsWith(QLatin1String("/dev/"));
}

QByteArray ProjectorSimProcess::log() const
{
    QFile file(logFile_.fileName());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
