// SPDX-License-Identifier: MIT
#include "ser2net_process.h"

#include "child_process.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

Ser2netProcess::~Ser2netProcess()
{
    stop();
}

bool Ser2netProcess::available()
{
    return !QStandardPaths::findExecutable(QStringLiteral("ser2net")).isEmpty() ||
           QFile::exists(QStringLiteral("/usr/sbin/ser2net"));
}

QString Ser2netProcess::url() const
{
    return QStringLiteral("%1://127.0.0.1:%2")
        .arg(accepter_ == Accepter::Rfc2217 ? QStringLiteral("rfc2217") : QStringLiteral("socket"))
        .arg(port_);
}

bool Ser2netProcess::start(const QString &device, Accepter accepter, quint16 port)
{
    stop();
    accepter_ = accepter;
    port_ = port ? port : freeLoopbackPort();
    if (!dir_.isValid() || port_ == 0)
        return false;
    const QString config = dir_.filePath(QStringLiteral("ser2net.yaml"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    // "local": a pseudo-terminal has no modem lines to watch.
    file.write(
        QStringLiteral("%YAML 1.1\n"
                       "---\n"
                       "connection: &projector\n"
                       "  accepter: %1tcp,127.0.0.1,%2\n"
                       "  connector: serialdev,%3,19200n81,local\n")
            .arg(accepter == Accepter::Rfc2217 ? QStringLiteral("telnet(rfc2217),") : QString())
            .arg(port_)
            .arg(device)
            .toUtf8());
    file.close();

    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setStandardOutputFile(dir_.filePath(QStringLiteral("ser2net.log")));
    const QString program = QStandardPaths::findExecutable(QStringLiteral("ser2net")).isEmpty()
                                ? QStringLiteral("/usr/sbin/ser2net")
                                : QStringLiteral("ser2net");
    // -d: in the foreground, its log to standard output; -u: no UUCP lock files, which the
    // test's own pseudo-terminals do not need.
    process_.start(program,
                   {QStringLiteral("-d"), QStringLiteral("-u"), QStringLiteral("-c"), config});
    if (!process_.waitForStarted(5000))
        return false;
    QElapsedTimer t;
    t.start();
    while (!listening()) {
        if (process_.state() == QProcess::NotRunning || t.elapsed() > 10000)
            return false;
        QThread::msleep(20);
    }
    return true;
}

void Ser2netProcess::stop()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

// Whether a socket listens on 127.0.0.1:port, read from the kernel's table, so that waiting for
// ser2net does not connect to it (a connection would open the serial device).
bool Ser2netProcess::listening() const
{
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray local =
        QByteArray("0100007F:") + QByteArray::number(port_, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields[1] == local && fields[3] == "0A") // 0A: listening
            return true;
    }
    return false;
}

QByteArray Ser2netProcess::log() const
{
    QByteArray out;
    for (const char *name : {"ser2net.yaml", "ser2net.log"}) {
        QFile file(dir_.filePath(QString::fromLatin1(name)));
        if (file.open(QIODevice::ReadOnly))
            out += QByteArray("--- ") + name + "\n" + file.readAll();
    }
    return out;
}
