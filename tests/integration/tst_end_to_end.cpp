// SPDX-License-Identifier: MIT
// The real panel and the projector simulator as a separate process, talking over a
// pseudo-terminal on real timers. The simulator answers with the projector's own literals, so a
// fault in the panel's decoding shows up here.
#include "live_panel.h"
#include "projector_sim_process.h"

#include <QLineEdit>
#include <QtTest>

namespace {
constexpr int kWait = 10000; // generous: a busy machine must not fail these
} // namespace

class EndToEndTest : public QObject
{
    Q_OBJECT
private slots:
    void statusQueries_data();
    void statusQueries();
    void powerOnThroughCountDown();
    void inputModeAfterChoosingInput();
    void typedPressureQuery();
    void replyInSingleCharacters();
    void silentProjector();
    void hangUpLeavesPanelRunning();
};

void EndToEndTest::statusQueries_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("status");
    QTest::newRow("status") << "status" << QString(" Stand by");
    QTest::newRow("input mode") << "input-mode" << QString(" Input mode 1");
    QTest::newRow("setting") << "setting" << QString(" Normally");
    QTest::newRow("lamp time") << "lamp-time" << QString(" 0 1 2 3 4 CR  Hour Use");
    const QString temperatures("  S1= 0 2 4 . 5 C  ,   S2=  2 5 . 0 C , S3= 0 2 6 . 0 C");
    QTest::newRow("temperatures") << "temp" << temperatures;
}

void EndToEndTest::statusQueries()
{
    QFETCH(QString, button);
    QFETCH(QString, status);
    ProjectorSimProcess sim;
    QVERIFY(sim.start());
    LivePanel panel(sim.devicePath());
    panel.click(button);
    QTRY_COMPARE_WITH_TIMEOUT(panel.statusLine(), status, kWait);
    QVERIFY2(panel.warnings.isEmpty(), qPrintable(panel.warnings.join('\n')));
}

// STATUS, then POWER ON and STATUS again before POWER ON's ACK is in: the ACK and the new state
// arrive together, and the status line goes from the old state to nothing to the new one.
void EndToEndTest::powerOnThroughCountDown()
{
    ProjectorSimProcess sim;
    QVERIFY(sim.start({"--countdown", "1"}));
    LivePanel panel(sim.devicePath());
    panel.click("status");
    QTRY_COMPARE_WITH_TIMEOUT(panel.statusLine(), QString(" Stand by"), kWait);
    QStringList shown;
    QObject::connect(panel.session.get(), &PanelSession::statusLineChanged,
                     [&](const QString &line) { shown << line; });
    panel.click("power-on");
    panel.click("status");
    QTRY_COMPARE_WITH_TIMEOUT(panel.statusLine(), QString(" Count down"), kWait);
    QCOMPARE(shown, QStringList({"", " Count down"}));
    QTest::qWait(1500);
    panel.click("status");
    QTRY_COMPARE_WITH_TIMEOUT(panel.statusLine(), QString(" Power ON"), kWait);
}

void EndToEndTest::inputModeAfterChoosingInput()
{
    ProjectorSimProcess sim;
    QVERIFY(sim.start());
    LivePanel panel(sim.devicePath());
    panel.click("input-2");
    panel.click("input-mode"); // before the ACK of input 2
    QTRY_COMPARE_WITH_TIMEOUT(panel.statusLine(), QString(" Input mode 2"), kWait);
    QCOMPARE(panel.rxd(), " ACK 2 CR ");
}

void EndToEndTest::typedPressureQuery()
{
    ProjectorSimProcess sim;
    QVERIFY(sim.start());
    LivePanel panel(sim.devicePath());
    auto *box = qobject_cast<QLineEdit *>(panel.control("command-text"));
    QVERIFY(box);
    box->setText(QStringLiteral("CR PRESSURE"));
    panel.click("send");
    QTRY_COMPARE_WITH_TIMEOUT(panel.statusLine(), QString("650 hPa"), kWait);
    QVERIFY(sim.log().contains("CR PRESSURE<CR>"));
}

void EndToEndTest::replyInSingleCharacters()
{
    ProjectorSimProcess sim;
    QVERIFY(sim.start({"--split"}));
    LivePanel panel(sim.devicePath());
    panel.click("status");
    QTRY_COMPARE_WITH_TIMEOUT(panel.rxd(), QString(" 8 0 CR "), kWait);
    QCOMPARE(panel.statusLine(), " Stand by");
}

void EndToEndTest::silentProjector()
{
    ProjectorSimProcess sim;
    QVERIFY(sim.start({"--silent"}));
    LivePanel panel(sim.devicePath());
    panel.click("status");
    QTRY_COMPARE_WITH_TIMEOUT(panel.rxd(), QString(" X X X X"), kWait);
    QVERIFY(panel.statusLine().isEmpty());
}

void EndToEndTest::hangUpLeavesPanelRunning()
{
    ProjectorSimProcess sim;
    QVERIFY(sim.start({"--hangup-after", "1"}));
    LivePanel panel(sim.devicePath());
    panel.click("status");
    QTRY_COMPARE_WITH_TIMEOUT(panel.warnings.size(), 1, kWait);
    QVERIFY(!panel.session->portOpen());
    QTest::qWait(500);
    QCOMPARE(panel.warnings.size(), 1);
    // The panel goes on: a button still works and says why nothing went out.
    panel.click("power-on");
    QCOMPARE(panel.statusLine(), " COM1 not open");
    QVERIFY(panel.window->isVisible());
}

QTEST_MAIN(EndToEndTest)
#include "tst_end_to_end.moc"
