// SPDX-License-Identifier: MIT
// odrad as a separate process, its projector the simulator on a pseudo-terminal: driven by an
// independent PJLink client (the npm package "pjlink", run by node) and by raw sockets that
// misbehave. Bounds are generous: these prove the parts fit, not the timing.
#include "odrad_process.h"
#include "projector_sim_process.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QtTest>

#include <csignal>
#include <memory>

namespace {

constexpr int kWait = 20000;

// The npm package's folder, installed by scripts/install-deps into the build.
QString pjlinkModules()
{
    for (const QByteArray &dir : qgetenv("ODRA_NPM_DIRS").split(':'))
        if (QFileInfo::exists(QString::fromLocal8Bit(dir) + QStringLiteral("/pjlink/package.json")))
            return QString::fromLocal8Bit(dir);
    return QString();
}

// odrad on a configuration of one projector, until it listens.
struct Odrad : OdradProcess
{
    quint16 port = freeLoopbackPort();
    bool start(const QString &device, const QString &extra = QString())
    {
        return OdradProcess::start(
            QStringLiteral("[hall]\ndevice = %1\nname = Hall\npjlink-listen = "
                           "127.0.0.1:%2\npoll-status = 1\n%3")
                .arg(device)
                .arg(port)
                .arg(extra),
            port);
    }
};

// A raw client: connected, greeting read.
std::unique_ptr<QTcpSocket> connectRaw(quint16 port)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, port);
    if (!socket->waitForConnected(kWait) || !socket->waitForReadyRead(kWait))
        return nullptr;
    socket->readAll();
    return socket;
}

// One command, its reply (up to its CR).
QByteArray ask(QTcpSocket &socket, const QByteArray &line)
{
    socket.write(line);
    QByteArray reply;
    QElapsedTimer t;
    t.start();
    while (!reply.endsWith('\r') && t.elapsed() < kWait &&
           socket.state() == QAbstractSocket::ConnectedState) {
        socket.waitForReadyRead(100);
        reply += socket.readAll();
    }
    return reply;
}

// Asks again until the reply is the one expected, or the time is up; the last reply.
QByteArray askUntil(QTcpSocket &socket, const QByteArray &line, const QByteArray &expected, int ms)
{
    QElapsedTimer t;
    t.start();
    QByteArray reply = ask(socket, line);
    while (reply != expected && t.elapsed() < ms) {
        QTest::qWait(200);
        reply = ask(socket, line);
    }
    return reply;
}

bool closedWithin(QTcpSocket &socket, int ms)
{
    return socket.state() == QAbstractSocket::UnconnectedState || socket.waitForDisconnected(ms);
}

} // namespace

class TestOdrad : public QObject
{
    Q_OBJECT
private slots:
    void pjlinkClient_data();
    void pjlinkClient();
    void misbehavingClients();
    void projectorSilent();
    void projectorUnpluggedAndBack();
    void sigtermDuringCommand();
};

void TestOdrad::pjlinkClient_data()
{
    QTest::addColumn<QString>("password");
    QTest::newRow("no password") << QString();
    QTest::newRow("password") << QStringLiteral("s3cret");
}

// The whole round as a control system makes it: a projector warmed up, switched, muted,
// asked, and cooled down again.
void TestOdrad::pjlinkClient()
{
    QFETCH(QString, password);
    const QString modules = pjlinkModules();
    const QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
    if (modules.isEmpty() || node.isEmpty())
        QSKIP("the npm package pjlink is not installed: scripts/install-deps could not install "
              "it (node, npm or the registry missing)");

    ProjectorSimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--countdown"), QStringLiteral("2")}));
    Odrad odrad;
    QVERIFY(odrad.start(
        sim.devicePath(),
        password.isEmpty() ? QString() : QStringLiteral("pjlink-password = %1\n").arg(password)));

    const auto run = [&](const QString &pass, const QByteArray &steps) {
        QProcess client;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("NODE_PATH"), modules);
        client.setProcessEnvironment(env);
        client.start(node, {QFINDTESTDATA("pjlink_client.js"), QString::number(odrad.port),
                            pass.isEmpty() ? QStringLiteral("-") : pass, QString::fromUtf8(steps)});
        client.waitForFinished(60000);
        QList<QJsonObject> results;
        for (const QByteArray &line : client.readAllStandardOutput().split('\n'))
            if (!line.isEmpty())
                results.append(QJsonDocument::fromJson(line).object());
        return results;
    };

    const QList<QJsonObject> r = run(password, R"([
        ["getPowerState"], ["getName"], ["getClass"], ["getInputs"],
        ["powerOn"], ["getPowerState"], ["waitPower", 1, 20000],
        ["setInput", 12], ["getInput"], ["setMute", {"video": true, "audio": true}], ["getMute"],
        ["getLamps"], ["getErrors"],
        ["powerOff"], ["getPowerState"], ["waitPower", 0, 20000]])");
    QCOMPARE(r.size(), 16);
    for (const QJsonObject &o : r)
        QVERIFY2(o.value(QLatin1String("err")).isNull(), qPrintable(o.value("step").toString()));
    QCOMPARE(r[0]["value"].toInt(), 0);
    QCOMPARE(r[1]["value"].toString(), QStringLiteral("Hall"));
    QCOMPARE(r[2]["value"].toString(), QStringLiteral("1"));
    QCOMPARE(r[5]["value"].toInt(), 3); // warming up
    QCOMPARE(r[6]["value"].toInt(), 1);
    QCOMPARE(r[8]["value"].toObject()["channel"].toInt(), 2);
    QCOMPARE(r[10]["value"].toObject()["audio"].toBool(), true);
    QCOMPARE(r[10]["value"].toObject()["video"].toBool(), true);
    const QJsonObject lamp = r[11]["value"].toArray().at(0).toObject();
    QVERIFY(lamp["hours"].toInt() >= 1234);
    QVERIFY(lamp["on"].toBool());
    QVERIFY(r[12]["value"].isNull());    // no error, no warning
    QCOMPARE(r[14]["value"].toInt(), 2); // cooling down
    QCOMPARE(r[15]["value"].toInt(), 0);
    // The projector heard exactly what the client asked for, as its own commands.
    const QByteArray heard = sim.log();
    for (const char *code : {"C00", "C06", "C0D", "C0B", "C01"})
        QVERIFY2(heard.contains(code), code);

    if (!password.isEmpty()) {
        const QList<QJsonObject> wrong = run(QStringLiteral("guess"), R"([["getPowerState"]])");
        QCOMPARE(wrong.size(), 1);
        QVERIFY(!wrong[0]["err"].isNull());
        QTRY_VERIFY_WITH_TIMEOUT(odrad.log().contains("wrong PJLink password from"), kWait);
    }
}

// A client that says nothing, one that sends a byte at a time, garbage and an overlong line:
// none of them keeps another client from its answers; the overlong one is closed at once.
void TestOdrad::misbehavingClients()
{
    ProjectorSimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--countdown"), QStringLiteral("1")}));
    Odrad odrad;
    QVERIFY(odrad.start(sim.devicePath()));

    auto silent = connectRaw(odrad.port);
    auto slow = connectRaw(odrad.port);
    auto garbage = connectRaw(odrad.port);
    auto overlong = connectRaw(odrad.port);
    auto holder = connectRaw(odrad.port);
    QVERIFY(silent && slow && garbage && overlong && holder);
    garbage->write(QByteArray("\x00\xff\x1b[2J\r%1P\x01WR ?\r", 14));
    overlong->write("%1NAME " + QByteArray(129, 'x') + '\r');
    QVERIFY(closedWithin(*overlong, kWait));
    QCOMPARE(ask(*holder, "%1POWR 1\r"), QByteArray("%1POWR=OK\r"));
    QCOMPARE(askUntil(*holder, "%1POWR ?\r", "%1POWR=1\r", kWait), QByteArray("%1POWR=1\r"));

    // Twenty clients asking at once, while the slow one dribbles and another holds the
    // projector's line with volume steps.
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < 20; ++i) {
        clients.push_back(connectRaw(odrad.port));
        QVERIFY(clients.back());
    }
    for (int i = 0; i < 5; ++i)
        holder->write("%2SVOL 1\r");
    for (int round = 0; round < 3; ++round) {
        slow->write(QByteArray(1, "%1POWR ?\r"[round]));
        for (auto &c : clients)
            c->write("%1POWR ?\r");
        for (auto &c : clients)
            QCOMPARE(ask(*c, QByteArray()), QByteArray("%1POWR=1\r"));
    }
    QByteArray held;
    QElapsedTimer t;
    t.start();
    while (held.count("%2SVOL=OK\r") < 5 && t.elapsed() < kWait) {
        holder->waitForReadyRead(200);
        held += holder->readAll();
    }
    QCOMPARE(held, QByteArray("%2SVOL=OK\r").repeated(5));
    QCOMPARE(sim.log().count("C09"), 5); // each step reached the projector, once
    QVERIFY(silent->state() == QAbstractSocket::ConnectedState);
    // An unknown command and one of class 2 the projector cannot do.
    QCOMPARE(ask(*clients[0], "%1XXXX ?\r"), QByteArray("%1XXXX=ERR1\r"));
    QCOMPARE(ask(*clients[0], "%2INPT ?\r"), QByteArray("%2INPT=ERR1\r"));
}

void TestOdrad::projectorSilent()
{
    ProjectorSimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--silent")}));
    Odrad odrad;
    QVERIFY(odrad.start(sim.devicePath()));
    auto client = connectRaw(odrad.port);
    QVERIFY(client);
    QCOMPARE(ask(*client, "%1POWR ?\r"), QByteArray("%1POWR=ERR4\r"));
    QCOMPARE(ask(*client, "%1NAME ?\r"), QByteArray("%1NAME=Hall\r"));
}

// The projector's adapter pulled and plugged in again: ERR4 at once while it is away, answers
// again once it is back, without a restart.
void TestOdrad::projectorUnpluggedAndBack()
{
    QTemporaryDir links;
    const QString device = links.filePath(QStringLiteral("projector"));
    auto first = std::make_unique<ProjectorSimProcess>();
    QVERIFY(first->start());
    QVERIFY(QFile::link(first->devicePath(), device));
    Odrad odrad;
    QVERIFY(odrad.start(device));
    auto client = connectRaw(odrad.port);
    QVERIFY(client);
    QCOMPARE(ask(*client, "%1POWR ?\r"), QByteArray("%1POWR=0\r"));

    first.reset(); // unplugged
    QFile::remove(device);
    QCOMPARE(askUntil(*client, "%1POWR ?\r", "%1POWR=ERR4\r", kWait), QByteArray("%1POWR=ERR4\r"));

    ProjectorSimProcess second;
    QVERIFY(second.start());
    QVERIFY(QFile::link(second.devicePath(), device));
    QCOMPARE(askUntil(*client, "%1POWR ?\r", "%1POWR=0\r", 3 * kWait), QByteArray("%1POWR=0\r"));
}

// SIGTERM while a command waits for the projector: odrad ends at once and in order, its port
// and its lock file gone.
void TestOdrad::sigtermDuringCommand()
{
    ProjectorSimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--latency"), QStringLiteral("3000")}));
    Odrad odrad;
    QVERIFY(odrad.start(sim.devicePath()));
    auto client = connectRaw(odrad.port);
    QVERIFY(client);
    client->write("%1POWR 1\r");
    client->waitForBytesWritten(1000);
    QTest::qWait(300);
    ::kill(pid_t(odrad.process.processId()), SIGTERM);
    QVERIFY(odrad.process.waitForFinished(kWait));
    QCOMPARE(odrad.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(odrad.process.exitCode(), 0);
    QVERIFY(closedWithin(*client, kWait));
    QString name = sim.devicePath().mid(5);
    name.replace(u'/', u'_');
    for (const char *dir : {"/var/lock", "/run/lock"})
        QVERIFY(!QFileInfo::exists(QString::fromLatin1(dir) + QStringLiteral("/LCK..") + name));
}

QTEST_GUILESS_MAIN(TestOdrad)
#include "tst_odrad.moc"
