// SPDX-License-Identifier: MIT
// odra-bench-startup: start-up and idle of the real odra-control on an X server (run it under
// xvfb-run), against a bare Qt window with as many widgets, started in turn in the same run.
// Writes its figures as JSON for odra-bench to print with the rest.
#include "clock.h"
#include "launcher.h"
#include "proc_stats.h"
#include "pseudo_terminal.h"
#include "report.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QJsonObject>

#include <cstdio>
#include <thread>
#include <unistd.h>

namespace {

using bench::Launcher;

// A pseudo-terminal for the panel's COM1; we hold both sides for as long as it lives.
struct Line
{
    int master = -1, slave = -1;
    QString path;
    Line()
    {
        const PseudoTerminalPair pair = openPseudoTerminal();
        master = pair.farEnd;
        slave = pair.device;
        path = pair.path;
    }
    ~Line()
    {
        for (int fd : {master, slave})
            if (fd >= 0)
                ::close(fd);
    }
};

constexpr int kSettleMs = 300; // the first paint, before the program is ended

struct Sample
{
    double readyMs = -1; // mapped and, for the panel, port open
    double openMs = -1;
    double rssMb = -1;
};

Sample once(Launcher &launcher, const QString &program, const QStringList &args, bool panel)
{
    Line line;
    const QStringList env = {"QT_QPA_PLATFORM=xcb", "ODRA_COM1=" + line.path};
    Launcher::Run run = launcher.start(program, args, env, panel ? line.path : QString(), 10000);
    Sample s;
    if (run.mappedNs > 0 && (!panel || run.openedNs > 0)) {
        s.readyMs = bench::nsToMs(std::max(run.mappedNs, run.openedNs) - run.startNs);
        if (panel)
            s.openMs = bench::nsToMs(run.openedNs - run.startNs);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kSettleMs));
    launcher.stop(run);
    s.rssMb = double(run.peakRssKb) / 1024.0;
    return s;
}

void idle(Launcher &launcher, const QString &panel, int seconds, bench::Report &report)
{
    Line line;
    Launcher::Run run = launcher.start(panel, {}, {"QT_QPA_PLATFORM=xcb", "ODRA_COM1=" + line.path},
                                       line.path, 10000);
    if (run.mappedNs < 0) {
        launcher.stop(run);
        return;
    }
    std::this_thread::sleep_for(std::chrono::seconds(1)); // start-up finished
    const bench::ThreadTotals all0 = bench::processTotals(run.pid);
    const bench::ThreadTotals main0 = bench::threadTotals(run.pid, run.pid);
    const qint64 t0 = bench::monoNs();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const bench::ThreadTotals all1 = bench::processTotals(run.pid);
    const bench::ThreadTotals main1 = bench::threadTotals(run.pid, run.pid);
    const double wall = double(bench::monoNs() - t0);
    launcher.stop(run);

    bench::Figure cpu;
    cpu.key = "idle.cpu";
    cpu.label = QStringLiteral("idle %1 s, port open: CPU, all threads").arg(seconds);
    cpu.unit = "% core";
    cpu.value = bench::Summary::single(100.0 * double(all1.cpuNs - all0.cpuNs) / wall);
    cpu.target = "<= 0.1";
    cpu.met = all0.ok && all1.ok && cpu.value.median <= 0.1;
    report.add(cpu);

    bench::Figure wake;
    wake.key = "idle.wakeups";
    wake.label = QStringLiteral("idle %1 s: wake-ups of the panel's thread").arg(seconds);
    wake.unit = "count";
    wake.value = bench::Summary::single(double(main1.wakeups - main0.wakeups));
    wake.target = "0 (no timer firing)";
    wake.met = main0.ok && main1.ok && main1.wakeups == main0.wakeups;
    wake.note = QStringLiteral("all threads: %1 wake-ups, %2 preemptions")
                    .arg(all1.wakeups - all0.wakeups)
                    .arg(all1.preempted - all0.preempted);
    report.add(wake);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser cli;
    cli.addHelpOption();
    cli.addOption({"panel", "The odra-control program.", "path"});
    cli.addOption({"bare", "The bare window program (the floor).", "path"});
    cli.addOption({"widgets", "Widgets of the bare window: as many as the panel has.", "n", "130"});
    cli.addOption({"runs", "Starts of each program.", "n", "10"});
    cli.addOption({"idle-seconds", "Length of the idle measurement.", "s", "10"});
    cli.addOption({"out", "Write the figures to <file> as JSON.", "file"});
    cli.process(app);

    Launcher launcher;
    if (!launcher.isValid()) {
        std::fprintf(stderr, "odra-bench-startup: no X server (run under xvfb-run)\n");
        return 1;
    }
    QFile loadavg("/proc/loadavg");
    const QString load = loadavg.open(QIODevice::ReadOnly)
                             ? QString::fromLatin1(loadavg.readAll()).section(' ', 0, 2)
                             : QString();
    const QString panel = cli.value("panel"), bare = cli.value("bare");
    const QStringList bareArgs = {cli.value("widgets")};
    const int runs = std::max(1, cli.value("runs").toInt());

    // One start of each first, so that both find their libraries in the page cache.
    once(launcher, panel, {}, true);
    once(launcher, bare, bareArgs, false);
    std::vector<double> ready, open, rss, bareReady, bareRss;
    for (int i = 0; i < runs; ++i) {
        const Sample p = once(launcher, panel, {}, true);
        const Sample b = once(launcher, bare, bareArgs, false);
        if (p.readyMs >= 0) {
            ready.push_back(p.readyMs);
            open.push_back(p.openMs);
        }
        if (b.readyMs >= 0)
            bareReady.push_back(b.readyMs);
        rss.push_back(p.rssMb);
        bareRss.push_back(b.rssMb);
    }

    bench::Report report;
    bench::Figure start;
    start.key = "startup.ready";
    start.label = "start-up: exec -> window mapped, port open";
    start.unit = "ms";
    start.value = bench::Summary::of(ready);
    start.floor = bench::Summary::of(bareReady);
    start.floorLabel = QStringLiteral("bare Qt window with %1 buttons and labels, started in turn")
                           .arg(cli.value("widgets"));
    start.target = "median <= 1.3 x floor";
    start.met = start.value.n == runs && start.floor->n > 0 &&
                start.value.median <= 1.3 * start.floor->median;
    report.add(start);

    report.add(bench::Figure("startup.port_open", "start-up: exec -> port open", "ms",
                             bench::Summary::of(open)));

    bench::Figure mem("startup.peak_rss", "start-up: peak resident set", "MB",
                      bench::Summary::of(rss));
    mem.floor = bench::Summary::of(bareRss);
    mem.floorLabel = start.floorLabel;
    mem.target = "<= 40";
    mem.met = !rss.empty() && mem.value.max <= 40;
    report.add(mem);

    idle(launcher, panel, std::max(1, cli.value("idle-seconds").toInt()), report);

    const QJsonObject doc{{"load_before", load}, {"figures", report.toJson()}};
    if (!cli.isSet("out")) {
        report.printTable(stdout);
        return 0;
    }
    return bench::writeJson(cli.value("out"), doc) ? 0 : 1;
}
