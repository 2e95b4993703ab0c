// The manual clock must behave as the window timers do on the event loop, or every timing test
// built on it proves nothing.
#include "core/kernel_scheduler.h"
#include "core/manual_scheduler.h"

#include <QtTest>

namespace {
struct Log
{
    QStringList events;
    ManualScheduler *clock = nullptr;
    std::function<void()> record(const QString &name)
    {
        return [this, name] { events << QStringLiteral("%1@%2").arg(name).arg(clock->nowMs()); };
    }
};
} // namespace

class SchedulerTest : public QObject
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
    void kernelTimersOnTheEventLoop();
};

void SchedulerTest::periodicWithoutDrift()
{
    ManualScheduler clock;
    Log log{{}, &clock};
    auto t = clock.createTimer(250);
    t->setHandler(log.record("t"));
    clock.advance(100);
    t->setEnabled(true);
    clock.advance(1000);
    QCOMPARE(log.events, QStringList({"t@350", "t@600", "t@850", "t@1100"}));
    QCOMPARE(clock.nowMs(), 1100);
}

void SchedulerTest::enablingRunningTimerKeepsCount()
{
    ManualScheduler clock;
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

void SchedulerTest::newIntervalRestartsCount()
{
    ManualScheduler clock;
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

void SchedulerTest::disableThenEnableRestarts()
{
    ManualScheduler clock;
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

void SchedulerTest::tiesFireInArmingOrder()
{
    ManualScheduler clock;
    Log log{{}, &clock};
    auto a = clock.createTimer(100);
    auto b = clock.createTimer(100);
    a->setHandler(log.record("a"));
    b->setHandler(log.record("b"));
    b->setEnabled(true);
    a->setEnabled(true);
    clock.advance(100);
    QCOMPARE(log.events, QStringList({"b@100", "a@100"}));
}

void SchedulerTest::handlerMayStopAnotherDueTimer()
{
    ManualScheduler clock;
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

void SchedulerTest::handlerRetimesItself()
{
    ManualScheduler clock;
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
    QCOMPARE(clock.nextDue(), -1);
}

// The program's own timers on real time: only what no busy machine can spoil is asserted.
void SchedulerTest::kernelTimersOnTheEventLoop()
{
    KernelScheduler clock;
    QVERIFY(clock.isValid());
    int fast = 0, once = 0;
    auto repeat = clock.createTimer(5);
    auto single = clock.createTimer(20);
    repeat->setHandler([&] {
        ++fast;
        repeat->setEnabled(true); // a running timer goes on counting
    });
    single->setHandler([&] {
        ++once;
        single->setEnabled(false);
    });
    const qint64 t0 = clock.nowMs();
    repeat->setEnabled(true);
    single->setEnabled(true);
    QTRY_VERIFY_WITH_TIMEOUT(fast >= 20, 10000);
    const qint64 elapsed = clock.nowMs() - t0;
    QVERIFY2(fast <= elapsed / 5 + 1, qPrintable(QStringLiteral("%1 ticks in %2 ms").arg(fast).arg(elapsed)));
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

QTEST_GUILESS_MAIN(SchedulerTest)
#include "tst_scheduler.moc"
