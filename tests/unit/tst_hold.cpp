// The hold buttons on the manual clock, driven by real mouse events: the first send at once, the
// repeat at its exact period, and a release (or a lost mouse) that always stops it.
#include "form_fixture.h"
#include "panel/commands.h"

#include <QPushButton>
#include <QtTest>

namespace {

struct Held : FormFixture
{
    Held()
    {
        form->setHeight(9100);
        form->show();
    }
    void press(const QString &name, Qt::MouseButton b = Qt::LeftButton)
    {
        QTest::mousePress(widget(name), b);
    }
    void release(const QString &name, Qt::MouseButton b = Qt::LeftButton)
    {
        QTest::mouseRelease(widget(name), b);
    }
    void tap(const QString &name)
    {
        press(name);
        release(name);
    }
    // Write times, relative to t0.
    QList<qint64> sendTimes(qint64 t0 = 0) const
    {
        QList<qint64> out;
        for (const auto &w : port.writes)
            out << w.atMs - t0;
        return out;
    }
    // A hold of `ms` on a button, returning the spacing of its sends.
    QList<qint64> spacing(const QString &name, qint64 ms)
    {
        port.clearLog();
        const qint64 t0 = clock.nowMs();
        press(name);
        advance(ms);
        release(name);
        QList<qint64> gaps, times = sendTimes(t0);
        for (int i = 1; i < times.size(); ++i)
            gaps << times[i] - times[i - 1];
        return gaps;
    }
};

} // namespace

class HoldTest : public QObject
{
    Q_OBJECT
private slots:
    void volumeRepeatsEvery250();
    void pressAndReleaseWithinAPeriod();
    void everyButton_data();
    void everyButton();
    void menuArrows_data();
    void menuArrows();
    void replyDuringHoldChangesNothing();
    void releaseDropsHalfReply();
    void anyMouseButtonHolds();
    void leavingAndReenteringKeepsTheHold();
    void quickSecondPressSendsAgain();
    void furtherPressTakesOver();
    void deactivationReleases();
    void warningDuringHoldReleases();
};

void HoldTest::volumeRepeatsEvery250()
{
    Held f;
    f.advance(100);
    f.press("Command1");
    f.advance(1000);
    f.release("Command1");
    QCOMPARE(f.sendTimes(100), QList<qint64>({0, 250, 500, 750, 1000}));
    for (const auto &w : f.port.writes)
        QCOMPARE(w.bytes, QByteArray("C09\r"));
    f.advance(5000);
    QCOMPARE(f.port.writes.size(), 5); // nothing after the release
}

void HoldTest::pressAndReleaseWithinAPeriod()
{
    Held f;
    f.press("Command2");
    f.advance(100);
    QCOMPARE(f.txd(), " C 0 A CR ");
    f.form->Label22->setText(QStringLiteral(" Stand by"));
    f.release("Command2");
    QCOMPARE(f.port.written(), QByteArray("C0A\r"));
    QVERIFY(f.txd().isEmpty() && f.rxd().isEmpty());
    QCOMPARE(f.statusLine(), " Stand by"); // until the display clear
    f.advance(999);
    QCOMPARE(f.statusLine(), " Stand by");
    f.advance(1);
    QVERIFY(f.statusLine().isEmpty());
    QCOMPARE(f.form->HeldKey, 0);
    QVERIFY(!f.form->Timer1->isEnabled() && !f.form->Timer2->isEnabled());
}

void HoldTest::everyButton_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("key");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("period");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<int>("clear");
    struct Row
    {
        const char *control;
        int key;
        const char *code;
        int period, timeout, clear;
    };
    // Typed from the design, independently of the panel's tables.
    const Row rows[] = {
        {"Command1", 1, "C09", 250, 200, 245},   {"Command2", 2, "C0A", 250, 200, 245},
        {"Command15", 7, "C47", 150, 150, 190},  {"Command35", 8, "C46", 150, 150, 190},
        {"Command36", 9, "C4B", 150, 150, 190},  {"Command37", 10, "C4A", 150, 150, 190},
        {"Command48", 17, "C30", 250, 200, 245}, {"Command49", 18, "C31", 250, 200, 245},
        {"Command50", 19, "C8E", 250, 200, 245}, {"Command51", 20, "C8F", 250, 200, 245},
        {"Command59", 21, "C5D", 150, 150, 190}, {"Command62", 22, "C5E", 150, 150, 190},
        {"Command6", 13, "C3F", 500, 200, 245},
        // The menu arrows right after start-up: Timer1 as designed, intervals untouched.
        {"Command5", 3, "C3C", 200, 500, 1000},  {"Command7", 4, "C3D", 200, 500, 1000},
        {"Command9", 5, "C3B", 200, 500, 1000},  {"Command8", 6, "C3A", 200, 500, 1000},
    };
    for (const Row &r : rows)
        QTest::newRow(r.control) << r.control << r.key << QByteArray(r.code) + '\r' << r.period
                                 << r.timeout << r.clear;
}

void HoldTest::everyButton()
{
    QFETCH(QString, control);
    QFETCH(int, key);
    QFETCH(QByteArray, bytes);
    QFETCH(int, period);
    QFETCH(int, timeout);
    QFETCH(int, clear);

    Held f;
    f.press(control);
    QCOMPARE(f.form->HeldKey, key);
    QCOMPARE(f.form->Timer2->interval(), timeout);
    QCOMPARE(f.form->Timer4->interval(), clear);
    f.advance(4 * period);
    QCOMPARE(f.sendTimes(), QList<qint64>({0, period, 2 * period, 3 * period, 4 * period}));
    QCOMPARE(f.port.written(), bytes.repeated(5));
    f.release(control);
    // The release sends nothing and puts the normal intervals back.
    QCOMPARE(f.port.writes.size(), 5);
    QCOMPARE(f.form->Timer2->interval(), 500);
    QCOMPARE(f.form->Timer4->interval(), 1000);
    const bool dzoom = key == 17 || key == 18;
    QCOMPARE(f.form->Timer1->interval(), dzoom ? 5 : period);
    QCOMPARE(f.form->ArrowSpeed, dzoom ? 3 : 0);
}

void HoldTest::menuArrows_data()
{
    QTest::addColumn<QStringList>("before"); // "tap:NAME" hold buttons, "click:NAME" one-shots
    QTest::addColumn<int>("period");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<int>("clear");
    QTest::newRow("after start-up") << QStringList() << 200 << 500 << 1000;
    QTest::newRow("after MENU ON") << QStringList({"click:Command23"}) << 200 << 150 << 190;
    QTest::newRow("after A-IMAGE") << QStringList({"click:Command13"}) << 200 << 150 << 190;
    QTest::newRow("after D.Zoom") << QStringList({"tap:Command49"}) << 5 << 5 << 5;
    QTest::newRow("after D.Zoom, then VOL")
        << QStringList({"tap:Command48", "tap:Command1"}) << 250 << 5 << 5;
    QTest::newRow("after D.Zoom, then MENU ON")
        << QStringList({"tap:Command48", "click:Command23"}) << 200 << 150 << 190;
    QTest::newRow("after Zoom") << QStringList({"tap:Command15"}) << 150 << 500 << 1000;
    QTest::newRow("after ENTER") << QStringList({"tap:Command6"}) << 500 << 500 << 1000;
    QTest::newRow("after MENU ON, then Focus")
        << QStringList({"click:Command23", "tap:Command36"}) << 150 << 150 << 190;
    QTest::newRow("after an image mode") << QStringList({"click:Command4"}) << 200 << 2000 << 2500;
}

void HoldTest::menuArrows()
{
    QFETCH(QStringList, before);
    QFETCH(int, period);
    QFETCH(int, timeout);
    QFETCH(int, clear);
    for (const char *arrow : {"Command5", "Command7", "Command8", "Command9"}) {
        Held f;
        for (const QString &step : before) {
            const QString what = step.section(':', 0, 0), name = step.section(':', 1);
            if (what == "tap")
                f.tap(name);
            else
                f.click(name);
            f.advance(3000);
        }
        const qint64 t0 = f.clock.nowMs();
        f.port.clearLog();
        f.press(arrow);
        QCOMPARE(f.form->Timer2->interval(), timeout);
        QCOMPARE(f.form->Timer4->interval(), clear);
        f.advance(3 * period);
        QCOMPARE(f.sendTimes(t0), QList<qint64>({0, period, 2 * period, 3 * period}));
        f.release(arrow);
        QCOMPARE(f.form->Timer2->interval(), 500);
        QCOMPARE(f.form->Timer4->interval(), 1000);
    }
}

void HoldTest::replyDuringHoldChangesNothing()
{
    Held f;
    f.press("Command15"); // zoom: 150 ms
    f.advance(60);
    f.port.receive("\x06");
    QCOMPARE(f.rxd(), " ACK ");
    QCOMPARE(f.form->HeldKey, 7);
    f.advance(390);
    QCOMPARE(f.sendTimes(), QList<qint64>({0, 150, 300, 450}));
    f.release("Command15");
}

void HoldTest::releaseDropsHalfReply()
{
    Held f;
    f.press("Command1");
    f.port.receive("8");
    f.release("Command1");
    QVERIFY(f.form->ReceiveBuffer.isEmpty());
    QCOMPARE(f.form->AwaitingReply, 0);
    f.port.receive("0\r");
    QCOMPARE(f.rxd(), " 0 CR ");
}

void HoldTest::anyMouseButtonHolds()
{
    for (Qt::MouseButton b : {Qt::RightButton, Qt::MiddleButton}) {
        Held f;
        f.press("Command50", b);
        f.advance(500);
        f.release("Command50", b);
        QCOMPARE(f.port.written(), QByteArray("C8E\r").repeated(3));
        QCOMPARE(f.form->HeldKey, 0);
    }
}

void HoldTest::leavingAndReenteringKeepsTheHold()
{
    Held f;
    QWidget *b = f.widget("Command36");
    f.press("Command36");
    // The pointer wanders off the button and back while the mouse button stays down; the
    // button's own pressed()/released() fire, the hold does not notice.
    QTest::mouseMove(b, QPoint(-40, -40));
    f.advance(150);
    QTest::mouseMove(b, b->rect().center());
    f.advance(150);
    QCOMPARE(f.form->HeldKey, 9);
    QCOMPARE(f.sendTimes(), QList<qint64>({0, 150, 300}));
    f.release("Command36");
    f.advance(1000);
    QCOMPARE(f.port.writes.size(), 3);
}

void HoldTest::quickSecondPressSendsAgain()
{
    Held f;
    QWidget *b = f.widget("Command59");
    // A double-click arrives as press, release, double-click, release.
    QTest::mousePress(b, Qt::LeftButton);
    QTest::mouseRelease(b, Qt::LeftButton);
    QTest::mouseDClick(b, Qt::LeftButton);
    QTest::mouseRelease(b, Qt::LeftButton);
    QCOMPARE(f.port.written(), QByteArray("C5D\rC5D\r"));
    QCOMPARE(f.form->HeldKey, 0);
    f.advance(1000);
    QCOMPARE(f.port.writes.size(), 2);
}

void HoldTest::furtherPressTakesOver()
{
    Held f;
    f.press("Command1"); // VOL + at 250 ms
    f.advance(100);
    f.press("Command15", Qt::RightButton); // zoom + at 150 ms, while VOL is still down
    QCOMPARE(f.form->HeldKey, 7);
    f.advance(300);
    QCOMPARE(f.port.written(), QByteArray("C09\rC47\rC47\rC47\r"));
    QCOMPARE(f.sendTimes(), QList<qint64>({0, 100, 250, 400}));
    f.release("Command15", Qt::RightButton); // the first release ends the hold
    f.advance(1000);
    QCOMPARE(f.port.writes.size(), 4);
    f.release("Command1");
    QCOMPARE(f.port.writes.size(), 4);
}

void HoldTest::deactivationReleases()
{
    Held f;
    f.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
    f.press("Command35");
    f.advance(150);
    QCOMPARE(f.port.writes.size(), 2);

    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QTRY_COMPARE(f.form->HeldKey, 0);
    QVERIFY(!f.form->Timer1->isEnabled());
    QCOMPARE(f.form->Timer2->interval(), 500);
    f.advance(1000);
    QCOMPARE(f.port.writes.size(), 2);

    // The real release arrives later; it finds nothing left to end.
    f.form->Label11->setText("C 0 0");
    f.release("Command35");
    QCOMPARE(f.txd(), "C 0 0");
}

void HoldTest::warningDuringHoldReleases()
{
    Held f;
    f.press("Command8");
    f.advance(400);
    f.port.loseLine(QStringLiteral("gone"));
    QCOMPARE(f.warnings.size(), 1);
    QCOMPARE(f.form->HeldKey, 0);
    f.advance(2000);
    QCOMPARE(f.port.writes.size(), 3);
    f.release("Command8");
}

QTEST_MAIN(HoldTest)
#include "tst_hold.moc"
