// SPDX-License-Identifier: MIT
#include "odrad_process.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTcpSocket>
#include <QTest>

bool OdradProcess::start(const QString &config, quint16 listening)
{
    QFile file(dir_.filePath(QStringLiteral("odrad.conf")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(config.toUtf8());
    file.close();
    process.setStandardErrorFile(dir_.filePath(QStringLiteral("odrad.log")), QIODevice::Append);
    process.start(QString::fromLocal8Bit(qgetenv("ODRAD")),
                  {QStringLiteral("--config"), file.fileName()});
    if (!process.waitForStarted(20000))
        return false;
    QElapsedTimer t;
    t.start();
    while (listening && t.elapsed() < 20000 && process.state() == QProcess::Running) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, listening);
        if (probe.waitForConnected(500))
            return true;
        QTest::qWait(100);
    }
    return listening == 0;
}

QByteArray OdradProcess::log() const
{
    QFile file(dir_.filePath(QStringLiteral("odrad.log")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
