// SPDX-License-Identifier: MIT
// odra-soak: the panel holding a 5 ms menu arrow against the projector simulator on a noisy
// line for minutes on end. It reports the memory at the start and the end of the hold, and
// checks every send: the repeats the elapsed time calls for, the ones the panel made, and the
// ones the simulator received (it logs every command), so that a lost, duplicated or garbled
// command shows. Not a test: it takes ten minutes by default (make soak).
//
// Usage: odra-soak [--minutes M] [--noise BYTES_PER_SECOND] [--sim PATH] [--log PATH]
#include "live_panel.h"
#include "proc_stats.h"
#include "recording_line.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <utility>

Q_LOGGING_CATEGORY(lcSoak, "odra.soak")

namespace {

constexpr int kRepeatMs = 5;

struct Options
{
    double minutes = 10;
    int noise = 200;
    QString sim;
    QString log;
};

enum class Parsed { Run, Help, Version, Error };

Parsed parse(QCommandLineParser &cli, Options *o)
{
    cli.setApplicationDescription(QStringLiteral(
        "Holds a 5 ms menu arrow of the panel against the projector simulator on a noisy line, "
        "then reports the memory and checks every send."));
    const QCommandLineOption help = cli.addHelpOption();
    const QCommandLineOption version = cli.addVersionOption();
    const QCommandLineOption minutes(QStringLiteral("minutes"),
                                     QStringLiteral("How long to hold (default 10)."),
                                     QStringLiteral("M"));
    const QCommandLineOption noise(
        QStringLiteral("noise"),
        QStringLiteral("Random bytes a second the simulator puts on the line (default 200)."),
        QStringLiteral("BYTES_PER_SECOND"));
    const QCommandLineOption sim(
        QStringLiteral("sim"),
        QStringLiteral("The simulator (default: odra-projector-sim beside this program)."),
        QStringLiteral("PATH"));
    const QCommandLineOption log(
        QStringLiteral("log"),
        QStringLiteral("Keep the simulator's log of every command there (default: not kept)."),
        QStringLiteral("PATH"));
    cli.addOptions({minutes, noise, sim, log});
    if (!cli.parse(QCoreApplication::arguments())) {
        qCWarning(lcSoak).noquote() << cli.errorText();
        return Parsed::Error;
    }
    if (cli.isSet(help) || cli.isSet(QStringLiteral("help-all")))
        return Parsed::Help;
    if (cli.isSet(version))
        return Parsed::Version;

    bool ok = cli.positionalArguments().isEmpty();
    const auto given = [&](const QCommandLineOption &option) {
        const bool set = cli.isSet(option);
        ok = ok && (!set || !cli.value(option).isEmpty());
        return set;
    };
    if (given(minutes)) {
        bool number = false;
        o->minutes = cli.value(minutes).toDouble(&number);
        ok = ok && number;
    }
    if (given(noise)) {
        bool number = false;
        o->noise = cli.value(noise).toInt(&number);
        ok = ok && number;
    }
    if (given(sim))
        o->sim = cli.value(sim);
    if (given(log))
        o->log = cli.value(log);
    ok = ok && o->minutes > 0 && o->noise >= 0;
    if (!ok)
        qCWarning(lcSoak, "usage: odra-soak [--minutes M] [--noise BYTES_PER_SECOND] "
                          "[--sim PATH] [--log PATH]");
    return ok ? Parsed::Run : Parsed::Error;
}

double rssMegabytes()
{
    return double(bench::residentKb()) / 1024;
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
    qSetMessagePattern(QStringLiteral("%{appname}: %{message}"));
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("odra-soak"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ODRA_VERSION));
    Options options;
    QCommandLineParser cli;
    switch (parse(cli, &options)) {
    case Parsed::Help: cli.showHelp(0);
    case Parsed::Version: cli.showVersion();
    case Parsed::Error: return 2;
    case Parsed::Run: break;
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
        qCWarning(lcSoak, "cannot start %s", qUtf8Printable(options.sim));
        return 1;
    }
    const QString device = QString::fromLocal8Bit(sim.readLine().trimmed());

    // The real panel, full height, on the program's own timers, its COM1 the simulator's line.
    // Warnings are kept for the report instead of shown.
    BasicLivePanel<RecordingLine> panel(device);
    PanelSession &session = *panel.session;
    PanelWindow &window = *panel.window;
    RecordingLine &line = panel.line;
    const QStringList &warnings = panel.warnings;
    if (!session.portOpen()) {
        qCWarning(lcSoak, "the panel could not open %s", qUtf8Printable(device));
        return 1;
    }
    std::printf("soak: %.1f min of %d ms menu-arrow repeats on %s, noise %d bytes/s\n",
                options.minutes, kRepeatMs, qPrintable(device), options.noise);
    std::fflush(stdout);

    // D.Zoom pressed and released: the menu arrows now repeat every 5 ms.
    QWidget *dzoom = window.control(QStringLiteral("d-zoom-in"));
    QWidget *arrow = window.control(QStringLiteral("menu-up"));
    if (!dzoom || !arrow)
        qFatal("no d-zoom-in or menu-up button");
    wait(1000);
    mouse(dzoom, QEvent::MouseButtonPress);
    mouse(dzoom, QEvent::MouseButtonRelease);
    wait(500);
    if (session.repeat().interval() != kRepeatMs) {
        qCWarning(lcSoak, "the repeat is not at %d ms", kRepeatMs);
        return 1;
    }

    // The line's record grows with every send; it is checked and emptied every second so that
    // the soak's own bookkeeping does not show as the panel's memory.
    const int writesBefore = line.writesTaken;
    bool sentOnlyArrows = true;
    qint64 longestGap = 0, lastSendAt = -1;
    int lateGaps = 0;
    auto checkSends = [&] {
        sentOnlyArrows =
            sentOnlyArrows && line.taken == QByteArray("C3C\r").repeated(line.takenAtMs.size());
        for (const qint64 at : std::as_const(line.takenAtMs)) {
            if (lastSendAt >= 0) {
                longestGap = std::max(longestGap, at - lastSendAt);
                lateGaps += at - lastSendAt >= 2 * kRepeatMs ? 1 : 0;
            }
            lastSendAt = at;
        }
        line.taken.clear();
        line.takenAtMs.clear();
    };
    line.taken.clear(); // the D.Zoom press
    line.takenAtMs.clear();
    QTimer checker;
    QObject::connect(&checker, &QTimer::timeout, checkSends);
    checker.start(1000);

    wait(1000);
    const double rssStart = rssMegabytes();
    double rssMost = rssStart;
    const qint64 pressedAt = panel.scheduler->nowMs();
    mouse(arrow, QEvent::MouseButtonPress);

    QTimer progress;
    QElapsedTimer held;
    held.start();
    QObject::connect(&progress, &QTimer::timeout, [&] {
        const double rss = rssMegabytes();
        rssMost = std::max(rssMost, rss);
        std::printf("  %5.1f min  %7d sends  RSS %.1f MB\n", double(held.elapsed()) / 60000,
                    line.writesTaken - writesBefore, rss);
        std::fflush(stdout);
    });
    progress.start(30000);
    wait(int(options.minutes * 60000));
    progress.stop();

    const double rssEnd = rssMegabytes();
    rssMost = std::max(rssMost, rssEnd);
    const qint64 releasedAt = panel.scheduler->nowMs();
    mouse(arrow, QEvent::MouseButtonRelease);
    const qint64 holdMs = releasedAt - pressedAt;
    checker.stop();
    checkSends();

    // Let the last commands reach the simulator, then stop it so that its log is complete.
    wait(1500);
    sim.terminate();
    sim.waitForFinished(10000);

    const int sends = line.writesTaken - writesBefore;

    // What the simulator received.
    QFile log(options.log);
    int arrows = 0, primes = 0, other = 0;
    if (log.open(QIODevice::ReadOnly)) {
        while (!log.atEnd()) {
            const QByteArray entry = log.readLine();
            const qsizetype rx = entry.indexOf(" rx  ");
            if (rx < 0)
                continue;
            const QByteArray command = entry.mid(rx + 5).trimmed();
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
                static_cast<long long>(line.bytesRead), static_cast<long long>(warnings.size()));
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
