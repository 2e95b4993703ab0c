// SPDX-License-Identifier: MIT
// The hold buttons on the manual clock: the first send at once, the repeat at its exact period,
// and a release (or a hold ended early) that always stops it.
#include "session_fixture.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

struct Expected
{
    const char *label;
    const char *name;
    const char *code;
    int period, replyWindow, displayClear;
    bool fastArrowsAfter; // its release makes the menu arrows fast
};

// Typed from the design, independently of the catalogue, so that a slip in either shows up.
const Expected kExpected[] = {
    {"volume up", "volume-up", "C09", 250, 200, 245, false},
    {"volume down", "volume-down", "C0A", 250, 200, 245, false},
    {"zoom in", "zoom-in", "C47", 150, 150, 190, false},
    {"zoom out", "zoom-out", "C46", 150, 150, 190, false},
    {"focus +", "focus-plus", "C4B", 150, 150, 190, false},
    {"focus -", "focus-minus", "C4A", 150, 150, 190, false},
    {"D.Zoom in", "d-zoom-in", "C30", 250, 200, 245, true},
    {"D.Zoom out", "d-zoom-out", "C31", 250, 200, 245, true},
    {"keystone +", "keystone-plus", "C8E", 250, 200, 245, false},
    {"keystone -", "keystone-minus", "C8F", 250, 200, 245, false},
    {"lens shift up", "lens-shift-up", "C5D", 150, 150, 190, false},
    {"lens shift down", "lens-shift-down", "C5E", 150, 150, 190, false},
    {"menu ENTER", "menu-enter", "C3F", 500, 200, 245, false},
    // The menu arrows right after start-up: the repeat as it starts, the intervals untouched.
    {"menu up", "menu-up", "C3C", 200, 500, 1000, false},
    {"menu down", "menu-down", "C3D", 200, 500, 1000, false},
    {"menu left", "menu-left", "C3B", 200, 500, 1000, false},
    {"menu right", "menu-right", "C3A", 200, 500, 1000, false},
};

} // namespace

class SessionHoldTest : public QObject
{
    Q_OBJECT
private slots:
    void everyHoldButtonIsListed();
    void everyButton_data();
    void everyButton();
    void statusLineStaysUntilDisplayClear();
    void menuArrows_data();
    void menuArrows();
    void replyDuringHoldChangesNothing();
    void releaseDropsHalfReply();
    void furtherPressTakesOver();
    void lineLostDuringHoldEndsIt();
    void endHoldEarlyThenReleaseSwallowed();
    void keyReleaseGrace_data();
    void keyReleaseGrace();
};

void SessionHoldTest::everyHoldButtonIsListed()
{
    QStringList catalogue, expected;
    for (const protocol::Command &c : protocol::commands())
        if (c.kind != protocol::Kind::OneShot)
            catalogue << QString::fromLatin1(c.name.data(), qsizetype(c.name.size()));
    for (const Expected &e : kExpected)
        expected << QString::fromLatin1(e.name);
    catalogue.sort();
    expected.sort();
    QCOMPARE(catalogue, expected);
}

void SessionHoldTest::everyButton_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("period");
    QTest::addColumn<int>("replyWindow");
    QTest::addColumn<int>("displayClear");
    QTest::addColumn<bool>("fastArrowsAfter");
    for (const Expected &e : kExpected)
        QTest::newRow(e.label) << e.name << QByteArray(e.code) + '\r' << e.period << e.replyWindow
                               << e.displayClear << e.fastArrowsAfter;
}

void SessionHoldTest::everyButton()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(int, period);
    QFETCH(int, replyWindow);
    QFETCH(int, displayClear);
    QFETCH(bool, fastArrowsAfter);
    const protocol::Command &command = SessionFixture::command(name);

    SessionFixture f;
    PanelSession &s = *f.session;
    f.advance(100);
    s.press(command);
    QCOMPARE(s.held(), &command);
    QVERIFY(s.repeat().isEnabled());
    QCOMPARE(s.repeat().interval(), period);
    QCOMPARE(s.replyWindow().interval(), replyWindow);
    QCOMPARE(s.displayClear().interval(), displayClear);

    // The first send's reply window runs its own length from the press.
    f.advance(replyWindow - 1);
    QCOMPARE(f.rxd(), "");
    f.advance(1);
    QCOMPARE(f.rxd(), " X X X X");

    f.clock.advanceTo(100 + 4 * period);
    QCOMPARE(f.sendTimes(100), QList<qint64>({0, period, 2 * period, 3 * period, 4 * period}));
    QCOMPARE(f.line.written(), bytes.repeated(5));
    QCOMPARE(s.lastCommand(), QString::fromLatin1(bytes));

    // The release sends nothing, stops the repeat and puts the normal intervals back.
    s.release(command);
    QVERIFY(!s.held());
    QVERIFY(!s.repeat().isEnabled());
    QVERIFY(!s.replyWindow().isEnabled());
    QCOMPARE(s.replyWindow().interval(), 500);
    QCOMPARE(s.displayClear().interval(), 1000);
    QCOMPARE(s.repeat().interval(), fastArrowsAfter ? 5 : period);
    QCOMPARE(s.arrowSpeed(),
             fastArrowsAfter ? protocol::ArrowSpeed::Fast : protocol::ArrowSpeed::AsStarted);
    f.advance(5000);
    QCOMPARE(f.line.writes.size(), 5);
}

void SessionHoldTest::statusLineStaysUntilDisplayClear()
{
    SessionFixture f;
    PanelSession &s = *f.session;
    f.send("status");
    f.line.receive("80\r");
    QCOMPARE(f.statusLine(), " Stand by");
    f.advance(100);
    f.press("volume-down");
    QCOMPARE(f.txd(), " C 0 A CR ");
    f.advance(100);
    f.release("volume-down"); // within its first period
    QCOMPARE(f.line.written(), QByteArray("CR0\rC0A\r"));
    QVERIFY(f.txd().isEmpty() && f.rxd().isEmpty());
    QVERIFY(!s.repeat().isEnabled() && !s.replyWindow().isEnabled());
    // The status line stays until the display clear, a full second after the release.
    QCOMPARE(f.statusLine(), " Stand by");
    f.advance(999);
    QCOMPARE(f.statusLine(), " Stand by");
    f.advance(1);
    QVERIFY(f.statusLine().isEmpty());
    QVERIFY(!s.displayClear().isEnabled());
    QCOMPARE(f.line.writes.size(), 2);
}

void SessionHoldTest::menuArrows_data()
{
    QTest::addColumn<QStringList>("before"); // "tap:NAME" hold buttons, "send:NAME" one-shots
    QTest::addColumn<int>("period");
    QTest::addColumn<int>("replyWindow");
    QTest::addColumn<int>("displayClear");
    QTest::addColumn<protocol::ArrowSpeed>("speed");
    using enum protocol::ArrowSpeed;
    QTest::newRow("after start-up") << QStringList() << 200 << 500 << 1000 << AsStarted;
    QTest::newRow("after MENU ON") << QStringList({"send:menu-on"}) << 200 << 150 << 190 << Primed;
    QTest::newRow("after A-IMAGE") << QStringList({"send:a-image"}) << 200 << 150 << 190 << Primed;
    QTest::newRow("after D.Zoom") << QStringList({"tap:d-zoom-out"}) << 5 << 5 << 5 << Fast;
    QTest::newRow("after D.Zoom, then VOL")
        << QStringList({"tap:d-zoom-in", "tap:volume-up"}) << 250 << 5 << 5 << Fast;
    QTest::newRow("after D.Zoom, then MENU ON")
        << QStringList({"tap:d-zoom-in", "send:menu-on"}) << 200 << 150 << 190 << Primed;
    QTest::newRow("after zoom") << QStringList({"tap:zoom-in"}) << 150 << 500 << 1000 << AsStarted;
    QTest::newRow("after ENTER") << QStringList({"tap:menu-enter"}) << 500 << 500 << 1000
                                 << AsStarted;
    QTest::newRow("after MENU ON, then focus")
        << QStringList({"send:menu-on", "tap:focus-plus"}) << 150 << 150 << 190 << Primed;
    QTest::newRow("after an image mode")
        << QStringList({"send:image-stand"}) << 200 << 2000 << 2500 << AsStarted;
}

void SessionHoldTest::menuArrows()
{
    QFETCH(QStringList, before);
    QFETCH(int, period);
    QFETCH(int, replyWindow);
    QFETCH(int, displayClear);
    QFETCH(protocol::ArrowSpeed, speed);
    const std::pair<const char *, QByteArray> arrows[] = {{"menu-up", "C3C\r"},
                                                          {"menu-down", "C3D\r"},
                                                          {"menu-left", "C3B\r"},
                                                          {"menu-right", "C3A\r"}};
    for (const auto &[arrow, bytes] : arrows) {
        SessionFixture f;
        for (const QString &step : before) {
            const QByteArray name = step.section(':', 1).toLatin1();
            if (step.startsWith("tap:"))
                f.tap(name.constData());
            else
                f.send(name.constData());
            f.advance(3000);
        }
        QCOMPARE(f.session->arrowSpeed(), speed);
        const qint64 t0 = f.clock.nowMs();
        f.line.clearLog();
        f.press(arrow);
        QCOMPARE(f.session->replyWindow().interval(), replyWindow);
        QCOMPARE(f.session->displayClear().interval(), displayClear);
        f.advance(3 * period);
        QCOMPARE(f.sendTimes(t0), QList<qint64>({0, period, 2 * period, 3 * period}));
        QCOMPARE(f.line.written(), bytes.repeated(4));
        f.release(arrow);
        QCOMPARE(f.session->replyWindow().interval(), 500);
        QCOMPARE(f.session->displayClear().interval(), 1000);
    }
}

void SessionHoldTest::replyDuringHoldChangesNothing()
{
    SessionFixture f;
    f.press("zoom-in"); // 150 ms
    f.advance(60);
    f.line.receive("\x06");
    QCOMPARE(f.rxd(), " ACK ");
    QCOMPARE(f.session->held(), &SessionFixture::command("zoom-in"));
    QVERIFY(f.session->repeat().isEnabled());
    f.advance(390);
    QCOMPARE(f.sendTimes(), QList<qint64>({0, 150, 300, 450}));
    f.release("zoom-in");
}

void SessionHoldTest::releaseDropsHalfReply()
{
    SessionFixture f;
    f.press("volume-up");
    f.line.receive("8");
    f.release("volume-up");
    QVERIFY(f.session->received().isEmpty());
    QVERIFY(f.rxd().isEmpty());
    f.line.receive("0\r");
    QCOMPARE(f.rxd(), " 0 CR ");
    QVERIFY(!f.session->awaitingReply());
}

void SessionHoldTest::furtherPressTakesOver()
{
    SessionFixture f;
    f.press("volume-up"); // 250 ms
    f.advance(100);
    f.press("zoom-in"); // 150 ms, while the volume button is still down
    QCOMPARE(f.session->held(), &SessionFixture::command("zoom-in"));
    f.advance(300);
    QCOMPARE(f.line.written(), QByteArray("C09\rC47\rC47\rC47\r"));
    QCOMPARE(f.sendTimes(), QList<qint64>({0, 100, 250, 400}));
    f.release("zoom-in"); // the first release ends the hold
    f.advance(1000);
    QCOMPARE(f.line.writes.size(), 4);
    f.release("volume-up");
    f.advance(1000);
    QCOMPARE(f.line.writes.size(), 4);
}

void SessionHoldTest::lineLostDuringHoldEndsIt()
{
    SessionFixture f;
    PanelSession &s = *f.session;
    f.press("menu-right");
    f.advance(400);
    QCOMPARE(f.line.writes.size(), 3);
    f.line.loseLine(QStringLiteral("gone"));
    QCOMPARE(f.warnings.size(), 1);
    // Ended as at a release.
    QVERIFY(!s.held());
    QVERIFY(!s.repeat().isEnabled());
    QCOMPARE(s.replyWindow().interval(), 500);
    QCOMPARE(s.displayClear().interval(), 1000);
    f.advance(2000);
    QCOMPARE(f.line.writes.size(), 3);
    QVERIFY(f.statusLine().isEmpty()); // no repeat ran on to say the port is closed
    f.release("menu-right");
    QCOMPARE(f.warnings.size(), 1);
}

void SessionHoldTest::endHoldEarlyThenReleaseSwallowed()
{
    SessionFixture f;
    PanelSession &s = *f.session;
    f.press("d-zoom-in");
    f.advance(250);
    QCOMPARE(f.line.writes.size(), 2);

    s.endHoldEarly();
    // Ended as at a release: the repeat stops, the intervals are put back, the arrows go fast.
    QVERIFY(!s.held());
    QVERIFY(!s.repeat().isEnabled());
    QCOMPARE(s.replyWindow().interval(), 500);
    QCOMPARE(s.displayClear().interval(), 1000);
    QCOMPARE(s.repeat().interval(), 5);
    QCOMPARE(s.arrowSpeed(), protocol::ArrowSpeed::Fast);
    f.advance(1000);
    QCOMPARE(f.line.writes.size(), 2);

    // Something else is on the monitor when the real release arrives: it changes nothing.
    f.send("menu-on");
    QCOMPARE(s.arrowSpeed(), protocol::ArrowSpeed::Primed);
    QSignalSpy txdChanges(&s, &PanelSession::transmitLineChanged);
    f.release("d-zoom-in");
    QCOMPARE(txdChanges.size(), 0);
    QCOMPARE(f.txd(), " C 1 C CR ");
    QVERIFY(s.replyWindow().isEnabled());
    QCOMPARE(s.repeat().interval(), 200);
    QCOMPARE(s.arrowSpeed(), protocol::ArrowSpeed::Primed);

    // Only that one release was swallowed: the next hold ends at its own release.
    f.advance(1000);
    f.press("d-zoom-in");
    f.release("d-zoom-in");
    QVERIFY(!s.held());
    QVERIFY(f.txd().isEmpty());
    QCOMPARE(s.arrowSpeed(), protocol::ArrowSpeed::Fast);
    QCOMPARE(f.line.writes.size(), 4);
}

void SessionHoldTest::keyReleaseGrace_data()
{
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("afterMs"); // after the key release
    QTest::addColumn<QList<qint64>>("sends");
    QTest::addColumn<QString>("held"); // when all is over
    // Volume + held by a key from 0, let go at 300 (the grace is 50 ms).
    QTest::newRow("down again within the grace: the same hold, its rhythm kept")
        << "key volume-up" << 40 << QList<qint64>{0, 250, 500, 750} << "volume-up";
    QTest::newRow("down again after the grace: a new hold, sent at once")
        << "key volume-up" << 60 << QList<qint64>{0, 250, 360, 610} << "volume-up";
    QTest::newRow("another button within the grace: the first is let go first")
        << "key zoom-in" << 20 << QList<qint64>{0, 250, 320, 470, 620, 770} << "zoom-in";
    QTest::newRow("the mouse presses it within the grace: a new hold")
        << "press volume-up" << 20 << QList<qint64>{0, 250, 320, 570} << "volume-up";
    QTest::newRow("the hold ended early within the grace")
        << "end early" << 20 << QList<qint64>{0, 250} << "";
    QTest::newRow("nothing: released once the grace is over")
        << "" << 0 << QList<qint64>{0, 250} << "";
}

// A key's release waits out the grace, so that the keyboard's auto-repeat, come as up and down
// again, is one hold; anything else that happens meanwhile finds the key released.
void SessionHoldTest::keyReleaseGrace()
{
    QFETCH(QString, after);
    QFETCH(int, afterMs);
    QFETCH(QList<qint64>, sends);
    QFETCH(QString, held);
    SessionFixture f;
    PanelSession &s = *f.session;
    QCOMPARE(PanelSession::kKeyRepeatGraceMs, 50);
    s.keyPress(f.command("volume-up"));
    f.advance(300);
    s.keyRelease(f.command("volume-up"));
    QCOMPARE(s.held(), &f.command("volume-up")); // not yet
    f.advance(afterMs);
    const QStringList what = after.split(QLatin1Char(' '));
    if (what[0] == "key")
        s.keyPress(f.command(qPrintable(what[1])));
    else if (what[0] == "press")
        f.press(qPrintable(what[1]));
    else if (what[0] == "end")
        s.endHoldEarly();
    f.advance(800 - 300 - afterMs);
    QCOMPARE(f.sendTimes(), sends);
    QCOMPARE(s.held(), held.isEmpty() ? nullptr : &f.command(qPrintable(held)));
    if (held.isEmpty()) {
        QVERIFY(!s.repeat().isEnabled());
        QVERIFY(f.txd().isEmpty());
    }
}

QTEST_GUILESS_MAIN(SessionHoldTest)
#include "tst_session_hold.moc"
