// SPDX-License-Identifier: MIT
// The PJLink wire format byte for byte: lines read, replies written, the login.
#include "service/pjlink_protocol.h"

#include <QtTest>

using pjlink::LineKind;

class TestPjlinkProtocol : public QObject
{
    Q_OBJECT
private slots:
    void lines_data();
    void lines();
    void replies_data();
    void replies();
    void login();
};

void TestPjlinkProtocol::lines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("reply"); // to an OK, where the line names a command

    const auto row = [](const char *name, QByteArray line, LineKind kind, QByteArray reply) {
        QTest::newRow(name) << line << int(kind) << reply;
    };
    row("query", "%1POWR ?", LineKind::Command, "%1POWR=OK\r");
    row("setting", "%1INPT 31", LineKind::Command, "%1INPT=OK\r");
    row("lowercase name", "%1powr 1", LineKind::Command, "%1POWR=OK\r");
    row("class 2", "%2FREZ 1", LineKind::Command, "%2FREZ=OK\r");
    row("no parameter", "%1POWR", LineKind::Undefined, "%1POWR=OK\r");
    row("no blank", "%1POWR1", LineKind::Undefined, "%1POWR=OK\r");
    row("name of three", "%1POW 1", LineKind::Unreadable, "");
    row("binary in name", QByteArray("%1PO\x01R 1", 8), LineKind::Unreadable, "");
    row("binary parameter", QByteArray("%1POWR \x00\xff", 9), LineKind::OutOfParameter,
        "%1POWR=OK\r");
    row("parameter of 128", "%1NAME " + QByteArray(128, 'x'), LineKind::Command, "%1NAME=OK\r");
    row("parameter of 129", "%1NAME " + QByteArray(129, 'x'), LineKind::OutOfParameter,
        "%1NAME=OK\r");
    row("no header", "POWR ?", LineKind::Unreadable, "");
    row("class 0", "%0POWR ?", LineKind::Unreadable, "");
    row("empty", "", LineKind::Unreadable, "");
    // The CR ends a line: what follows it inside a parameter is a line of its own.
    row("after a CR", "2", LineKind::Unreadable, "");
}

void TestPjlinkProtocol::lines()
{
    QFETCH(QByteArray, line);
    QFETCH(int, kind);
    QFETCH(QByteArray, reply);
    const pjlink::ParsedLine parsed = pjlink::parseLine(line);
    QCOMPARE(int(parsed.kind), kind);
    if (parsed.kind != LineKind::Unreadable)
        QCOMPARE(pjlink::reply(parsed.command, pjlink::Code::Ok), reply);
}

void TestPjlinkProtocol::replies_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("OK") << int(pjlink::Code::Ok) << QByteArray("%1AVMT=OK\r");
    QTest::newRow("ERR1") << int(pjlink::Code::UndefinedCommand) << QByteArray("%1AVMT=ERR1\r");
    QTest::newRow("ERR2") << int(pjlink::Code::OutOfParameter) << QByteArray("%1AVMT=ERR2\r");
    QTest::newRow("ERR3") << int(pjlink::Code::UnavailableTime) << QByteArray("%1AVMT=ERR3\r");
    QTest::newRow("ERR4") << int(pjlink::Code::ProjectorFailure) << QByteArray("%1AVMT=ERR4\r");
}

void TestPjlinkProtocol::replies()
{
    QFETCH(int, code);
    QFETCH(QByteArray, reply);
    const pjlink::Command command = pjlink::parseLine("%1AVMT 31").command;
    QCOMPARE(pjlink::reply(command, pjlink::Code(code)), reply);
    // An answer never carries a control byte that would end or split the line.
    QCOMPARE(pjlink::reply(command, QByteArray("a\rb\x01", 4)), QByteArray("%1AVMT=a?b?\r"));
}

void TestPjlinkProtocol::login()
{
    QCOMPARE(pjlink::greeting({}), QByteArray("PJLINK 0\r"));
    QCOMPARE(pjlink::greeting("498e4a67"), QByteArray("PJLINK 1 498e4a67\r"));
    // The published example of the login digest.
    QCOMPARE(pjlink::digest("498e4a67", "JBMIAProjectorLink"),
             QByteArray("5d8409bc1c3fa39749434aa3a5c38682"));

    const auto login = pjlink::splitLogin("5D8409BC1C3FA39749434AA3A5C38682%1POWR ?");
    QVERIFY(login);
    QCOMPARE(login->digest, QByteArray("5d8409bc1c3fa39749434aa3a5c38682"));
    QCOMPARE(login->rest, QByteArray("%1POWR ?"));
    QVERIFY(!pjlink::splitLogin("%1POWR ?"));
    QVERIFY(!pjlink::splitLogin("5d8409bc1c3fa39749434aa3a5c3868")); // 31 digits
    QVERIFY(!pjlink::splitLogin("5d8409bc1c3fa39749434aa3a5c3868g%1POWR ?"));
}

QTEST_APPLESS_MAIN(TestPjlinkProtocol)
#include "tst_pjlink_protocol.moc"
