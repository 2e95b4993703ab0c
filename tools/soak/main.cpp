// odra-soak: the panel holding a 5 ms menu arrow against the projector simulator on a noisy
// line for minutes on end. It reports the memory at the start and the end of the hold, and
// checks every send: the repeats the elapsed time calls for, the ones the panel made, and the
// ones the simulator received (it logs every command), so that a lost, duplicated or garbled
// command shows. Not a test: it takes ten minutes by default (make soak).
//
// Usage: odra-soak [--minutes M] [--noise BYTES_PER_SECOND] [--sim PATH] [--log PATH]
#include "recording_port.h"

#include "app/form1.h"
#include "core/kernel_scheduler.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

constexpr int kRepeatMs = 5;

struct Options
{
    double minutes = 10;
    int noise = 200;
    QString sim;
    QString log;
};

bool parse(const QStringList &args, Options *o)
{
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &a = args[i];
        const QString value = i + 1 < args.size() ? args[i + 1] : QString();
        bool ok = true;
        if (a == QLatin1String("--minutes"))
            o->minutes = value.toDouble(&ok);
        else if (a == QLatin1String("--noise"))
            o->noise = value.toInt(&ok);
        else if (a == QLatin1String("--sim"))
            o->sim = value;
        else if (a == QLatin1String("--log"))
            o->log = value;
        else
            return false;
        if (!ok || value.isEmpty())
            return false;
        ++i;
    }
    return o->minutes > 0 && o->noise >= 0;
}

double rssMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    return -1;
}

// A press or release of the left button, delivered as the window system delivers it: through
// the application's event filters to the button.
void mouse(QWidget *button, QEvent::Type type)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
    QMouseEvent event(type, QPointF(4, 4), button->mapToGlobal(QPointF(4, 4)), Qt::LeftButton, held,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(button, &event);
}

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Options options;
    if (!parse(app.arguments(), &options)) {
        std::fprintf(stderr, "usage: odra-soak [--minutes M] [--noise BYTES_PER_SECOND] "
                             "[--sim PATH] [--log PATH]\n");
        return 2;
    }
    if (options.sim.isEmpty())
        options.sim =
            QCoreApplication::applicationDirPath() + QStringLiteral("/odra-projector-sim");
    QTemporaryDir scratch;
    if (options.log.isEmpty())
        options.log = scratch.filePath(QStringLiteral("sim.log"));

    // The projector, on a pseudo-terminal, putting noise on the line.
    QProcess sim;
    sim.setStandardErrorFile(options.log);
    sim.start(options.sim, {QStringLiteral("--noise"), QString::number(options.noise)});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(10000)) {
        std::fprintf(stderr, "odra-soak: cannot start %s\n", qPrintable(options.sim));
        return 1;
    }
    const QString device = QString::fromLocal8Bit(sim.readLine().trimmed());
    qputenv("ODRA_COM1", device.toLocal8Bit());

    const auto scheduler = makeEventLoopScheduler(); // the program's own timers
    RecordingPort port;
    QStringList warnings;
    Form1::Platform platform;
    platform.warning = [&](Form1 *, const QString &text) { warnings << text; };
    platform.endProgram = [] {};
    Form1 form(*scheduler, port, platform);
    form.setHeight(9100);
    form.show();
    if (!port.portOpen()) {
        std::fprintf(stderr, "odra-soak: the panel could not open %s\n", qPrintable(device));
        return 1;
    }
    std::printf("soak: %.1f min of %d ms menu-arrow repeats on %s, noise %d bytes/s\n",
                options.minutes, kRepeatMs, qPrintable(device), options.noise);
    std::fflush(stdout);

    // D.Zoom pressed and released: the menu arrows now repeat every 5 ms.
    QWidget *dzoom = form.control(QStringLiteral("Command48"));
    QWidget *arrow = form.control(QStringLiteral("Command5"));
    wait(1000);
    mouse(dzoom, QEvent::MouseButtonPress);
    mouse(dzoom, QEvent::MouseButtonRelease);
    wait(500);
    if (form.Timer1->interval() != kRepeatMs) {
        std::fprintf(stderr, "odra-soak: the repeat is not at %d ms\n", kRepeatMs);
        return 1;
    }

    // The port's record grows with every send; it is checked and emptied every second so that
    // the soak's own bookkeeping does not show as the panel's memory.
    const int writesBefore = port.writesTaken;
    bool sentOnlyArrows = true;
    qint64 longestGap = 0, lastSendAt = -1;
    int lateGaps = 0;
    auto checkSends = [&] {
        sentOnlyArrows =
            sentOnlyArrows && port.taken == QByteArray("C3C\r").repeated(port.takenAtMs.size());
        for (const qint64 at : std::as_const(port.takenAtMs)) {
            if (lastSendAt >= 0) {
                longestGap = std::max(longestGap, at - lastSendAt);
                lateGaps += at - lastSendAt >= 2 * kRepeatMs ? 1 : 0;
            }
            lastSendAt = at;
        }
        port.taken.clear();
        port.takenAtMs.clear();
    };
    port.taken.clear(); // the D.Zoom press
    port.takenAtMs.clear();
    QTimer checker;
    QObject::connect(&checker, &QTimer::timeout, checkSends);
    checker.start(1000);

    wait(1000);
    const double rssStart = rssMegabytes();
    double rssMost = rssStart;
    const qint64 pressedAt = scheduler->nowMs();
    mouse(arrow, QEvent::MouseButtonPress);

    QTimer progress;
    QElapsedTimer held;
    held.start();
    QObject::connect(&progress, &QTimer::timeout, [&] {
        const double rss = rssMegabytes();
        rssMost = std::max(rssMost, rss);
        std::printf("  %5.1f min  %7d sends  RSS %.1f MB\n", double(held.elapsed()) / 60000,
                    port.writesTaken - writesBefore, rss);
        std::fflush(stdout);
    });
    progress.start(30000);
    wait(int(options.minutes * 60000));
    progress.stop();

    const double rssEnd = rssMegabytes();
    rssMost = std::max(rssMost, rssEnd);
    const qint64 releasedAt = scheduler->nowMs();
    mouse(arrow, QEvent::MouseButtonRelease);
    const qint64 holdMs = releasedAt - pressedAt;
    checker.stop();
    checkSends();

    // Let the last commands reach the simulator, then stop it so that its log is complete.
    wait(1500);
    sim.terminate();
    sim.waitForFinished(10000);

    const int sends = port.writesTaken - writesBefore;

    // What the simulator received.
    QFile log(options.log);
    int arrows = 0, primes = 0, other = 0;
    if (log.open(QIODevice::ReadOnly)) {
        while (!log.atEnd()) {
            const QByteArray line = log.readLine();
            const qsizetype rx = line.indexOf(" rx  ");
            if (rx < 0)
                continue;
            const QByteArray command = line.mid(rx + 5).trimmed();
            if (command == "C3C<CR>")
                ++arrows;
            else if (command == "C30<CR>")
                ++primes;
            else
                ++other;
        }
    }

    // Ticks at the press and every 5 ms after it, up to the release (a millisecond either way).
    const qint64 expected = 1 + holdMs / kRepeatMs;
    const int lost = std::max(0, sends - arrows);
    const int duplicated = std::max(0, arrows - sends);
    std::printf("\nsoak: held %.1f s\n", double(holdMs) / 1000);
    std::printf("  RSS at start %.1f MB, at end %.1f MB, most %.1f MB\n", rssStart, rssEnd,
                rssMost);
    std::printf("  repeats the time calls for   %lld (+-1)\n", static_cast<long long>(expected));
    std::printf("  sent by the panel            %d%s\n", sends,
                sentOnlyArrows ? "" : "  (NOT all C3C!)");
    std::printf("  received by the simulator    %d\n", arrows);
    std::printf("  lost on the line %d, duplicated %d, other commands %d (D.Zoom press %d)\n", lost,
                duplicated, other, primes);
    std::printf("  ticks the event loop ran late and merged: %lld; gaps of 10 ms or more: %d, "
                "longest %lld ms\n",
                static_cast<long long>(std::max<qint64>(0, expected - sends)), lateGaps,
                static_cast<long long>(longestGap));
    std::printf("  received from the line %lld bytes (noise and replies); warnings %lld\n",
                static_cast<long long>(port.bytesRead), static_cast<long long>(warnings.size()));
    for (const QString &w : warnings)
        std::printf("  warning: %s\n", qPrintable(w));
    if (!scratch.isValid() || options.log != scratch.filePath(QStringLiteral("sim.log")))
        std::printf("  simulator log: %s\n", qPrintable(QDir(options.log).absolutePath()));

    // Flat: a hold of any length costs no memory beyond what its first minute settled on.
    const bool flat = rssEnd <= rssStart * 1.1 + 4;
    std::printf("  memory %s (%+.1f MB)\n", flat ? "flat" : "GREW", rssEnd - rssStart);

    const bool ok = sentOnlyArrows && lost == 0 && duplicated == 0 && other == 0 && primes == 1 &&
                    warnings.isEmpty() && flat;
    std::printf("soak: %s\n", ok ? "every send arrived once" : "FAILED");
    return ok ? 0 : 1;
}
