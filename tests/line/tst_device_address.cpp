// SPDX-License-Identifier: MIT
// Device names: which are paths, which are device servers, and what is wrong with a bad one.
#include "line/device_address.h"

#include <QtTest>

using Kind = DeviceAddress::Kind;
using Problem = DeviceAddress::Problem;

class DeviceAddressTest : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void everyProblemIsWorded();
};

void DeviceAddressTest::parse_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<Problem>("problem");

    QTest::newRow("device path") << "/dev/ttyUSB0" << Kind::Serial << "" << 0 << Problem::None;
    QTest::newRow("by-id path with colons") << "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0:1.0"
                                            << Kind::Serial << "" << 0 << Problem::None;
    QTest::newRow("Windows port") << "COM3" << Kind::Serial << "" << 0 << Problem::None;
    QTest::newRow("rfc2217") << "rfc2217://rack-7.example:2001" << Kind::Rfc2217 << "rack-7.example"
                             << 2001 << Problem::None;
    QTest::newRow("socket") << "socket://10.0.0.5:4001" << Kind::RawSocket << "10.0.0.5" << 4001
                            << Problem::None;
    QTest::newRow("scheme in capitals")
        << "RFC2217://box:1" << Kind::Rfc2217 << "box" << 1 << Problem::None;
    QTest::newRow("IPv6 in brackets")
        << "rfc2217://[::1]:2000" << Kind::Rfc2217 << "::1" << 2000 << Problem::None;
    QTest::newRow("another tool's options") << "rfc2217://box:2001?ign_set_control&logging=debug"
                                            << Kind::Rfc2217 << "box" << 2001 << Problem::None;

    QTest::newRow("unknown scheme")
        << "tcp://box:2000" << Kind::RawSocket << "" << 0 << Problem::UnknownKind;
    QTest::newRow("nothing after the scheme")
        << "rfc2217://" << Kind::Rfc2217 << "" << 0 << Problem::NoHost;
    QTest::newRow("empty host") << "rfc2217://:2000" << Kind::Rfc2217 << "" << 0 << Problem::NoHost;
    QTest::newRow("no port") << "rfc2217://box" << Kind::Rfc2217 << "box" << 0 << Problem::NoPort;
    QTest::newRow("port 0") << "socket://box:0" << Kind::RawSocket << "box" << 0
                            << Problem::BadPort;
    QTest::newRow("port too high")
        << "socket://box:65536" << Kind::RawSocket << "box" << 0 << Problem::BadPort;
    QTest::newRow("port not a number")
        << "socket://box:20a1" << Kind::RawSocket << "box" << 0 << Problem::BadPort;
    QTest::newRow("trailing slash")
        << "socket://box:2000/" << Kind::RawSocket << "box" << 0 << Problem::BadPort;
    QTest::newRow("IPv6 without brackets")
        << "rfc2217://::1:2000" << Kind::Rfc2217 << "" << 0 << Problem::BadHost;
    QTest::newRow("blank in host")
        << "rfc2217://my box:2000" << Kind::Rfc2217 << "" << 0 << Problem::BadHost;
    QTest::newRow("no colon after brackets")
        << "rfc2217://[::1]2000" << Kind::Rfc2217 << "" << 0 << Problem::BadHost;
    QTest::newRow("a lone colon in brackets")
        << "socket://[:]:1" << Kind::RawSocket << "" << 0 << Problem::BadHost;
    QTest::newRow("two double colons")
        << "socket://[::1::2]:1" << Kind::RawSocket << "" << 0 << Problem::BadHost;
    QTest::newRow("unknown option")
        << "rfc2217://box:2001?baud=9600" << Kind::Rfc2217 << "" << 0 << Problem::BadOption;
}

void DeviceAddressTest::parse()
{
    QFETCH(QString, device);
    QFETCH(Kind, kind);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(Problem, problem);
    const DeviceAddress a = DeviceAddress::parse(device);
    QCOMPARE(a.problem, problem);
    QCOMPARE(a.kind, kind);
    QCOMPARE(a.isValid(), problem == Problem::None);
    if (problem == Problem::None) {
        QCOMPARE(a.host, host);
        QCOMPARE(int(a.port), port);
    }
}

void DeviceAddressTest::everyProblemIsWorded()
{
    for (const Problem p : {Problem::UnknownKind, Problem::NoHost, Problem::BadHost,
                            Problem::NoPort, Problem::BadPort, Problem::BadOption}) {
        DeviceAddress a;
        a.problem = p;
        QVERIFY2(!a.problemText().isEmpty(), qPrintable(QString::number(int(p))));
        // A socket:// name is not mended by the advice to spell it as an rfc2217:// one.
        a.kind = DeviceAddress::Kind::RawSocket;
        if (p != Problem::UnknownKind)
            QVERIFY2(!a.problemText().contains(QLatin1String("rfc2217")),
                     qPrintable(a.problemText()));
    }
    QVERIFY(DeviceAddress().problemText().isEmpty());
}

QTEST_APPLESS_MAIN(DeviceAddressTest)
#include "tst_device_address.moc"
