// SPDX-License-Identifier: MIT
// odrad's configuration: what each file reads as, and every error with its line.
#include "service/config.h"

#include <QtTest>

class TestServiceConfig : public QObject
{
    Q_OBJECT
private slots:
    void errors_data();
    void errors();
    void readsTheExample();
};

void TestServiceConfig::errors_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<int>>("lines"); // of the errors, in order

    QTest::newRow("one projector") << QByteArray("[a]\ndevice = /dev/ttyS0\n") << QList<int>{};
    QTest::newRow("inline comments")
        << QByteArray("[a] # the left one\ndevice = /dev/ttyS0   # the adapter\n"
                      "pjlink-password = se#cret ; ok\n")
        << QList<int>{};
    QTest::newRow("reserved sections")
        << QByteArray("[mqtt]\nhost = x\n[a]\ndevice = /dev/ttyS0\n") << QList<int>{};
    QTest::newRow("every kind of error")
        << QByteArray("stray = 1\n"                      // 1 outside any section
                      "[a]\n"                            // 2
                      "device = /dev/ttyS0\n"            // 3
                      "speed = 38400\n"                  // 4
                      "colour = red\n"                   // 5 unknown key
                      "device = /dev/ttyS1\n"            // 6 key twice
                      "pjlink-listen = localhost:4352\n" // 7 no address
                      "poll-status = -1\n"               // 8
                      "[b]\n"                            // 9 same port as a, and listen port
                      "device = /dev/ttyS0\n"            // 10
                      "[a]\n"                            // 11 id twice
                      "[c]\n"                            // 12 no device
                      "pjlink-listen = 0.0.0.0:4353\n"   // 13
                      "[d]\n"                            // 14 listens where c does
                      "device = socket://host\n"         // 15 no port
                      "pjlink-listen = 127.0.0.1:4353\n" // 16
                      "garbage\n"                        // 17
                      "[bad id!]\n")                     // 18
        << QList<int>{1, 4, 5, 6, 7, 8, 9, 9, 11, 12, 14, 15, 17, 18};
    QTest::newRow("nothing configured") << QByteArray("# all commented\n") << QList<int>{0};
}

void TestServiceConfig::errors()
{
    QFETCH(QByteArray, text);
    QFETCH(QList<int>, lines);
    const ServiceConfig config = parseConfig(text);
    QList<int> found;
    for (const ConfigError &e : config.errors)
        found.append(e.line);
    QCOMPARE(found, lines);
    // Each error reads as FILE:LINE: text, one a line.
    QCOMPARE(config.errorReport(QStringLiteral("f")).count(u'\n'), lines.size());
}

void TestServiceConfig::readsTheExample()
{
    const ServiceConfig config = parseConfig(
        "[hall-left]\n"
        "device = /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1-if00-port0   # or rfc2217://\n"
        "speed = 9600\n"
        "name = Hall left\n"
        "pjlink-listen = [::]:4352\n"
        "pjlink-password = secret\n"
        "poll-status = 0\n"
        "poll-lamp = 60\n"
        "[hall-right]\n"
        "device = rfc2217://[::1]:2000\n"
        "pjlink-listen = 127.0.0.1:4353\n");
    QVERIFY2(config.isValid(), qPrintable(config.errorReport(QStringLiteral("-"))));
    QCOMPARE(config.projectors.size(), 2);
    const ProjectorConfig &left = config.projectors[0];
    QCOMPARE(left.device,
             QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1-if00-port0"));
    QCOMPARE(left.speed, 9600);
    QCOMPARE(left.name, QStringLiteral("Hall left"));
    QCOMPARE(left.listenText(), QStringLiteral("[::]:4352"));
    QCOMPARE(left.password, QStringLiteral("secret"));
    QCOMPARE(left.pollStatusS, 0);
    QCOMPARE(left.pollLampS, 60);
    const ProjectorConfig &right = config.projectors[1];
    QCOMPARE(right.name, QStringLiteral("hall-right")); // the id, without a name
    QCOMPARE(right.speed, 19200);
    QCOMPARE(right.pollStatusS, 10);
}

QTEST_APPLESS_MAIN(TestServiceConfig)
#include "tst_service_config.moc"
