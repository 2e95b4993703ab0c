// SPDX-License-Identifier: MIT
// Repeat rhythm: a hold button held through real mouse events, every send stamped at the far
// end, beside a bare precise QTimer at the same period writing to a line of its own. Each late
// send is traced back: did the panel's thread wake late (and was it waiting for a CPU), or did
// the bytes take long from the send to the far end?
#include "clock.h"
#include "far_end.h"
#include "floor_thread.h"
#include "live_panel.h"
#include "proc_stats.h"
#include "sections.h"

#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <future>
#include <unistd.h>

namespace bench {

namespace {

// Each period as the panel reaches it. The drift target is about a long hold; the long periods
// get fewer repeats so that the whole bench stays short.
struct Plan
{
    int period;
    int repeats;
    const char *button;
    const char *code;
    const char *before; // a press and release that sets the period first, or nullptr
};
// The order matters: the menu arrow repeats at 200 ms only while no other hold has changed the
// period since start-up, and at 5 ms after a D.Zoom release.
constexpr Plan kPlans[] = {
    {200, 30, "menu-up", "C3C\r", nullptr},    {150, 40, "zoom-in", "C47\r", nullptr},
    {250, 24, "volume-up", "C09\r", nullptr},  {500, 20, "menu-enter", "C3F\r", nullptr},
    {5, 400, "menu-up", "C3C\r", "d-zoom-in"},
};

// A send later than this is traced back.
constexpr double kLateMs = 1.5;

// One tick of the panel's repeat, seen from its own thread inside the tick, as the line has
// just taken the tick's bytes.
struct Tick
{
    qint64 sentNs;    // when the line took the bytes
    SchedTimes sched; // the thread's time on a CPU and waiting for one so far
};

struct Rhythm
{
    std::vector<qint64> sends; // far-end arrival of the press's send and of each repeat
    std::vector<double> error; // |spacing - period|, ms
    std::vector<double> drift; // |t(n) - t(0) - n * period|, ms
};

Rhythm analyse(const std::vector<FarEnd::Command> &all, const QByteArray &code, int period,
               int repeats)
{
    Rhythm r;
    // The press and the repeats of the hold; a send that slipped in just before the release
    // (its timer and the release's due within a millisecond or two) is left out.
    for (const auto &c : all)
        if (c.bytes == code && r.sends.size() < std::size_t(repeats) + 1)
            r.sends.push_back(c.ns);
    const auto &t = r.sends;
    for (std::size_t n = 1; n < t.size(); ++n) {
        r.error.push_back(std::fabs(nsToMs(t[n] - t[n - 1]) - period));
        r.drift.push_back(std::fabs(nsToMs(t[n] - t[0]) - double(n) * period));
    }
    return r;
}

// Where the late sends lost their time.
struct Trace
{
    int late = 0;       // spacing more than kLateMs too long
    int wokeLate = 0;   // the tick itself sent late, because the thread ...
    int busy = 0;       // ... was running (the panel's own work) most of that time
    int waitedCpu = 0;  // ... was ready but waited for a CPU
    int slowToWire = 0; // the tick sent on time; the bytes took long to the far end
    double queueWaitMs = 0;
    double usualToWireMs = 0; // median time from the tick's send to the far end
};

Trace trace(const Rhythm &r, const std::vector<Tick> &ticks, qint64 pressNs, int period)
{
    Trace tr;
    const auto &t = r.sends;
    if (ticks.empty() || t.size() < 2)
        return tr;
    tr.queueWaitMs = nsToMs(ticks.back().sched.waitNs - ticks.front().sched.waitNs);
    std::vector<double> toWire; // the tick's send to the far end, ms
    for (std::size_t n = 1; n < t.size() && n <= ticks.size(); ++n)
        toWire.push_back(nsToMs(t[n] - ticks[n - 1].sentNs));
    std::vector<double> sorted = toWire;
    std::sort(sorted.begin(), sorted.end());
    const double usualToWire = sorted.empty() ? 0 : sorted[sorted.size() / 2];
    tr.usualToWireMs = usualToWire;
    for (std::size_t n = 1; n < t.size() && n <= ticks.size(); ++n) {
        const double late = nsToMs(t[n] - t[n - 1]) - period;
        if (late <= kLateMs)
            continue;
        ++tr.late;
        const qint64 previous = n >= 2 ? ticks[n - 2].sentNs : pressNs;
        const double tickLate = nsToMs(ticks[n - 1].sentNs - previous) - period;
        if (tickLate >= late / 2) {
            ++tr.wokeLate;
            if (n < 2)
                continue;
            const SchedTimes &a = ticks[n - 2].sched, &b = ticks[n - 1].sched;
            // Between two ticks the thread runs for well under a millisecond; what it ran or
            // waited beyond that came out of the lateness.
            const double ran = nsToMs(b.onCpuNs - a.onCpuNs), waited = nsToMs(b.waitNs - a.waitNs);
            if (waited >= tickLate / 2)
                ++tr.waitedCpu;
            else if (ran >= tickLate / 2)
                ++tr.busy;
        } else if (toWire[n - 1] - usualToWire >= late / 2) {
            ++tr.slowToWire;
        }
    }
    return tr;
}

// The floor: a bare periodic QTimer(PreciseTimer) on its own thread that writes the same four
// bytes straight to its own pseudo-terminal, once at the start and once per tick. It also notes
// how late each tick began against its due time, in its own thread: the timer's own resolution.
struct TimerFloor
{
    std::future<void> done;
    std::shared_ptr<std::vector<double>> lateness; // ms, read once done
};

TimerFloor startTimerFloor(FloorThread &thread, int fd, int period, int repeats)
{
    auto done = std::make_shared<std::promise<void>>();
    auto lateness = std::make_shared<std::vector<double>>();
    TimerFloor floor{done->get_future(), lateness};
    thread.post([&thread, fd, period, repeats, done, lateness] {
        auto *timer = new QTimer(thread.context());
        timer->setTimerType(Qt::PreciseTimer);
        timer->setInterval(period);
        const qint64 start = monoNs();
        QObject::connect(timer, &QTimer::timeout, timer, [=] {
            const qint64 due = start + qint64(lateness->size() + 1) * period * 1'000'000;
            lateness->push_back(nsToMs(monoNs() - due));
            [[maybe_unused]] const ssize_t n = ::write(fd, "C3C\r", 4);
            if (int(lateness->size()) == repeats) {
                timer->stop();
                timer->deleteLater();
                done->set_value();
            }
        });
        [[maybe_unused]] const ssize_t n = ::write(fd, "C3C\r", 4);
        timer->start();
    });
    return floor;
}

void addFigures(Bench &b, const Plan &p, const Rhythm &panel, const Rhythm &floor, const Trace &tr,
                const std::vector<double> &floorLateness)
{
    const QString name = QStringLiteral("repeat %1 ms").arg(p.period);
    const QString key = QStringLiteral("rhythm.%1ms").arg(p.period);
    Figure err;
    err.key = key + ".error";
    err.label = name + QStringLiteral(": |spacing - period|");
    err.unit = "ms";
    err.value = Summary::of(panel.error);
    err.floor = Summary::of(floor.error);
    err.floorLabel = "bare QTimer(PreciseTimer) writing to its own line, same time";
    err.target = "median <= 0.5, p99 <= 2";
    err.met = panel.error.size() == std::size_t(p.repeats) && within(err.value, 0.5, 2);
    QStringList notes;
    if (panel.sends.size() < std::size_t(p.repeats) + 1)
        notes << QStringLiteral("%1 sends seen, %2 expected")
                     .arg(panel.sends.size())
                     .arg(p.repeats + 1);
    if (tr.late > 0)
        notes << QStringLiteral("%1 sends over %2 ms late: %3 woke late (%4 waiting for a CPU, "
                                "%5 busy, the rest asleep), %6 slow from send to far end")
                     .arg(tr.late)
                     .arg(kLateMs)
                     .arg(tr.wokeLate)
                     .arg(tr.waitedCpu)
                     .arg(tr.busy)
                     .arg(tr.slowToWire);
    err.note = notes.join(QStringLiteral("; "));
    err.extra.insert("late_sends", tr.late);
    err.extra.insert("late_woke_late", tr.wokeLate);
    err.extra.insert("late_waiting_for_cpu", tr.waitedCpu);
    err.extra.insert("late_busy", tr.busy);
    err.extra.insert("late_slow_to_wire", tr.slowToWire);
    err.extra.insert("run_queue_wait_ms", tr.queueWaitMs);
    err.extra.insert("send_to_far_end_median_ms", tr.usualToWireMs);
    b.report.add(err);

    Figure drift;
    drift.key = key + ".drift";
    drift.label = QStringLiteral("%1: drift, sends 1..%2").arg(name).arg(p.repeats);
    drift.unit = "ms";
    drift.value = Summary::of(panel.drift);
    drift.floor = Summary::of(floor.drift);
    drift.floorLabel = err.floorLabel;
    drift.target = "max <= 2";
    drift.met = !panel.drift.empty() && drift.value.max <= 2;
    drift.extra.insert("floor_tick_lateness_ms", Summary::of(floorLateness).toJson());
    b.report.add(drift);
}

} // namespace

std::vector<double> spacingErrors(const std::vector<FarEnd::Command> &all, const QByteArray &code,
                                  int period, int repeats)
{
    return analyse(all, code, period, repeats).error;
}

void measureRhythm(Bench &b)
{
    FarEnd floorLine;
    FloorThread floorThread;
    // Every send of the session, stamped inside the tick that made it, right after the line
    // took the bytes: the time and the thread's scheduling times.
    std::vector<Tick> ticks;
    const auto stamp = QObject::connect(b.panel.session.get(), &PanelSession::sent, [&ticks] {
        ticks.push_back({monoNs(), threadSchedTimes()});
    });

    for (Plan p : kPlans) {
        if (!b.periods.isEmpty() && !b.periods.contains(p.period))
            continue;
        p.repeats *= b.rhythmScale;
        if (p.before) {
            QTest::mousePress(b.control(p.before), Qt::LeftButton);
            QTest::mouseRelease(b.control(p.before), Qt::LeftButton);
            b.far.waitForCount(4, 1000);
            runEventLoop(20);
        }
        b.far.clear();
        floorLine.clear();
        ticks.clear();
        ticks.reserve(std::size_t(p.repeats) + 8);

        // The floor starts half a period ahead, so that the two never wake at the same instant.
        TimerFloor timerFloor =
            startTimerFloor(floorThread, floorLine.deviceFd(), p.period, p.repeats);
        runEventLoop(std::max(1, p.period / 2));
        QWidget *button = b.control(p.button);
        const qint64 pressNs = monoNs();
        QTest::mousePress(button, Qt::LeftButton);
        ticks.clear(); // the press's own send: the ticks are the repeats after it
        runEventLoop(p.repeats * p.period + p.period / 2);
        QTest::mouseRelease(button, Qt::LeftButton);
        const bool floorDone =
            timerFloor.done.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        runEventLoop(20);

        const Rhythm panel = analyse(b.far.commands(), p.code, p.period, p.repeats);
        const Rhythm floor = analyse(floorLine.commands(), "C3C\r", p.period, p.repeats);
        addFigures(b, p, panel, floor, trace(panel, ticks, pressNs, p.period),
                   floorDone ? *timerFloor.lateness : std::vector<double>{});
    }
    QObject::disconnect(stamp);
}

} // namespace bench
