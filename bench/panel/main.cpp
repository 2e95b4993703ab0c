// SPDX-License-Identifier: MIT
// odra-bench: the panel on real timers and a real QSerialPort over a pseudo-terminal, measured
// against the limits of the same machine in the same run. Prints one table; writes every figure
// to a JSON file, together with the start-up figures measured by odra-bench-startup.
#include "far_end.h"
#include "live_panel.h"
#include "sections.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QTimer>

#include <cstdio>
#include <thread>

namespace bench {

QWidget *Bench::control(const char *name) const
{
    QWidget *w = panel.window->control(QString::fromLatin1(name));
    if (!w)
        qFatal("bench: no control %s", name);
    return w;
}

void runEventLoop(int ms)
{
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(ms);
    loop.exec();
}

bool within(const Summary &s, double median, double p99)
{
    return s.n > 0 && s.median <= median && s.p99 <= p99;
}

} // namespace bench

namespace {

QString loadAverage()
{
    QFile f("/proc/loadavg");
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()).section(' ', 0, 2)
                                       : QString();
}

QJsonObject readJson(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(f.readAll()).object();
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion")); // as the program itself does

    QCommandLineParser cli;
    cli.addHelpOption();
    cli.addOption({"out", "Write every figure to <file> as JSON.", "file"});
    cli.addOption({"startup", "Start-up figures from odra-bench-startup (JSON).", "file"});
    cli.addOption(
        {"more", "Further figures to print with these (JSON, e.g. odra-bench-cli's).", "file"});
    cli.addOption({"count-widgets", "Print the number of widgets of the window and exit."});
    cli.addOption({"only", "Run only these parts (rhythm,latency,flood,network,long-box).", "parts"});
    cli.addOption({"flood-seconds", "Length of the 1920 B/s flood (default 10).", "s", "10"});
    cli.addOption({"rhythm-scale", "Hold every button k times as long (default 1).", "k", "1"});
    cli.addOption({"periods", "Only these repeat periods, e.g. 5,150.", "ms"});
    cli.process(app);

    bench::FarEnd far;
    if (!far.isValid()) {
        std::fprintf(stderr, "odra-bench: no pseudo-terminal\n");
        return 1;
    }
    LivePanel panel(far.devicePath());
    if (!panel.warnings.isEmpty() || !panel.session->portOpen()) {
        std::fprintf(stderr, "odra-bench: the panel did not open %s\n",
                     qPrintable(far.devicePath()));
        return 1;
    }
    if (cli.isSet("count-widgets")) {
        std::printf("%lld\n", qlonglong(panel.window->findChildren<QWidget *>().size()));
        return 0;
    }
    bench::runEventLoop(200); // shown and painted once

    const QString loadBefore = loadAverage();
    const QDateTime started = QDateTime::currentDateTime();
    bench::Report report;
    bench::Bench b{panel, far, report, 10, 1, {}};
    b.floodSeconds = std::max(1, cli.value("flood-seconds").toInt());
    b.rhythmScale = std::max(1, cli.value("rhythm-scale").toInt());
    for (const QString &period : cli.value("periods").split(',', Qt::SkipEmptyParts))
        b.periods << period.toInt();
    const QStringList only = cli.value("only").split(',', Qt::SkipEmptyParts);
    auto wanted = [&](const char *part) { return only.isEmpty() || only.contains(part); };
    if (wanted("rhythm"))
        bench::measureRhythm(b);
    if (wanted("latency"))
        bench::measureLatency(b);
    if (wanted("flood"))
        bench::measureFlood(b);
    if (wanted("network"))
        bench::measureNetwork(b);
    if (wanted("long-box"))
        bench::measureLongBox(b);

    QJsonObject startup;
    if (cli.isSet("startup")) {
        startup = readJson(cli.value("startup"));
        report.addAll(startup.value("figures").toArray());
    }
    for (const QString &more : cli.values("more"))
        report.addAll(readJson(more).value("figures").toArray());

    QJsonObject doc{
        {"date", started.toString(Qt::ISODate)},
        {"load_before", loadBefore},
        {"load_after", loadAverage()},
        {"cores", int(std::thread::hardware_concurrency())},
        {"platform", "panel parts offscreen; start-up and idle under Xvfb"},
        {"figures", report.toJson()},
    };
    if (startup.contains("load_before"))
        doc.insert("startup_load_before", startup.value("load_before"));

    std::printf("ODRA control bench, %s, load %s -> %s, %d cores\n\n",
                qPrintable(doc.value("date").toString()), qPrintable(loadBefore),
                qPrintable(loadAverage()), doc.value("cores").toInt());
    report.printTable(stdout);
    std::printf("\n%d target(s) missed\n", report.missed());

    return !cli.isSet("out") || bench::writeJson(cli.value("out"), doc) ? 0 : 1;
}
