// SPDX-License-Identifier: MIT
// The panel through a serial device server: the real window on real timers, the line the program
// uses, and ser2net between it and a pseudo-terminal (the simulator's or the test's own), over
// loopback. Bounds are generous: a busy machine must not fail these.
#include "network_panel.h"
#include "projector_sim_process.h"
#include "pseudo_terminal.h"

#include <QtTest>

#include <termios.h>

namespace {

constexpr int kWait = 10000;
constexpr double kIdleCpuSeconds = 0.5;

using Accepter = Ser2netProcess::Accepter;

speed_t speedOf(const PseudoTerminal &pty)
{
    termios t{};
    return pty.deviceAttributes(&t) ? cfgetospeed(&t) : B0;
}

} // namespace

class NetworkLineTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void endToEnd_data();
    void endToEnd();
    void speedAtTheFarPort_data();
    void speedAtTheFarPort();
    void byteFFBothWays_data();
    void byteFFBothWays();
    void serverStoppedDuringHold();
};

void NetworkLineTest::initTestCase()
{
    if (!Ser2netProcess::available())
        QFAIL("ser2net is not installed (scripts/install-deps installs it)");
}

void NetworkLineTest::endToEnd_data()
{
    QTest::addColumn<Accepter>("accepter");
    QTest::newRow("RFC 2217") << Accepter::Rfc2217;
    QTest::newRow("raw socket") << Accepter::Raw;
}

void NetworkLineTest::endToEnd()
{
    QFETCH(Accepter, accepter);
    ProjectorSimProcess sim;
    QVERIFY(sim.start());
    Ser2netProcess server;
    QVERIFY2(server.start(sim.devicePath(), accepter), server.log().constData());
    NetworkPanel panel(server.url());
    QTRY_VERIFY2_WITH_TIMEOUT(panel.session->portOpen(), server.log().constData(), kWait);
    QVERIFY2(panel.warnings.isEmpty(), qPrintable(panel.warnings.join('\n')));

    panel.click("status");
    QTRY_COMPARE_WITH_TIMEOUT(panel.statusLine(), QString(" Stand by"), kWait);
    QTRY_VERIFY_WITH_TIMEOUT(!panel.session->replyWindow().isEnabled(), kWait);
    panel.click("power-on");
    QTRY_COMPARE_WITH_TIMEOUT(panel.rxd(), QString(" ACK "), kWait);
    QVERIFY(sim.log().contains("C00<CR>"));
    QCOMPARE(panel.arrived, QByteArray("80\r\x06"));
}

void NetworkLineTest::speedAtTheFarPort_data()
{
    QTest::addColumn<Accepter>("accepter");
    QTest::addColumn<speed_t>("after9600");
    QTest::newRow("RFC 2217: the far port follows") << Accepter::Rfc2217 << speed_t(B9600);
    // A raw port has no way to hear of it: the far port keeps its own speed.
    QTest::newRow("raw socket: the far port keeps its speed") << Accepter::Raw << speed_t(B19200);
}

void NetworkLineTest::speedAtTheFarPort()
{
    QFETCH(Accepter, accepter);
    QFETCH(speed_t, after9600);
    PseudoTerminal pty;
    Ser2netProcess server;
    QVERIFY2(server.start(pty.devicePath(), accepter), server.log().constData());
    NetworkPanel panel(server.url());
    QTRY_VERIFY_WITH_TIMEOUT(panel.session->portOpen(), kWait);
    // A raw port counts as open once the connection stands; ser2net may set up its device a
    // moment later.
    QTRY_COMPARE_WITH_TIMEOUT(speedOf(pty), speed_t(B19200), kWait);

    panel.choose("speed-9600");
    // A command after the choice: once it is through, so is the choice.
    panel.click("power-on");
    QCOMPARE(pty.readAtLeast(4, kWait), QByteArray("C00\r"));
    QTRY_COMPARE_WITH_TIMEOUT(speedOf(pty), after9600, kWait);

    panel.choose("speed-19200");
    panel.click("power-off");
    QCOMPARE(pty.readAtLeast(4, kWait), QByteArray("C01\r"));
    QTRY_COMPARE_WITH_TIMEOUT(speedOf(pty), speed_t(B19200), kWait);
    QVERIFY(panel.warnings.isEmpty());
}

void NetworkLineTest::byteFFBothWays_data()
{
    QTest::addColumn<Accepter>("accepter");
    QTest::newRow("RFC 2217") << Accepter::Rfc2217;
    QTest::newRow("raw socket") << Accepter::Raw;
}

void NetworkLineTest::byteFFBothWays()
{
    QFETCH(Accepter, accepter);
    PseudoTerminal pty;
    Ser2netProcess server;
    QVERIFY2(server.start(pty.devicePath(), accepter), server.log().constData());
    NetworkPanel panel(server.url());
    QTRY_VERIFY_WITH_TIMEOUT(panel.session->portOpen(), kWait);

    panel.type(QString::fromUtf8("ÿ"));
    QCOMPARE(pty.readAtLeast(2, kWait), QByteArray("\xFF\r"));
    QVERIFY(pty.readFor(200).isEmpty()); // one byte, not two

    QVERIFY(pty.write("\xFF\xFF"
                      "0\r"));
    QTRY_COMPARE_WITH_TIMEOUT(panel.arrived,
                              QByteArray("\xFF\xFF"
                                         "0\r"),
                              kWait);
    QCOMPARE(panel.rxd(), " ? ? 0 CR ");
}

void NetworkLineTest::serverStoppedDuringHold()
{
    PseudoTerminal pty;
    Ser2netProcess server;
    QVERIFY2(server.start(pty.devicePath(), Accepter::Rfc2217), server.log().constData());
    NetworkPanel panel(server.url());
    QTRY_VERIFY_WITH_TIMEOUT(panel.session->portOpen(), kWait);

    panel.press("volume-up");
    QCOMPARE(pty.readAtLeast(8, kWait), QByteArray("C09\rC09\r"));
    server.stop();
    QTRY_COMPARE_WITH_TIMEOUT(panel.warnings.size(), 1, kWait);
    QVERIFY2(panel.warnings[0].contains(server.url()) &&
                 panel.warnings[0].contains("closed the connection"),
             qPrintable(panel.warnings[0]));
    QVERIFY(!panel.session->portOpen());
    QVERIFY(!panel.session->held());
    QVERIFY(!panel.session->repeat().isEnabled());
    const double cpu = cpuInQuietSecond();
    QVERIFY2(cpu < kIdleCpuSeconds, qPrintable(QStringLiteral("%1 s of CPU in 1 s").arg(cpu)));
    panel.release("volume-up");
    panel.click("power-on");
    QCOMPARE(panel.statusLine(), " COM1 not open");
    QCOMPARE(panel.warnings.size(), 1);

    // The server is back; choosing the port again reconnects.
    QVERIFY2(server.start(pty.devicePath(), Accepter::Rfc2217, server.port()),
             server.log().constData());
    pty.readFor(100);
    panel.choose("com1");
    QTRY_VERIFY_WITH_TIMEOUT(panel.session->portOpen(), kWait);
    panel.click("power-on");
    QCOMPARE(pty.readAtLeast(4, kWait), QByteArray("C00\r"));
    QCOMPARE(panel.warnings.size(), 1);
}

QTEST_MAIN(NetworkLineTest)
#include "tst_network_line.moc"
