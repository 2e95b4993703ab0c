// SPDX-License-Identifier: MIT
// The session on a line that connects in the background (a device server on the network), on
// the manual clock: until the connection stands the port is not open; a failed connection is
// one warning and a closed port; choosing the port again connects anew.
#include "session_fixture.h"

#include <QtTest>

namespace {

const QString kNet1 = QStringLiteral("rfc2217://127.0.0.1:4000");
const QString kNet2 = QStringLiteral("socket://rack.example:4001");

// A session whose COM1 and COM2 are device servers.
struct NetworkFixture : SessionFixture
{
    explicit NetworkFixture(const std::function<void(SessionFixture &)> &beforeStart = {})
        : SessionFixture([&](SessionFixture &f) {
              f.devices.setGiven(1, kNet1);
              f.devices.setGiven(2, kNet2);
              f.line.slow << kNet1 << kNet2;
              if (beforeStart)
                  beforeStart(f);
          })
    {
    }
};

} // namespace

class SessionConnectTest : public QObject
{
    Q_OBJECT
private slots:
    void startUpConnectsOnce();
    void connectionFails_data();
    void connectionFails();
    void portChangeWhileConnecting();
    void speedChosenWhileConnecting();
    void lostConnectionNamesTheServer();
};

void SessionConnectTest::startUpConnectsOnce()
{
    NetworkFixture f;
    // One connection: it is not torn down and made again as a serial port is reopened.
    QCOMPARE(f.line.calls, QStringList({"open " + kNet1 + " 19200,N,8,1"}));
    QVERIFY(!f.session->portOpen());
    QVERIFY(f.warnings.isEmpty());

    // Not open yet: nothing goes out, and the status line says so.
    f.send("power-on");
    QVERIFY(f.line.writes.isEmpty());
    QCOMPARE(f.statusLine(), " COM1 not open");

    f.advance(1000);
    f.line.finishConnecting();
    QVERIFY(f.session->portOpen());
    f.send("power-on");
    QCOMPARE(f.line.written(), QByteArray("C00\r"));
    QVERIFY(f.warnings.isEmpty());
}

void SessionConnectTest::connectionFails_data()
{
    QTest::addColumn<int>("chosen"); // 0: at start-up
    QTest::addColumn<bool>("holding");
    QTest::addColumn<int>("portAfter");
    QTest::newRow("at start-up") << 0 << false << 1;
    QTest::newRow("at start-up, a button held meanwhile") << 0 << true << 1;
    // As a port change that fails at once: the number falls back to the other port.
    QTest::newRow("at a port change") << 2 << false << 1;
    QTest::newRow("at a port change to the same port") << 1 << false << 2;
}

void SessionConnectTest::connectionFails()
{
    QFETCH(int, chosen);
    QFETCH(bool, holding);
    QFETCH(int, portAfter);
    NetworkFixture f;
    if (chosen) {
        f.line.finishConnecting();
        f.session->openSettings();
        f.session->choosePort(chosen);
        QVERIFY(!f.session->settingsOpen()); // the choice is made; the connection follows
    }
    if (holding) {
        f.press("volume-up");
        f.advance(600);
        QVERIFY(f.session->held());
    }
    const QString device = chosen == 2 ? kNet2 : kNet1;
    f.line.failConnecting(QStringLiteral("127.0.0.1 port 4000: Connection refused"));

    QCOMPARE(f.warnings.size(), 1);
    const QString &w = f.warnings[0];
    QVERIFY2(w.contains(device) && w.contains("127.0.0.1 port 4000") &&
                 w.contains("Connection refused") && w.contains("cannot be reached"),
             qPrintable(w));
    QVERIFY(!f.session->portOpen());
    QCOMPARE(f.session->port(), portAfter);
    QVERIFY(!f.session->held()); // a warning ends a hold
    f.clock.advance(10000);
    QCOMPARE(f.warnings.size(), 1);
    QVERIFY(f.line.writes.isEmpty());

    // Choosing the port again connects anew.
    f.line.clearLog();
    f.session->choosePort(chosen ? chosen : 1);
    QCOMPARE(f.line.calls, QStringList({"open " + device + " 19200,N,8,1"}));
    f.line.finishConnecting();
    QVERIFY(f.session->portOpen());
    QCOMPARE(f.warnings.size(), 1);
}

void SessionConnectTest::portChangeWhileConnecting()
{
    NetworkFixture f;
    f.line.clearLog();
    f.session->choosePort(2);
    // The connection still being made is given up before the other port is tried.
    QCOMPARE(f.line.calls, QStringList({"close", "open " + kNet2 + " 19200,N,8,1"}));
    QCOMPARE(f.session->port(), 2);
    f.line.finishConnecting();
    QVERIFY(f.session->portOpen());
    QCOMPARE(f.line.device(), kNet2);
    QVERIFY(f.warnings.isEmpty());
}

void SessionConnectTest::speedChosenWhileConnecting()
{
    NetworkFixture f;
    f.line.clearLog();
    f.session->chooseSpeed(9600);
    // The line is told, so that the far port is set to 9600 once the connection stands.
    QCOMPARE(f.line.calls, QStringList({"settings 9600,N,8,1"}));
    f.line.finishConnecting();
    QCOMPARE(f.line.settings().toString(), "9600,N,8,1");
}

void SessionConnectTest::lostConnectionNamesTheServer()
{
    NetworkFixture f;
    f.line.finishConnecting();
    f.press("menu-up");
    f.line.loseLine(QStringLiteral("the device server at 127.0.0.1 port 4000 closed the "
                                   "connection"));
    QCOMPARE(f.warnings.size(), 1);
    QVERIFY2(f.warnings[0].contains(kNet1) && f.warnings[0].contains("device server"),
             qPrintable(f.warnings[0]));
    QVERIFY(!f.session->held());
    f.clock.advance(5000);
    QCOMPARE(f.warnings.size(), 1);
}

QTEST_GUILESS_MAIN(SessionConnectTest)
#include "tst_session_connect.moc"
