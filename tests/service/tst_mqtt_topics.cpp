// SPDX-License-Identifier: MIT
// The MQTT face's translations, without a broker: command payloads to catalogue requests, state
// to topics, discovery documents, and the [mqtt] section.

#include "service/mqtt_discovery.h"
#include "service/mqtt_settings.h"
#include "service/mqtt_topics.h"

#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryFile>

using protocol::PowerState;

class TestMqttTopics : public QObject
{
    Q_OBJECT

private slots:
    void commands_data();
    void commands();
    void power();
    void unknownReadingsLeaveTopicsAlone();
    void discoveryDocuments();
    void settings_data();
    void settings();
};

// What a command payload asks of the projector: the catalogue names (typed text as "text:..."),
// or "error" when it is refused.
void TestMqttTopics::commands_data()
{
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("sendAllowed");
    QTest::addColumn<QStringList>("expected");

    const QStringList error{"error"};
    QTest::newRow("power on, any case, then the state")
        << "power/set" << QByteArray("on\n") << false << QStringList{"power-on", "status"};
    QTest::newRow("power toggle") << "power/set" << QByteArray("TOGGLE") << false << error;
    QTest::newRow("input by name") << "input/set" << QByteArray("input-lan") << false
                                   << QStringList{"input-lan", "input-mode"};
    QTest::newRow("picture mute") << "picture-mute/set" << QByteArray("ON") << false
                                  << QStringList{"no-show-on", "text:CRA"};
    QTest::newRow("press by name")
        << "press" << QByteArray("volume-up") << false << QStringList{"volume-up/0"};
    QTest::newRow("press JSON, held")
        << "press" << QByteArray(R"({"command": "volume-down", "hold_ms": 1000})") << false
        << QStringList{"volume-down/1000"};
    QTest::newRow("press unknown") << "press" << QByteArray("self-destruct") << false << error;
    QTest::newRow("press smuggling a second command")
        << "press" << QByteArray("power-off\r\nC01") << false << error;
    QTest::newRow("hold too long")
        << "press" << QByteArray(R"({"command": "volume-up", "hold_ms": 3600000})") << false
        << error;
    QTest::newRow("hold a one-shot")
        << "press" << QByteArray(R"({"command": "power-on", "hold_ms": 500})") << false << error;
    QTest::newRow("broken JSON") << "press" << QByteArray("{\"command\":") << false << error;
    QTest::newRow("send refused") << "send" << QByteArray("CR0") << false << error;
    QTest::newRow("send allowed") << "send" << QByteArray("CR0") << true << QStringList{"text:CR0"};
    QTest::newRow("send smuggling a second command")
        << "send" << QByteArray("CR0\rC00") << true << error;
    QTest::newRow("send binary") << "send"
                                 << QByteArray("C\x00"
                                               "0",
                                               3)
                                 << true << error;
    QTest::newRow("send overlong")
        << "send" << QByteArray(mqtt::kMaxTypedLength + 1, 'C') << true << error;
}

void TestMqttTopics::commands()
{
    QFETCH(QString, topic);
    QFETCH(QByteArray, payload);
    QFETCH(bool, sendAllowed);
    QFETCH(QStringList, expected);

    const mqtt::Command c = mqtt::readCommand(
        topic, payload, sendAllowed ? mqtt::SendPolicy::Allowed : mqtt::SendPolicy::Refused);
    QStringList got;
    for (const ProjectorRequest &r : c.requests) {
        const QString name = r.isTyped() ? "text:" + r.text : QString::fromUtf8(r.command->name);
        got << (r.isHold() ? QStringLiteral("%1/%2").arg(name).arg(r.holdMs) : name);
    }
    if (!c.error.isEmpty())
        got << "error";
    QCOMPARE(got, expected);
}

// The power switch shows where the projector is heading: on while warming, off while cooling.
// Every power state the projector can report has a name of its own on power-state, and power
// says only ON or OFF (the mapping itself is docs/mqtt.md's table).
void TestMqttTopics::power()
{
    QSet<QByteArray> names;
    for (int state = 0; state <= int(PowerState::StandByLampFail); ++state) {
        ProjectorState s;
        s.available = true;
        s.power.value = PowerState(state);
        QByteArray power, name;
        for (const mqtt::TopicPayload &t : mqtt::stateTopics(s)) {
            if (t.topic == "power")
                power = t.payload;
            else if (t.topic == "power-state")
                name = t.payload;
        }
        QVERIFY2(power == "ON" || power == "OFF", power.constData());
        QVERIFY(!name.isEmpty() && !names.contains(name));
        names << name;
    }
}

void TestMqttTopics::unknownReadingsLeaveTopicsAlone()
{
    ProjectorState s; // line down, nothing heard
    QCOMPARE(mqtt::stateTopics(s), (QList<mqtt::TopicPayload>{{"availability", "offline"}}));

    s.mute.value = protocol::MuteState::StandBy; // says nothing of either mute
    s.temperatures.value = protocol::Temperatures{31.5, 40, -2};
    const QList<mqtt::TopicPayload> topics = mqtt::stateTopics(s);
    QCOMPARE(topics.size(), 2);
    const QJsonObject t = QJsonDocument::fromJson(topics.at(1).payload).object();
    QCOMPARE(t.value("first").toDouble(), 31.5);
    QCOMPARE(t.value("third").toDouble(), -2.0);
}

void TestMqttTopics::discoveryDocuments()
{
    const mqtt::DiscoveryNames names{"homeassistant", "odra", "rack-1"};
    const QString awkward = "Hall \"left\"\n\\ 1";
    const QList<mqtt::TopicPayload> docs =
        mqtt::projectorDiscovery(names, {"hall.left", awkward, "MP-Q85", "ODRA"});

    QStringList topics, uniqueIds;
    for (const mqtt::TopicPayload &d : docs) {
        QJsonParseError error{};
        const QJsonObject o = QJsonDocument::fromJson(d.payload, &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError, d.topic.toUtf8());
        topics << d.topic;
        uniqueIds << o.value("unique_id").toString();
        QCOMPARE(o.value("device").toObject().value("name").toString(), awkward);
        QCOMPARE(o.value("device").toObject().value("via_device").toString(), "odra_bridge_rack-1");
        QCOMPARE(o.value("availability_mode").toString(), "all");
        QCOMPARE(o.value("availability").toArray().size(), 2);
        QCOMPARE(o.value("~").toString(), "odra/hall.left");
        if (o.value("device_class") == "enum")
            QVERIFY(o.value("options").toArray().contains("warming"));
        QVERIFY2(d.topic.startsWith("homeassistant/") && d.topic.contains("/odra_hall_left/"),
                 d.topic.toUtf8());
    }
    QCOMPARE(QSet<QString>(uniqueIds.begin(), uniqueIds.end()).size(), docs.size());
    // What a removed projector clears is exactly what was published for it.
    QCOMPARE(mqtt::projectorDiscoveryTopics("homeassistant", "hall.left"), topics);
    const QJsonObject bridge =
        QJsonDocument::fromJson(mqtt::bridgeDiscovery(names).payload).object();
    QCOMPARE(bridge.value("device").toObject().value("identifiers").toArray().first().toString(),
             "odra_bridge_rack-1");
}

void TestMqttTopics::settings_data()
{
    QTemporaryFile *secret = new QTemporaryFile(this);
    QVERIFY(secret->open());
    secret->write("s3cret\r\nsecond line\n");
    secret->close();

    QTest::addColumn<QStringList>("keys"); // key=value
    QTest::addColumn<QString>("expected"); // host:port user:password, or the first error
    QTest::newRow("defaults") << QStringList{} << "127.0.0.1:1883 :";
    QTest::newRow("TLS default port")
        << QStringList{"broker=mqtts://broker.example"} << "broker.example:8883 :";
    QTest::newRow("port and password file")
        << QStringList{"broker=mqtt://10.0.0.5:11883", "username=odra",
                       "password-file=" + secret->fileName()}
        << "10.0.0.5:11883 odra:s3cret";
    QTest::newRow("no broker URL") << QStringList{"broker=10.0.0.5"} << "no mqtt://";
    QTest::newRow("unknown key") << QStringList{"brocker=mqtt://x"} << "unknown key";
    QTest::newRow("wildcard host id") << QStringList{"host-id=rack/#"} << "cannot stand";
    QTest::newRow("missing password file")
        << QStringList{"password-file=/nonexistent/odra"} << "password-file";
    QTest::newRow("CA for plain MQTT")
        << QStringList{"ca-file=" + secret->fileName()} << "mqtts:// brokers only";
}

void TestMqttTopics::settings()
{
    QFETCH(QStringList, keys);
    QFETCH(QString, expected);
    QList<MqttSettingEntry> entries;
    for (const QString &kv : keys)
        entries.append({kv.section('=', 0, 0), kv.section('=', 1), int(entries.size()) + 2});
    QList<MqttSettingError> errors;
    const MqttSettings s = readMqttSettings(entries, "host", &errors);
    if (errors.isEmpty()) {
        QCOMPARE(QStringLiteral("%1:%2 %3:%4").arg(s.host).arg(s.port).arg(s.username, s.password),
                 expected);
    } else {
        QVERIFY2(errors.first().message.contains(expected), qUtf8Printable(errors.first().message));
    }
}

QTEST_GUILESS_MAIN(TestMqttTopics)
#include "tst_mqtt_topics.moc"
