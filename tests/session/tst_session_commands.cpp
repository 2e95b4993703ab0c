// SPDX-License-Identifier: MIT
// The one-shot commands: every one puts exactly its bytes on the line, with the reply window and
// display clear it owns, or those left by the command before it.
#include "session_fixture.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

struct Expected
{
    const char *label;
    const char *name;
    const char *code;
    int replyWindow; // 0: none of its own
    int displayClear;
    bool primesArrows = false;
};

// Typed from the design, independently of the catalogue, so that a slip in either shows up here.
const Expected kExpected[] = {
    {"power ON", "power-on", "C00", 0, 0},
    {"power OFF", "power-off", "C01", 0, 0},
    {"input 1", "input-1", "C05", 0, 0},
    {"input 2", "input-2", "C06", 0, 0},
    {"input 3", "input-3", "C07", 0, 0},
    {"input LAN", "input-lan", "C08", 0, 0},
    {"sound mute ON", "sound-mute-on", "C0B", 0, 0},
    {"sound mute OFF", "sound-mute-off", "C0C", 0, 0},
    {"no show ON", "no-show-on", "C0D", 0, 0},
    {"no show OFF", "no-show-off", "C0E", 0, 0},
    {"freeze ON", "freeze-on", "C43", 0, 0},
    {"freeze OFF", "freeze-off", "C44", 0, 0},
    {"AV size Regular", "av-size-regular", "C0F", 0, 0},
    {"AV size Wide", "av-size-wide", "C10", 0, 0},
    {"MENU ON", "menu-on", "C1C", 0, 0, true},
    {"MENU OFF", "menu-off", "C1D", 0, 0},
    {"A-IMAGE", "a-image", "C89", 0, 0, true},
    {"IMAGE", "image", "C27", 0, 0},
    {"P-TIMER", "p-timer", "C8A", 0, 0},
    {"DISPLAY CLEAR", "display-clear", "C1E", 0, 0},
    {"image STAND", "image-stand", "CF IMAGE STAND", 2000, 2500},
    {"image REAL", "image-real", "CF IMAGE REAL", 2000, 2500},
    {"image CINEMA", "image-cinema", "CF IMAGE CINEMA", 2000, 2500},
    {"IMAGE1", "image-1", "CF IMAGE CUSTOM1", 2000, 2500},
    {"IMAGE2", "image-2", "CF IMAGE CUSTOM2", 2000, 2500},
    {"IMAGE3", "image-3", "CF IMAGE CUSTOM3", 2000, 2500},
    {"IMAGE4", "image-4", "CF IMAGE CUSTOM4", 2000, 2500},
    {"keys off NONE", "keys-off-none", "CF KEYDIS NONE", 0, 0},
    {"keys off R/C", "keys-off-remote", "CF KEYDIS RC", 0, 0},
    {"keys off KEY", "keys-off-panel", "CF KEYDIS KEY", 0, 0},
    {"STATUS", "status", "CR0", 0, 0},
    {"MODE", "input-mode", "CR1", 0, 0},
    {"L-TIME", "lamp-time", "CR3", 0, 0},
    {"SETTING", "setting", "CR4", 0, 0},
    {"TEMP", "temp", "CR6", 0, 0},
    {"P-FAIL", "p-fail", "CR INFPFAIL", 2000, 2500},
    {"terminal 1 RGB", "terminal-1-rgb", "C50", 5000, 5500},
    {"terminal 1 SCART", "terminal-1-scart", "C51", 5000, 5500},
    {"terminal 1 DVI", "terminal-1-dvi", "C52", 5000, 5500},
    {"terminal 1 HDCP", "terminal-1-hdcp", "C53", 5000, 5500},
    {"Monitor OUT", "monitor-out", "C54", 5000, 5500},
    {"terminal 2 RGB", "terminal-2-rgb", "C25", 5000, 5500},
    {"terminal 2 VIDEO", "terminal-2-video", "C23", 5000, 5500},
    {"terminal 2 Y,Pb/Cb,Pr/Cr", "terminal-2-component", "C24", 5000, 5500},
    {"terminal 3 VIDEO", "terminal-3-video", "C33", 5000, 5500},
    {"terminal 3 S-VIDEO", "terminal-3-s-video", "C34", 5000, 5500},
    {"terminal 3 Y,Pb/Cb,Pr/Cr", "terminal-3-component", "C35", 5000, 5500},
    {"fan MAX", "fan-max", "CF FANSPEED MAX", 0, 0},
    {"fan NOR", "fan-normal", "CF FANSPEED NOR", 0, 0},
};

} // namespace

class SessionCommandsTest : public QObject
{
    Q_OBJECT
private slots:
    void everyOneShotIsListed();
    void send_data();
    void send();
    void intervalsStayUntilChanged_data();
    void intervalsStayUntilChanged();
    void menuOnAndAImagePrimeTheArrows_data();
    void menuOnAndAImagePrimeTheArrows();
    void quickDoubleSend();
    void statusQueryEndToEnd();
    void pFailReplyNotDecoded();
};

void SessionCommandsTest::everyOneShotIsListed()
{
    QStringList catalogue, expected;
    for (const protocol::Command &c : protocol::commands())
        if (c.kind == protocol::Kind::OneShot)
            catalogue << QString::fromLatin1(c.name.data(), qsizetype(c.name.size()));
    for (const Expected &e : kExpected)
        expected << QString::fromLatin1(e.name);
    catalogue.sort();
    expected.sort();
    QCOMPARE(expected.size(), 49);
    QCOMPARE(catalogue, expected);
}

void SessionCommandsTest::send_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("replyWindow");
    QTest::addColumn<int>("displayClear");
    QTest::addColumn<bool>("primesArrows");
    for (const Expected &e : kExpected)
        QTest::newRow(e.label) << e.name << QByteArray(e.code) + '\r' << e.replyWindow
                               << e.displayClear << e.primesArrows;
}

void SessionCommandsTest::send()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(int, replyWindow);
    QFETCH(int, displayClear);
    QFETCH(bool, primesArrows);

    SessionFixture f;
    PanelSession &s = *f.session;
    QSignalSpy sent(&s, &PanelSession::sent);
    f.advance(10);
    s.send(SessionFixture::command(name));

    QCOMPARE(f.line.writes.size(), 1);
    QCOMPARE(f.line.writes[0].bytes, bytes);
    QCOMPARE(f.line.writes[0].atMs, 10);
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent[0][0].toByteArray(), bytes);
    QCOMPARE(s.lastCommand(), QString::fromLatin1(bytes));
    const int window = replyWindow ? replyWindow : 500, clear = displayClear ? displayClear : 1000;
    QCOMPARE(s.replyWindow().interval(), window);
    QCOMPARE(s.displayClear().interval(), clear);
    QVERIFY(!s.repeat().isEnabled()); // no one-shot starts the repeat
    QCOMPARE(s.arrowSpeed(),
             primesArrows ? protocol::ArrowSpeed::Primed : protocol::ArrowSpeed::AsStarted);

    // The reply window and the display clear run with those intervals, from the send.
    f.advance(window - 1);
    QCOMPARE(f.rxd(), QString());
    QVERIFY(s.awaitingReply());
    f.advance(1);
    QCOMPARE(f.rxd(), " X X X X");
    QVERIFY(!s.replyWindow().isEnabled());
    f.advance(clear - window - 1);
    QVERIFY(!f.txd().isEmpty());
    f.advance(1);
    QCOMPARE(f.txd(), QString());
    QCOMPARE(f.rxd(), QString());
    QCOMPARE(f.clock.nextDueMs(), -1);
    QCOMPARE(f.line.writes.size(), 1);
}

void SessionCommandsTest::intervalsStayUntilChanged_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<int>("replyWindow");
    QTest::addColumn<int>("displayClear");
    QTest::newRow("after HDCP") << "terminal-1-hdcp" << 5000 << 5500;
    QTest::newRow("after an image mode") << "image-real" << 2000 << 2500;
    QTest::newRow("after P-FAIL") << "p-fail" << 2000 << 2500;
    QTest::newRow("after MENU ON") << "menu-on" << 500 << 1000;
}

void SessionCommandsTest::intervalsStayUntilChanged()
{
    QFETCH(QString, first);
    QFETCH(int, replyWindow);
    QFETCH(int, displayClear);
    SessionFixture f;
    PanelSession &s = *f.session;
    s.send(SessionFixture::command(first));
    f.advance(10000);
    f.send("power-on"); // has no intervals of its own
    f.send("status");   // nor has this
    QCOMPARE(s.replyWindow().interval(), replyWindow);
    QCOMPARE(s.displayClear().interval(), displayClear);
    f.advance(replyWindow - 1);
    QVERIFY(f.rxd().isEmpty());
    f.advance(1);
    QCOMPARE(f.rxd(), " X X X X");
    f.advance(displayClear - replyWindow);
    QVERIFY(f.txd().isEmpty());

    // A hold button's release puts the normal values back.
    f.tap("volume-up");
    f.advance(1000);
    f.send("status");
    QCOMPARE(s.replyWindow().interval(), 500);
    QCOMPARE(s.displayClear().interval(), 1000);
}

void SessionCommandsTest::menuOnAndAImagePrimeTheArrows_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("MENU ON") << "menu-on";
    QTest::newRow("A-IMAGE") << "a-image";
}

void SessionCommandsTest::menuOnAndAImagePrimeTheArrows()
{
    QFETCH(QString, name);
    SessionFixture f;
    PanelSession &s = *f.session;
    // A zoom press and release leaves the repeat at 150 ms.
    f.tap("zoom-in");
    QCOMPARE(s.repeat().interval(), 150);
    QCOMPARE(s.arrowSpeed(), protocol::ArrowSpeed::AsStarted);

    s.send(SessionFixture::command(name));
    QCOMPARE(s.repeat().interval(), 200);
    QCOMPARE(s.arrowSpeed(), protocol::ArrowSpeed::Primed);
    QVERIFY(!s.repeat().isEnabled());

    // MENU OFF changes neither.
    f.tap("d-zoom-in"); // 5 ms, fast arrows
    f.send("menu-off");
    QCOMPARE(s.repeat().interval(), 5);
    QCOMPARE(s.arrowSpeed(), protocol::ArrowSpeed::Fast);
}

void SessionCommandsTest::quickDoubleSend()
{
    SessionFixture f;
    f.send("no-show-on");
    f.send("no-show-on");
    QCOMPARE(f.line.written(), QByteArray("C0D\rC0D\r"));
    QCOMPARE(f.sendTimes(), QList<qint64>({0, 0}));
    f.advance(500); // one reply window for both
    QCOMPARE(f.rxd(), " X X X X");
    QCOMPARE(f.line.writes.size(), 2);
}

void SessionCommandsTest::statusQueryEndToEnd()
{
    SessionFixture f;
    f.send("status");
    QCOMPARE(f.txd(), " C R 0 CR ");
    f.advance(40);
    f.line.receive("80\r");
    QCOMPARE(f.rxd(), " 8 0 CR ");
    QCOMPARE(f.statusLine(), " Stand by");
    f.advance(459); // the window closes at 500 without a marker: a reply came
    QCOMPARE(f.session->received(), "80\r");
    f.advance(1);
    QCOMPARE(f.rxd(), " 8 0 CR ");
    QVERIFY(f.session->received().isEmpty());
    QCOMPARE(f.statusLine(), " Stand by");
    f.advance(499);
    QCOMPARE(f.statusLine(), " Stand by");
    f.advance(1);
    QVERIFY(f.txd().isEmpty() && f.rxd().isEmpty() && f.statusLine().isEmpty());
}

void SessionCommandsTest::pFailReplyNotDecoded()
{
    SessionFixture f;
    f.send("status");
    f.line.receive("80\r");
    f.advance(100);
    f.send("p-fail"); // its longer window starts anew from here
    f.line.receive("00\r");
    QCOMPARE(f.rxd(), " 8 0 CR 0 0 CR ");  // same window: the buffer goes on
    QCOMPARE(f.statusLine(), " Stand by"); // untouched by the P-FAIL reply
    f.advance(1999);
    QVERIFY(f.session->replyWindow().isEnabled());
    f.advance(1);
    QVERIFY(!f.session->replyWindow().isEnabled());
    QVERIFY(f.session->received().isEmpty());
}

QTEST_GUILESS_MAIN(SessionCommandsTest)
#include "tst_session_commands.moc"
