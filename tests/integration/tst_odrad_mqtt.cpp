// SPDX-License-Identifier: MIT
// odrad's MQTT face against a real broker: mosquitto started here on a free loopback port,
// mosquitto_sub and mosquitto_pub as the independent clients, odra-projector-sim at the far end
// of the lines. The functions run in order, each from where the one before left the system.

#include "mosquitto_process.h"
#include "odrad_process.h"
#include "projector_sim_process.h"

#include <QtTest>

#include <QTemporaryDir>

namespace {

const QStringList kEverything{"odra/#", "homeassistant/#"};
constexpr int kWait = 20000;
const QString kPowerConfig = QStringLiteral("homeassistant/switch/odra_%1/power/config");

// odrad for one host of the fleet: its projectors by id and device, on the broker.
bool startHost(OdradProcess &odrad, const QString &hostId,
               const QList<QPair<QString, QString>> &projectors, const QString &broker)
{
    QString config;
    for (const auto &[id, device] : projectors)
        config += QStringLiteral("[%1]\ndevice = %2\npjlink-listen = 127.0.0.1:%3\n"
                                 "poll-status = 1\n\n")
                      .arg(id, device)
                      .arg(freeLoopbackPort());
    return odrad.start(config +
                       QStringLiteral("[mqtt]\nbroker = %1\nhost-id = %2\n").arg(broker, hostId));
}

} // namespace

class TestOdradMqtt : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void publishesDiscoveryAndRetainedState();
    void powerSetReachesTheProjector();
    void ignoresMalformedCommands_data();
    void ignoresMalformedCommands();
    void homeAssistantBackRepublishes();
    void unpluggedProjectorAloneGoesOffline();
    void brokerRestartRepublishes();
    void secondHostLeavesAClaimedIdAlone();
    void killedBridgeLeavesItsWill();

private:
    QString pluggedDevice() const { return work.filePath(QStringLiteral("p2")); }
    bool plugIn();
    int received(int projector, const QByteArray &command) const
    {
        return int(sims.log().count(QByteArray::number(projector) + "  rx  " + command + "<CR>"));
    }

    MosquittoProcess broker;
    ProjectorSimProcess sims;      // 1: p1 at host a; 2: p1 again at host b; 3: p3 at host b
    ProjectorSimProcess pluggable; // p2 at host a, through a link the test moves
    QTemporaryDir work;
    OdradProcess a, b;
    MqttSubscriber watch;
};

void TestOdradMqtt::initTestCase()
{
    if (!MosquittoProcess::available())
        QSKIP("mosquitto and mosquitto-clients are not installed (scripts/install-deps)");
    QVERIFY2(!qEnvironmentVariableIsEmpty("ODRAD"), "ODRAD names odrad");
    QVERIFY(broker.start());
    QVERIFY(sims.start({"--count", "3", "--countdown", "1"}, 3));
    QVERIFY(plugIn());
    QVERIFY(startHost(a, "a", {{"p1", sims.devicePaths().at(0)}, {"p2", pluggedDevice()}},
                      broker.url()));
}

void TestOdradMqtt::cleanup()
{
    if (QTest::currentTestFailed()) {
        qWarning().noquote() << "odrad a:\n" + a.log().right(3000) + "\nodrad b:\n" +
                                    b.log().right(3000) + "\nseen:\n" +
                                    watch.lines().mid(watch.count() - 40).join('\n');
    }
}

bool TestOdradMqtt::plugIn()
{
    QFile::remove(pluggedDevice());
    return pluggable.start({"--countdown", "1"}) &&
           QFile::link(pluggable.devicePath(), pluggedDevice());
}

void TestOdradMqtt::publishesDiscoveryAndRetainedState()
{
    // Wait for odrad to publish, then subscribe anew: what a newcomer sees was retained.
    {
        MqttSubscriber first;
        QVERIFY(first.start(broker.port(), {"odra/p1/power-state"}));
        QVERIFY(first.waitFor("odra/p1/power-state", "standby"));
    }
    QVERIFY(watch.start(broker.port(), kEverything));
    QVERIFY(watch.waitFor("odra/bridge/a/availability", "online"));
    QVERIFY(watch.waitFor("odra/p1/availability", "online"));
    QVERIFY(watch.waitFor("odra/p1/power", "OFF"));
    QVERIFY(watch.waitFor("odra/p1/owner", "a"));
    QVERIFY(watch.waitFor("odra/p2/availability", "online"));
    QTRY_VERIFY_WITH_TIMEOUT(!watch.last(kPowerConfig.arg("p1")).isEmpty(), kWait);
}

void TestOdradMqtt::powerSetReachesTheProjector()
{
    QVERIFY(broker.publish("odra/p1/power/set", "ON"));
    QTRY_VERIFY_WITH_TIMEOUT(received(1, "C00") == 1, kWait);
    QVERIFY(watch.waitFor("odra/p1/power", "ON"));
    QVERIFY(watch.waitFor("odra/p1/power-state", "warming"));
    QVERIFY(watch.waitFor("odra/p1/power-state", "on"));
    QCOMPARE(received(2, "C00"), 0);
    // Polls that find nothing new publish nothing.
    QVERIFY(watch.waitFor("odra/p1/sound-mute", "OFF")); // the last answer of the first poll on
    const qsizetype from = watch.count();
    const int polls = received(1, "CR0");
    QTRY_VERIFY_WITH_TIMEOUT(received(1, "CR0") >= polls + 3, kWait);
    QCOMPARE(watch.lines().mid(from), QList<QByteArray>());
}

void TestOdradMqtt::ignoresMalformedCommands_data()
{
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("power word") << "odra/p1/power/set" << QByteArray("\x1b[2JOFF");
    QTest::newRow("binary") << "odra/p1/input/set" << QByteArray("\xff\x00\x01", 3);
    QTest::newRow("typed text not allowed") << "odra/p1/send" << QByteArray("C01");
    QTest::newRow("no such topic") << "odra/p1/lamp-hours/set" << QByteArray("0");
}

void TestOdradMqtt::ignoresMalformedCommands()
{
    QFETCH(QString, topic);
    QFETCH(QByteArray, payload);
    const qsizetype logged = a.log().count("ignored");
    const int freezes = received(1, "C43");
    QVERIFY(broker.publish(topic, payload));
    // A good command after it: once that arrived, the bad one was handled before it.
    QVERIFY(broker.publish("odra/p1/freeze/set", "ON"));
    QTRY_VERIFY_WITH_TIMEOUT(received(1, "C43") == freezes + 1, kWait);
    QTRY_VERIFY_WITH_TIMEOUT(a.log().count("ignored") == logged + 1, kWait);
    QCOMPARE(received(1, "C01"), 0);
    const QByteArray log = a.log();
    QVERIFY2(!log.contains('\x1b') && !log.contains('\xff'), "outside bytes escaped in the log");
    QCOMPARE(a.process.state(), QProcess::Running);
}

void TestOdradMqtt::homeAssistantBackRepublishes()
{
    const qsizetype from = watch.count();
    QVERIFY(broker.publish("homeassistant/status", "online"));
    QVERIFY(watch.waitFor(kPowerConfig.arg("p1"), watch.last(kPowerConfig.arg("p1")), 20000, from));
    QVERIFY(watch.waitFor("odra/p1/power-state", "on", 20000, from));
}

void TestOdradMqtt::unpluggedProjectorAloneGoesOffline()
{
    const qsizetype from = watch.count();
    pluggable.process().kill();
    pluggable.process().waitForFinished(5000);
    QVERIFY(watch.waitFor("odra/p2/availability", "offline", 20000, from));
    QVERIFY(plugIn());
    QVERIFY(watch.waitFor("odra/p2/availability", "online", 90000, from));
    QVERIFY(!watch.lines().mid(from).contains("odra/p1/availability offline"));
    QVERIFY(!watch.lines().mid(from).contains("odra/bridge/a/availability offline"));
}

void TestOdradMqtt::brokerRestartRepublishes()
{
    broker.kill();
    QVERIFY(broker.start()); // without persistence: it comes back knowing nothing
    MqttSubscriber after;
    QVERIFY(after.start(broker.port(), kEverything));
    QVERIFY(after.waitFor("odra/bridge/a/availability", "online", 90000));
    QVERIFY(after.waitFor("odra/p1/power-state", "on"));
    QTRY_VERIFY_WITH_TIMEOUT(!after.last(kPowerConfig.arg("p1")).isEmpty(), kWait);
    QVERIFY(watch.start(broker.port(), kEverything));
    QVERIFY(watch.waitFor("odra/p1/availability", "online"));
}

void TestOdradMqtt::secondHostLeavesAClaimedIdAlone()
{
    QVERIFY(startHost(b, "b", {{"p1", sims.devicePaths().at(1)}, {"p3", sims.devicePaths().at(2)}},
                      broker.url()));
    QVERIFY(watch.waitFor("odra/bridge/b/availability", "online"));
    QVERIFY(watch.waitFor("odra/p3/owner", "b"));
    QVERIFY(watch.waitFor("odra/p3/availability", "online"));
    QTRY_VERIFY_WITH_TIMEOUT(b.log().contains("served by host \"a\""), kWait);
    QCOMPARE(watch.last("odra/p1/owner"), QByteArray("a"));
    // A command to p1 reaches a's projector only.
    QVERIFY(broker.publish("odra/p1/freeze/set", "OFF"));
    QTRY_VERIFY_WITH_TIMEOUT(received(1, "C44") == 1, kWait);
    QVERIFY(broker.publish("odra/p3/freeze/set", "OFF"));
    QTRY_VERIFY_WITH_TIMEOUT(received(3, "C44") == 1, kWait);
    QCOMPARE(received(2, "C44"), 0);
}

void TestOdradMqtt::killedBridgeLeavesItsWill()
{
    const qsizetype from = watch.count();
    killAndWait(a.process);
    QVERIFY(watch.waitFor("odra/bridge/a/availability", "offline", 20000, from));
    // The other host serves the id now that nobody does.
    QVERIFY(watch.waitFor("odra/p1/owner", "b", 20000, from));
    // a comes back without p2: p2's entities are cleared, p1 stays with b.
    QVERIFY(startHost(a, "a", {{"p1", sims.devicePaths().at(0)}}, broker.url()));
    QVERIFY(watch.waitFor(kPowerConfig.arg("p2"), "(null)", 20000, from));
    QVERIFY(watch.waitFor("odra/bridge/a/availability", "online", 20000, from));
    QCOMPARE(watch.last("odra/p1/owner"), QByteArray("b"));
}

QTEST_GUILESS_MAIN(TestOdradMqtt)
#include "tst_odrad_mqtt.moc"
