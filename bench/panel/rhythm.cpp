// Repeat rhythm: a hold button held through real mouse events, every send stamped at the far
// end, beside a bare precise QTimer at the same period writing to a line of its own.
#include "clock.h"
#include "far_end.h"
#include "floor_thread.h"
#include "live_panel.h"
#include "sections.h"

#include <QTimer>
#include <QtTest>

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
    {200, 30, "Command5", "C3C\r", nullptr},   {150, 40, "Command15", "C47\r", nullptr},
    {250, 24, "Command1", "C09\r", nullptr},   {500, 20, "Command6", "C3F\r", nullptr},
    {5, 400, "Command5", "C3C\r", "Command48"},
};

struct Rhythm
{
    std::vector<double> error; // |spacing - period|, ms
    std::vector<double> drift; // |t(n) - t(0) - n * period|, ms
    std::vector<double> signedDrift;
    qsizetype sends = 0;
};

Rhythm analyse(const std::vector<FarEnd::Command> &all, const QByteArray &code, int period)
{
    std::vector<qint64> t;
    for (const auto &c : all)
        if (c.bytes == code)
            t.push_back(c.ns);
    Rhythm r;
    r.sends = qsizetype(t.size());
    for (std::size_t n = 1; n < t.size(); ++n) {
        r.error.push_back(std::fabs(nsToMs(t[n] - t[n - 1]) - period));
        r.signedDrift.push_back(nsToMs(t[n] - t[0]) - double(n) * period);
        r.drift.push_back(std::fabs(r.signedDrift.back()));
    }
    return r;
}

// The floor: a bare periodic QTimer(PreciseTimer) on its own thread that writes the same four
// bytes straight to its own pseudo-terminal, once at the start and once per tick.
std::future<void> startTimerFloor(FloorThread &thread, int fd, int period, int repeats)
{
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> result = done->get_future();
    thread.post([&thread, fd, period, repeats, done] {
        auto *timer = new QTimer(thread.context());
        timer->setTimerType(Qt::PreciseTimer);
        timer->setInterval(period);
        auto left = std::make_shared<int>(repeats);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, fd, left, done] {
            [[maybe_unused]] const ssize_t n = ::write(fd, "C3C\r", 4);
            if (--*left == 0) {
                timer->stop();
                timer->deleteLater();
                done->set_value();
            }
        });
        [[maybe_unused]] const ssize_t n = ::write(fd, "C3C\r", 4);
        timer->start();
    });
    return result;
}

void addFigures(Bench &b, const Plan &p, const Rhythm &panel, const Rhythm &floor)
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
    err.met = panel.error.size() >= std::size_t(p.repeats) - 1 && within(err.value, 0.5, 2);
    if (panel.sends != p.repeats + 1)
        err.note = QStringLiteral("%1 sends seen, %2 expected").arg(panel.sends).arg(p.repeats + 1);
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
    b.report.add(drift);
}

} // namespace

void measureRhythm(Bench &b)
{
    FarEnd floorLine;
    FloorThread floorThread;
    for (const Plan &p : kPlans) {
        if (p.before) {
            QTest::mousePress(b.control(p.before), Qt::LeftButton);
            QTest::mouseRelease(b.control(p.before), Qt::LeftButton);
            b.far.waitForCount(4, 1000);
            runEventLoop(20);
        }
        b.far.clear();
        floorLine.clear();

        // The floor starts half a period ahead, so that the two never wake at the same instant.
        std::future<void> floorDone =
            startTimerFloor(floorThread, floorLine.deviceFd(), p.period, p.repeats);
        runEventLoop(std::max(1, p.period / 2));
        QWidget *button = b.control(p.button);
        QTest::mousePress(button, Qt::LeftButton);
        runEventLoop(p.repeats * p.period + p.period / 2);
        QTest::mouseRelease(button, Qt::LeftButton);
        floorDone.wait_for(std::chrono::seconds(5));
        runEventLoop(20);

        const Rhythm panel = analyse(b.far.commands(), p.code, p.period);
        const Rhythm floor = analyse(floorLine.commands(), "C3C\r", p.period);
        if (qEnvironmentVariableIsSet("ODRA_BENCH_DUMP")) {
            for (const auto *r : {&panel, &floor}) {
                std::fprintf(stderr, "%s %d ms drift:", r == &panel ? "panel" : "floor", p.period);
                for (double d : r->signedDrift)
                    std::fprintf(stderr, " %.2f", d);
                std::fprintf(stderr, "\n");
            }
        }
        addFigures(b, p, panel, floor);
    }
}

} // namespace bench
