// SPDX-License-Identifier: MIT
// The session's line on the manual clock: start-up, port and speed choices, the settings frame,
// sending, receiving, the reply window and the display clear.
#include "protocol/traffic.h"
#include "session_fixture.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

// The RXD line as a view that only follows the signals sees it: replaced whole, or grown by
// the tokens of what arrived.
struct ReceiveMirror : QObject
{
    QString text;
    int replaced = 0;
    int extended = 0;
    explicit ReceiveMirror(PanelSession &session)
    {
        connect(&session, &PanelSession::receiveLineChanged, this, [this](const QString &line) {
            text = line;
            ++replaced;
        });
        connect(&session, &PanelSession::receiveLineExtended, this, [this](const QString &tokens) {
            text += tokens;
            ++extended;
        });
    }
};

const QString kOpenCom1 = QStringLiteral("open /dev/fake-com1 19200,N,8,1");
const QString kOpenCom2 = QStringLiteral("open /dev/fake-com2 19200,N,8,1");

} // namespace

class SessionLineTest : public QObject
{
    Q_OBJECT
private slots:
    void startUp();
    void startUpWithPortUnavailable_data();
    void startUpWithPortUnavailable();
    void portChange_data();
    void portChange();
    void portChangeRecoversClosedPort();
    void speedChange_data();
    void speedChange();
    void settingsFrameClosesAfterFiveSeconds();
    void monitorStateTable();
    void receiveLineAcrossPieces_data();
    void receiveLineAcrossPieces();
    void lateReplyShownThenDroppedByNextWindow();
    void secondSendKeepsBuffer();
    void sendThatDoesNotGoOut_data();
    void sendThatDoesNotGoOut();
    void lineLostAtRunTime();
    void receiveIsCapped();
    void endClosesLineFirst();
};

void SessionLineTest::startUp()
{
    SessionFixture f;
    PanelSession &s = *f.session;
    // Marking COM1 runs the port change once: the port just opened closes and opens again.
    QCOMPARE(f.line.calls, QStringList({kOpenCom1, "close", kOpenCom1}));
    QVERIFY(s.portOpen());
    QCOMPARE(f.line.device(), SessionFixture::kCom1);
    QCOMPARE(f.line.settings().toString(), "19200,N,8,1");
    QCOMPARE(s.settings().toString(), "19200,N,8,1");
    QCOMPARE(s.port(), 1);
    QVERIFY(!s.settingsOpen());
    QCOMPARE(s.view(), PanelSession::View::Opened);

    for (const PeriodicTimer *t :
         {&s.repeat(), &s.replyWindow(), &s.settingsClose(), &s.displayClear()})
        QVERIFY(!t->isEnabled());
    QCOMPARE(f.clock.nextDueMs(), -1);
    QCOMPARE(s.repeat().interval(), 200);
    QCOMPARE(s.replyWindow().interval(), 500);
    QCOMPARE(s.settingsClose().interval(), 5000);
    QCOMPARE(s.displayClear().interval(), 1000);

    QVERIFY(!s.held());
    QVERIFY(!s.awaitingReply());
    QCOMPARE(s.arrowSpeed(), protocol::ArrowSpeed::AsStarted);
    QVERIFY(s.received().isEmpty() && s.lastCommand().isEmpty());
    QVERIFY(f.txd().isEmpty() && f.rxd().isEmpty() && f.statusLine().isEmpty());
    QVERIFY(f.warnings.isEmpty());
    QVERIFY(f.line.writes.isEmpty());
    QCOMPARE(f.ended, 0);
}

void SessionLineTest::startUpWithPortUnavailable_data()
{
    QTest::addColumn<bool>("busy"); // held by another program, else missing
    QTest::addColumn<QString>("wording");
    QTest::newRow("COM1 missing") << false << "does not exist";
    QTest::newRow("COM1 in use") << true << "in use by another program";
}

void SessionLineTest::startUpWithPortUnavailable()
{
    QFETCH(bool, busy);
    QFETCH(QString, wording);
    SessionFixture f(
        [&](SessionFixture &g) { (busy ? g.line.busy : g.line.missing) << SessionFixture::kCom1; });
    // One attempt, one warning: the port stays closed.
    QCOMPARE(f.line.calls, QStringList({kOpenCom1}));
    QCOMPARE(f.warnings.size(), 1);
    QVERIFY2(f.warnings[0].contains("COM1") && f.warnings[0].contains(SessionFixture::kCom1) &&
                 f.warnings[0].contains(wording),
             qPrintable(f.warnings[0]));
    QVERIFY(!f.session->portOpen());
    QCOMPARE(f.session->port(), 1);

    // The operator frees the port and chooses COM1 again.
    f.line.busy.clear();
    f.line.missing.clear();
    f.line.clearLog();
    f.session->openSettings();
    f.session->choosePort(1);
    QCOMPARE(f.line.calls, QStringList({kOpenCom1})); // nothing to close first
    QVERIFY(f.session->portOpen());
    QCOMPARE(f.session->port(), 1);
    QVERIFY(!f.session->settingsOpen());
    QCOMPARE(f.warnings.size(), 1);
}

void SessionLineTest::portChange_data()
{
    QTest::addColumn<int>("chosen");
    QTest::addColumn<QString>("failAt");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QString>("warning"); // a part of it; empty: no warning
    QTest::addColumn<bool>("openAfter");
    QTest::addColumn<QString>("deviceAfter");
    QTest::addColumn<int>("portAfter");
    QTest::newRow("success") << 2 << "" << QStringList({"close", kOpenCom2}) << "" << true
                             << SessionFixture::kCom2 << 2;
    QTest::newRow("open fails") << 2 << "open" << QStringList({"close", kOpenCom2}) << "COM2"
                                << false << SessionFixture::kCom1 << 1;
    // The old port cannot be let go: the new one is not tried, the old one stays open.
    QTest::newRow("close fails") << 2 << "close" << QStringList({"close"})
                                 << "COM1 could not be closed" << true << SessionFixture::kCom1
                                 << 1;
    // The port that stays open keeps its number, whichever port was chosen.
    QTest::newRow("close of the chosen port fails")
        << 1 << "close" << QStringList({"close"}) << "COM1 could not be closed" << true
        << SessionFixture::kCom1 << 1;
}

void SessionLineTest::portChange()
{
    QFETCH(int, chosen);
    QFETCH(QString, failAt);
    QFETCH(QStringList, calls);
    QFETCH(QString, warning);
    QFETCH(bool, openAfter);
    QFETCH(QString, deviceAfter);
    QFETCH(int, portAfter);

    SessionFixture f;
    f.advance(1000);
    f.session->openSettings();
    QVERIFY(f.session->settingsOpen());
    f.advance(2000);
    f.line.clearLog();
    f.line.failNextOpen = failAt == "open";
    f.line.failNextClose = failAt == "close";
    f.session->choosePort(chosen);

    QCOMPARE(f.line.calls, calls);
    QCOMPARE(f.session->portOpen(), openAfter);
    QCOMPARE(f.line.device(), deviceAfter);
    QCOMPARE(f.session->port(), portAfter);
    if (warning.isEmpty()) {
        QVERIFY(f.warnings.isEmpty());
        QVERIFY(!f.session->settingsOpen());
    } else {
        QCOMPARE(f.warnings.size(), 1);
        QVERIFY2(f.warnings[0].contains(warning), qPrintable(f.warnings[0]));
        // The frame stays until its five seconds run out.
        QVERIFY(f.session->settingsOpen());
        f.advance(2999);
        QVERIFY(f.session->settingsOpen());
        f.advance(1);
        QVERIFY(!f.session->settingsOpen());
    }
}

void SessionLineTest::portChangeRecoversClosedPort()
{
    SessionFixture f([](SessionFixture &g) { g.line.missing << SessionFixture::kCom2; });
    f.session->openSettings();
    f.session->choosePort(2);
    QCOMPARE(f.warnings.size(), 1);
    QVERIFY(!f.session->portOpen());
    QCOMPARE(f.session->port(), 1);

    f.line.clearLog();
    f.session->choosePort(1); // back to COM1: opened although the port was closed
    QCOMPARE(f.line.calls, QStringList({kOpenCom1}));
    QVERIFY(f.session->portOpen());
    QCOMPARE(f.session->port(), 1);
    QVERIFY(!f.session->settingsOpen());
    QCOMPARE(f.warnings.size(), 1);
}

void SessionLineTest::speedChange_data()
{
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<int>("baud");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QString>("settings");
    QTest::newRow("9600 on open port")
        << true << 9600 << QStringList({"settings 9600,N,8,1"}) << "9600,N,8,1";
    QTest::newRow("19200 on open port")
        << true << 19200 << QStringList({"settings 19200,N,8,1"}) << "19200,N,8,1";
    QTest::newRow("9600 on closed port") << false << 9600 << QStringList() << "9600,N,8,1";
}

void SessionLineTest::speedChange()
{
    QFETCH(bool, portOpen);
    QFETCH(int, baud);
    QFETCH(QStringList, calls);
    QFETCH(QString, settings);
    SessionFixture f([&](SessionFixture &g) {
        if (!portOpen)
            g.line.missing << SessionFixture::kCom1;
    });
    f.session->openSettings();
    f.line.clearLog();
    f.session->chooseSpeed(baud);
    QCOMPARE(f.line.calls, calls); // never closed or reopened
    QCOMPARE(f.session->settings().toString(), settings);
    if (portOpen)
        QCOMPARE(f.line.settings().toString(), settings);
    QCOMPARE(f.session->portOpen(), portOpen);
    QVERIFY(!f.session->settingsOpen());
    QCOMPARE(f.session->port(), 1); // the port is untouched

    // The port opens at the chosen speed from now on.
    f.line.missing.clear();
    f.line.clearLog();
    f.session->choosePort(1);
    QVERIFY(f.session->portOpen());
    QCOMPARE(f.line.calls.last(), "open /dev/fake-com1 " + settings);
}

void SessionLineTest::settingsFrameClosesAfterFiveSeconds()
{
    SessionFixture f;
    QSignalSpy changes(f.session.get(), &PanelSession::settingsOpenChanged);
    f.advance(1234);
    f.session->openSettings();
    QVERIFY(f.session->settingsOpen());
    QVERIFY(f.session->settingsClose().isEnabled());
    QCOMPARE(f.clock.nextDueMs(), 6234);
    f.advance(4999);
    QVERIFY(f.session->settingsOpen());
    f.advance(1);
    QVERIFY(!f.session->settingsOpen());
    QVERIFY(!f.session->settingsClose().isEnabled());
    QCOMPARE(changes.size(), 2);
    QCOMPARE(changes[0][0].toBool(), true);
    QCOMPARE(changes[1][0].toBool(), false);
}

void SessionLineTest::monitorStateTable()
{
    SessionFixture f;
    PanelSession &s = *f.session;

    // Transmit: TXD shows the command, both timers run, a reply is awaited.
    f.send("power-on");
    QCOMPARE(f.line.written(), QByteArray("C00\r"));
    QCOMPARE(f.txd(), " C 0 0 CR ");
    QCOMPARE(f.rxd(), "");
    QVERIFY(s.awaitingReply());
    QVERIFY(s.replyWindow().isEnabled() && s.displayClear().isEnabled());

    // Receive: the buffer grows, the RXD line shows all of it, the timers are untouched.
    f.advance(100);
    f.line.receive("\x06");
    QVERIFY(!s.awaitingReply());
    QCOMPARE(s.received(), "\x06");
    QCOMPARE(f.rxd(), " ACK ");
    QCOMPARE(f.clock.nextDueMs(), 500);

    // The reply window ends at 500: the buffer empties, the RXD line keeps the reply.
    f.advance(399);
    QVERIFY(s.replyWindow().isEnabled());
    f.advance(1);
    QVERIFY(!s.replyWindow().isEnabled());
    QVERIFY(s.received().isEmpty());
    QCOMPARE(f.rxd(), " ACK ");
    QCOMPARE(f.txd(), " C 0 0 CR ");

    // The display clear at 1000: all three lines blank, the timer stops.
    f.advance(499);
    QCOMPARE(f.txd(), " C 0 0 CR ");
    f.advance(1);
    QVERIFY(f.txd().isEmpty() && f.rxd().isEmpty() && f.statusLine().isEmpty());
    QVERIFY(!s.displayClear().isEnabled());
    QCOMPARE(f.clock.nextDueMs(), -1);

    // No reply at all: the marker at the end of the window, then the display clear.
    f.send("power-off");
    f.advance(499);
    QCOMPARE(f.rxd(), "");
    f.advance(1);
    QCOMPARE(f.rxd(), " X X X X");
    QVERIFY(!s.awaitingReply());
    f.advance(499);
    QCOMPARE(f.rxd(), " X X X X");
    f.advance(1);
    QVERIFY(f.rxd().isEmpty() && f.txd().isEmpty());
}

void SessionLineTest::receiveLineAcrossPieces_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<bool>("clearMidReply"); // the display clear falls after the first piece
    QTest::addColumn<QString>("rxd");
    QTest::addColumn<int>("replaced");
    QTest::addColumn<int>("extended");
    QTest::newRow("one piece") << QByteArrayList({"00\r"}) << false << " 0 0 CR " << 1 << 0;
    QTest::newRow("two pieces") << QByteArrayList({"0", "0\r"}) << false << " 0 0 CR " << 1 << 1;
    // The cleared line no longer shows the reply: the next piece shows all of it again.
    QTest::newRow("display cleared mid-reply")
        << QByteArrayList({"8", "0\r"}) << true << " 8 0 CR " << 3 << 0;
    QByteArrayList many{"8"};
    for (int i = 0; i < 9; ++i)
        many << QByteArray(100, 'A');
    QTest::newRow("long line in many pieces")
        << many << false << renderTraffic(QString("8" + QString(900, 'A'))) << 1 << 9;
}

void SessionLineTest::receiveLineAcrossPieces()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(bool, clearMidReply);
    QFETCH(QString, rxd);
    QFETCH(int, replaced);
    QFETCH(int, extended);
    SessionFixture f;
    f.send("power-on");
    if (clearMidReply) {
        // A second send at 900 opens a window to 1400; the display clear of the first send
        // still comes at 1000.
        f.advance(900);
        f.send("power-on");
    }
    ReceiveMirror mirror(*f.session);
    QByteArray all;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        f.line.receive(pieces[i]);
        all += pieces[i];
        QCOMPARE(f.session->received(), QString::fromLatin1(all));
        QCOMPARE(f.rxd(), renderTraffic(f.session->received()));
        QCOMPARE(mirror.text, f.rxd());
        if (i == 0 && clearMidReply) {
            f.advance(100);
            QVERIFY(f.rxd().isEmpty());
            QVERIFY(f.session->replyWindow().isEnabled());
        }
    }
    QCOMPARE(f.rxd(), rxd);
    QCOMPARE(mirror.replaced, replaced);
    QCOMPARE(mirror.extended, extended);
}

void SessionLineTest::lateReplyShownThenDroppedByNextWindow()
{
    SessionFixture f;
    f.send("status");
    f.advance(500);
    QCOMPARE(f.rxd(), " X X X X");
    // The projector answers late: shown, and decoded against the query it answers.
    f.advance(100);
    f.line.receive("80\r");
    QCOMPARE(f.rxd(), " 8 0 CR ");
    QCOMPARE(f.statusLine(), " Stand by");
    QCOMPARE(f.session->received(), "80\r");
    // The next query opens a new window without the stale characters in front of its reply.
    f.send("status");
    QVERIFY(f.session->received().isEmpty());
    f.line.receive("00\r");
    QCOMPARE(f.rxd(), " 0 0 CR ");
    QCOMPARE(f.statusLine(), " Power ON");
}

void SessionLineTest::secondSendKeepsBuffer()
{
    SessionFixture f;
    f.send("status");
    f.line.receive("8");
    f.advance(100);
    f.send("status"); // the first window is still open
    QCOMPARE(f.session->received(), "8");
    QVERIFY(f.session->awaitingReply());
    f.line.receive("0\r");
    QCOMPARE(f.rxd(), " 8 0 CR ");
    // The "8" came before the second query: "0" CR alone is its answer, which means nothing.
    QCOMPARE(f.statusLine(), "");
    // The window runs on from the first send.
    f.advance(399);
    QCOMPARE(f.session->received(), "80\r");
    f.advance(1);
    QVERIFY(!f.session->replyWindow().isEnabled());
    QVERIFY(f.session->received().isEmpty());
    QCOMPARE(f.rxd(), " 8 0 CR ");
}

void SessionLineTest::sendThatDoesNotGoOut_data()
{
    QTest::addColumn<bool>("portClosed"); // else the open line refuses the write
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("warnings");
    QTest::newRow("port closed") << true << " COM1 not open" << 1; // the one from start-up
    QTest::newRow("write refused") << false << " COM1 write failed" << 0;
}

void SessionLineTest::sendThatDoesNotGoOut()
{
    QFETCH(bool, portClosed);
    QFETCH(QString, status);
    QFETCH(int, warnings);
    SessionFixture f([&](SessionFixture &g) {
        if (portClosed)
            g.line.missing << SessionFixture::kCom1;
    });
    QSignalSpy sent(f.session.get(), &PanelSession::sent);
    f.line.failNextWrite = !portClosed;
    f.send("power-on");
    QVERIFY(f.line.writes.isEmpty());
    QCOMPARE(sent.size(), 0);
    QCOMPARE(f.txd(), " C 0 0 CR ");
    QCOMPARE(f.statusLine(), status);
    QCOMPARE(f.warnings.size(), warnings);
    // The reply window and the display clear run as for any send.
    f.advance(499);
    QCOMPARE(f.rxd(), "");
    f.advance(1);
    QCOMPARE(f.rxd(), " X X X X");
    f.advance(499);
    QCOMPARE(f.statusLine(), status);
    f.advance(1);
    QVERIFY(f.statusLine().isEmpty());
}

void SessionLineTest::lineLostAtRunTime()
{
    SessionFixture f;
    f.send("power-on");
    f.line.loseLine(QStringLiteral("adapter unplugged"));
    QCOMPARE(f.warnings.size(), 1);
    for (const QString &part :
         {QStringLiteral("COM1"), SessionFixture::kCom1, QStringLiteral("adapter unplugged")})
        QVERIFY2(f.warnings[0].contains(part), qPrintable(f.warnings[0]));
    QVERIFY(!f.session->portOpen());

    f.line.clearLog();
    f.send("power-off");
    QVERIFY(f.line.writes.isEmpty());
    QCOMPARE(f.statusLine(), " COM1 not open");
    f.advance(10000);
    QCOMPARE(f.warnings.size(), 1);

    // Choosing the port again mends it.
    f.session->choosePort(1);
    QCOMPARE(f.line.calls, QStringList({kOpenCom1}));
    f.send("power-off");
    QCOMPARE(f.line.written(), QByteArray("C01\r"));
}

void SessionLineTest::receiveIsCapped()
{
    SessionFixture f;
    QCOMPARE(PanelSession::kReceiveLimit, 32767);
    f.send("power-on");
    const QByteArray flood(40000, 'A');
    f.line.receive(flood.left(30000));
    f.line.receive(flood.mid(30000));
    QCOMPARE(f.session->received().size(), PanelSession::kReceiveLimit);
    QCOMPARE(f.rxd(), renderTraffic(QString(PanelSession::kReceiveLimit, QLatin1Char('A'))));
    f.line.receive("B"); // still full: dropped
    QVERIFY(!f.session->received().contains('B'));
    QVERIFY(!f.rxd().contains('B'));
    f.advance(500); // the window ends and empties the buffer
    f.send("power-on");
    f.line.receive("B");
    QCOMPARE(f.rxd(), " B ");
}

void SessionLineTest::endClosesLineFirst()
{
    SessionFixture f;
    f.line.clearLog();
    QStringList callsAtEnd;
    bool openAtEnd = true;
    QObject::connect(f.session.get(), &PanelSession::ended, f.session.get(), [&] {
        callsAtEnd = f.line.calls;
        openAtEnd = f.line.isOpen();
    });
    f.session->end();
    QCOMPARE(f.ended, 1);
    QCOMPARE(callsAtEnd, QStringList({"drain 1000", "close"}));
    QVERIFY(!openAtEnd);
}

QTEST_GUILESS_MAIN(SessionLineTest)
#include "tst_session_line.moc"
