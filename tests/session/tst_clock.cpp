// SPDX-License-Identifier: MIT
// The clock every timer of the panel runs on. The manual clock and the programs' schedulers
// share one due list, so these cases hold for the shipped timers too: the last two run the
// kernel-timer and Qt-timer schedulers on the real event loop.
#include "core/kernel_scheduler.h"
#include "core/qt_scheduler.h"
#include "manual_clock.h"

#include <QtTest>

namespace {
struct Log
{
    QStringList events;
    ManualClock *clock = nullptr;
    std::function<void()> record(const QString &name)
    {
        return [this, name] { events << QStringLiteral("%1@%2").arg(name).arg(clock->nowMs()); };
    }
};
} // namespace

class ClockTest : public QObject
{
    Q_OBJECT
private slots:
    void periodicWithoutDrift();
    void enablingRunningTimerKeepsCount();
    void newIntervalRestartsCount();
    void disableThenEnableRestarts();
    void tiesFireInArmingOrder();
    void handlerMayStopAnotherDueTimer();
    void handlerRetimesItself();
    void lateLoopFiresOnceAndKeepsPhase();
    void lateLoopKeepsTieOrder();
    void eventLoopSchedulers_data();
    void eventLoopSchedulers();
};

void ClockTest::periodicWithoutDrift()
{
    ManualClock clock;
    Log log{{}, &clock};
    auto t = clock.createTimer(250);
    t->setHandler(log.record("t"));
    clock.advance(100);
    t->setEnabled(true);
    clock.advance(1000);
    QCOMPARE(log.events, QStringList({"t@350", "t@600", "t@850", "t@1100"}));
    QCOMPARE(clock.nowMs(), 1100);
}

void ClockTest::enablingRunningTimerKeepsCount()
{
    ManualClock clock;
    Log log{{}, &clock};
    auto t = clock.createTimer(200);
    t->setHandler([&] {
        log.events << QStringLiteral("t@%1").arg(clock.nowMs());
        t->setEnabled(true); // "start again" from inside the tick
    });
    t->setEnabled(true);
    clock.advance(150);
    t->setEnabled(true);
    clock.advance(450);
    QCOMPARE(log.events, QStringList({"t@200", "t@400", "t@600"}));
}

void ClockTest::newIntervalRestartsCount()
{
    ManualClock clock;
    Log log{{}, &clock};
    auto t = clock.createTimer(500);
    t->setHandler(log.record("t"));
    t->setEnabled(true);
    clock.advance(300);
    t->setInterval(200); // running: counts anew from 300
    clock.advance(450);
    QCOMPARE(log.events, QStringList({"t@500", "t@700"}));
    t->setEnabled(false);
    t->setInterval(50); // stopped: stays stopped
    clock.advance(500);
    QCOMPARE(log.events.size(), 2);
}

void ClockTest::disableThenEnableRestarts()
{
    ManualClock clock;
    Log log{{}, &clock};
    auto t = clock.createTimer(5000);
    t->setHandler(log.record("t"));
    t->setEnabled(true);
    clock.advance(3000);
    t->setEnabled(false);
    t->setEnabled(true);
    clock.advance(5000);
    QCOMPARE(log.events, QStringList({"t@8000"}));
}

void ClockTest::tiesFireInArmingOrder()
{
    ManualClock clock;
    Log log{{}, &clock};
    auto a = clock.createTimer(100);
    auto b = clock.createTimer(100);
    a->setHandler(log.record("a"));
    b->setHandler(log.record("b"));
    b->setEnabled(true);
    a->setEnabled(true);
    clock.advance(200);
    QCOMPARE(log.events, QStringList({"b@100", "a@100", "b@200", "a@200"}));
}

void ClockTest::handlerMayStopAnotherDueTimer()
{
    ManualClock clock;
    Log log{{}, &clock};
    auto first = clock.createTimer(100);
    auto second = clock.createTimer(100);
    first->setHandler([&] {
        log.events << "first";
        second->setEnabled(false);
    });
    second->setHandler(log.record("second"));
    first->setEnabled(true);
    second->setEnabled(true);
    clock.advance(100);
    QCOMPARE(log.events, QStringList({"first"}));
}

void ClockTest::handlerRetimesItself()
{
    ManualClock clock;
    Log log{{}, &clock};
    auto t = clock.createTimer(5);
    t->setHandler([&] {
        log.events << QStringLiteral("t@%1").arg(clock.nowMs());
        t->setEnabled(false);
        t->setInterval(20);
    });
    t->setEnabled(true);
    clock.advance(100);
    QCOMPARE(log.events, QStringList({"t@5"}));
    QCOMPARE(clock.nextDueMs(), -1);
}

// An event loop that comes back 33 ms late to a 5 ms timer: one tick, not a burst of six, and
// the next one on the timer's own grid, not 5 ms after the late one.
void ClockTest::lateLoopFiresOnceAndKeepsPhase()
{
    ManualClock clock;
    Log log{{}, &clock};
    auto t = clock.createTimer(5);
    t->setHandler(log.record("t"));
    t->setEnabled(true);
    clock.advance(5);
    clock.stall(33);
    QCOMPARE(log.events, QStringList({"t@5", "t@38"}));
    QCOMPARE(clock.nextDueMs(), 40);
    clock.advance(10);
    QCOMPARE(log.events, QStringList({"t@5", "t@38", "t@40", "t@45"}));
}

// Two timers overdue by different amounts fire earliest first; equal ones in arming order.
void ClockTest::lateLoopKeepsTieOrder()
{
    ManualClock clock;
    QStringList order;
    auto slow = clock.createTimer(30);
    auto fast = clock.createTimer(10);
    auto twin = clock.createTimer(10);
    slow->setHandler([&] { order << "slow"; });
    fast->setHandler([&] { order << "fast"; });
    twin->setHandler([&] { order << "twin"; });
    twin->setEnabled(true);
    slow->setEnabled(true);
    fast->setEnabled(true);
    clock.stall(100);
    QCOMPARE(order, QStringList({"twin", "fast", "slow"}));
}

void ClockTest::eventLoopSchedulers_data()
{
    QTest::addColumn<bool>("kernel");
    QTest::newRow("kernel timer") << true;
    QTest::newRow("Qt timer") << false;
}

// The programs' own timers on real time: only what no busy machine can spoil is asserted.
void ClockTest::eventLoopSchedulers()
{
    QFETCH(bool, kernel);
    std::unique_ptr<Scheduler> clock;
    if (kernel) {
        auto k = std::make_unique<KernelScheduler>();
        QVERIFY(k->isValid());
        clock = std::move(k);
    } else {
        clock = std::make_unique<QtScheduler>();
    }
    int fast = 0, once = 0;
    auto repeat = clock->createTimer(5);
    auto single = clock->createTimer(20);
    repeat->setHandler([&] {
        ++fast;
        repeat->setEnabled(true); // a running timer goes on counting
    });
    single->setHandler([&] {
        ++once;
        single->setEnabled(false);
    });
    const qint64 t0 = clock->nowMs();
    repeat->setEnabled(true);
    single->setEnabled(true);
    QTRY_VERIFY_WITH_TIMEOUT(fast >= 20, 10000);
    const qint64 elapsed = clock->nowMs() - t0;
    QVERIFY2(fast <= elapsed / 5 + 1,
             qPrintable(QStringLiteral("%1 ticks in %2 ms").arg(fast).arg(elapsed)));
    QCOMPARE(once, 1);

    repeat->setEnabled(false);
    const int stopped = fast;
    repeat->setInterval(1); // re-timing a stopped timer leaves it stopped
    QTest::qWait(50);
    QCOMPARE(fast, stopped);
    QCOMPARE(once, 1);

    single->setInterval(10);
    single->setEnabled(true);
    QTRY_COMPARE_WITH_TIMEOUT(once, 2, 10000);
}

QTEST_GUILESS_MAIN(ClockTest)
#include "tst_clock.moc"
