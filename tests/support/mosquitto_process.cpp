// SPDX-License-Identifier: MIT
#include "mosquitto_process.h"

#include "child_process.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTest>

namespace {

QString broker()
{
    const QString found = QStandardPaths::findExecutable(QStringLiteral("mosquitto"));
    return found.isEmpty() ? QStringLiteral("/usr/sbin/mosquitto") : found;
}

bool listening(quint16 port)
{
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, port);
    return probe.waitForConnected(200);
}

} // namespace

MosquittoProcess::~MosquittoProcess()
{
    kill();
}

bool MosquittoProcess::available()
{
    return QFile::exists(broker()) &&
           !QStandardPaths::findExecutable(QStringLiteral("mosquitto_sub")).isEmpty();
}

bool MosquittoProcess::start()
{
    kill();
    if (port_ == 0 && (port_ = freeLoopbackPort()) == 0)
        return false;
    const QString config = dir_.filePath(QStringLiteral("mosquitto.conf"));
    QFile file(config);
    if (!dir_.isValid() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    // set_tcp_nodelay: a state change is several messages in a row, and the second would wait
    // for the subscriber's delayed ACK of the first (some 40 ms) as the broker sends them.
    file.write(QStringLiteral("listener %1 127.0.0.1\n"
                              "allow_anonymous true\n"
                              "persistence false\n"
                              "set_tcp_nodelay true\n")
                   .arg(port_)
                   .toUtf8());
    file.close();
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setStandardOutputFile(QProcess::nullDevice());
    // A port still held by the killed broker's connections frees itself shortly: try again.
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 20000) {
        if (process_.state() == QProcess::NotRunning) {
            process_.start(broker(), {QStringLiteral("-c"), config});
            process_.waitForStarted(5000);
        }
        if (listening(port_))
            return true;
        QTest::qWait(100);
    }
    return false;
}

void MosquittoProcess::kill()
{
    killAndWait(process_);
}

bool MosquittoProcess::publish(const QString &topic, const QByteArray &payload, bool retain) const
{
    QStringList args{QStringLiteral("-h"), QStringLiteral("127.0.0.1"),
                     QStringLiteral("-p"), QString::number(port_),
                     QStringLiteral("-q"), QStringLiteral("1"),
                     QStringLiteral("-t"), topic};
    // Any bytes through standard input; an empty payload is -n, which -s would refuse.
    args << (payload.isEmpty() ? QStringLiteral("-n") : QStringLiteral("-s"));
    if (retain)
        args << QStringLiteral("-r");
    QProcess pub;
    pub.start(QStringLiteral("mosquitto_pub"), args);
    pub.write(payload);
    pub.closeWriteChannel();
    return pub.waitForFinished(10000) && pub.exitStatus() == QProcess::NormalExit &&
           pub.exitCode() == 0;
}

MqttSubscriber::~MqttSubscriber()
{
    killAndWait(process_);
}

bool MqttSubscriber::start(quint16 port, const QStringList &filters)
{
    QStringList args{QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                     QString::number(port), QStringLiteral("-v")};
    for (const QString &f : filters)
        args << QStringLiteral("-t") << f;
    process_.start(QStringLiteral("mosquitto_sub"), args);
    return process_.waitForStarted(5000);
}

void MqttSubscriber::readAll()
{
    while (process_.canReadLine())
        lines_ << process_.readLine().chopped(1);
}

QList<QByteArray> MqttSubscriber::lines()
{
    readAll();
    return lines_;
}

bool MqttSubscriber::waitFor(const QString &topic, const QByteArray &payload, int timeoutMs,
                             qsizetype from)
{
    const QByteArray wanted = topic.toUtf8() + ' ' + payload;
    QElapsedTimer t;
    t.start();
    for (readAll(); lines_.indexOf(wanted, from) < 0; readAll()) {
        if (t.elapsed() > timeoutMs || process_.state() == QProcess::NotRunning)
            return false;
        process_.waitForReadyRead(100);
    }
    return true;
}

QByteArray MqttSubscriber::last(const QString &topic)
{
    const QByteArray prefix = topic.toUtf8() + ' ';
    const QList<QByteArray> all = lines();
    for (auto it = all.crbegin(); it != all.crend(); ++it) {
        if (it->startsWith(prefix))
            return it->mid(prefix.size());
    }
    return {};
}
