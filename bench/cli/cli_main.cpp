// SPDX-License-Identifier: MIT
// odra-bench-cli: odra as a script runs it, against projectors played by far ends of
// pseudo-terminals that answer the instant a query is complete. The wall time of `odra status`
// for 1, 10 and 50 projectors in one run, and the time from exec to odra's first byte on the
// line beside a bare Qt program that only writes one command. Writes its figures as JSON for
// odra-bench to print with the rest.
#include "clock.h"
#include "far_end.h"
#include "report.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonObject>
#include <QSerialPort>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

namespace {

struct Exit
{
    qint64 startNs = 0;
    qint64 endNs = 0;
    int status = -1;
    QByteArray out;
};

// Runs a program to its end, its standard output kept, its standard error dropped.
Exit runToEnd(const QStringList &command)
{
    Exit e;
    QTemporaryFile out;
    if (!out.open())
        return e;
    std::vector<QByteArray> storage;
    std::vector<char *> argv;
    for (const QString &a : command)
        storage.push_back(a.toLocal8Bit());
    for (QByteArray &a : storage)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, out.fileName().toLocal8Bit().constData(),
                                     O_WRONLY | O_TRUNC, 0);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    e.startNs = bench::monoNs();
    const int failed = posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    if (failed)
        return e;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    e.endNs = bench::monoNs();
    e.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    e.out = out.readAll();
    return e;
}

// Projectors that answer "80" CR to "CR0" CR at once.
std::vector<std::unique_ptr<bench::FarEnd>> projectors(int count)
{
    std::vector<std::unique_ptr<bench::FarEnd>> out;
    for (int i = 0; i < count; ++i) {
        out.push_back(std::make_unique<bench::FarEnd>());
        out.back()->setAutoReply("CR0\r", "80\r");
    }
    return out;
}

// Wall times of `odra status` on count projectors, in ms; empty when a run went wrong.
std::vector<double> fleetRuns(const QString &odra, int count, int runs)
{
    const auto far = projectors(count);
    QStringList command{odra};
    for (const auto &f : far)
        command << QStringLiteral("--port") << f->devicePath();
    command << QStringLiteral("status");
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const Exit e = runToEnd(command);
        if (e.status != 0 || e.out.count("Stand by") != count) {
            std::fprintf(stderr, "odra-bench-cli: %d projectors: status %d, %s\n", count, e.status,
                         e.out.left(200).constData());
            return {};
        }
        ms.push_back(bench::nsToMs(e.endNs - e.startNs));
    }
    return ms;
}

// What the platform asks of every port opened and closed, in this process and without odra:
// QSerialPort takes a lock file (written and synced to disk) and removes it again. Milliseconds
// for count ports, all opened in turn and then all closed.
std::vector<double> bareOpens(int count, int runs)
{
    std::vector<std::unique_ptr<bench::FarEnd>> far;
    for (int i = 0; i < count; ++i)
        far.push_back(std::make_unique<bench::FarEnd>());
    std::vector<double> ms;
    for (int r = 0; r < runs; ++r) {
        std::vector<std::unique_ptr<QSerialPort>> ports;
        const qint64 t0 = bench::monoNs();
        for (const auto &f : far) {
            ports.push_back(std::make_unique<QSerialPort>(f->devicePath()));
            if (!ports.back()->open(QIODevice::ReadWrite))
                return {};
        }
        ports.clear();
        ms.push_back(bench::nsToMs(bench::monoNs() - t0));
    }
    return ms;
}

// Milliseconds from exec to the first byte on the line, or -1.
double firstByte(const QStringList &command, bench::FarEnd &far)
{
    far.clear();
    const Exit e = runToEnd(command);
    const auto commands = far.commands();
    if (e.status != 0 || commands.empty())
        return -1;
    return bench::nsToMs(commands.front().ns - e.startNs);
}

// Writes the figures as JSON to path, or prints the table when there is none.
int write(const bench::Report &report, const QString &path)
{
    if (path.isEmpty()) {
        report.printTable(stdout);
    } else if (!bench::writeJson(path, QJsonObject{{"figures", report.toJson()}})) {
        return 1;
    }
    return report.figures().empty() ? 1 : 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser cli;
    cli.addHelpOption();
    cli.addOption({"odra", "The odra program.", "path"});
    cli.addOption({"bare", "The bare serial program (the floor of the start-up).", "path"});
    cli.addOption({"runs", "Runs of each measurement.", "n", "10"});
    cli.addOption({"out", "Write the figures to <file> as JSON.", "file"});
    cli.addOption({"tmpfs-lock",
                   "The lock directory is a private tmpfs, as on a Debian system (run-bench "
                   "makes one where /run/lock is on disk): only the fleet, its figures marked."});
    cli.process(app);
    // Where the lock directory is on disk, every port opened costs a sync of its lock file;
    // that run and one on tmpfs are told apart by key and label.
    const bool tmpfs = cli.isSet("tmpfs-lock");
    const QString key = tmpfs ? QStringLiteral(".tmpfs_lock") : QString();
    const QString mark = tmpfs ? QStringLiteral("[lock on tmpfs] ") : QString();
    const QString odra = cli.value("odra");
    const int runs = std::max(1, cli.value("runs").toInt());

    bench::Report report;
    fleetRuns(odra, 1, 2); // the libraries into the page cache
    const bench::Summary one = bench::Summary::of(fleetRuns(odra, 1, runs));
    bench::Figure single("odra.fleet.1" + key, mark + "odra status, 1 projector: exec -> exit",
                         "ms", one);
    report.add(single);
    for (const int count : {10, 50}) {
        const bench::Summary many = bench::Summary::of(fleetRuns(odra, count, runs));
        bench::Figure f(QStringLiteral("odra.fleet.%1").arg(count) + key,
                        mark + QStringLiteral("odra status, %1 projectors in one run").arg(count),
                        "ms", many);
        f.floor = one;
        f.floorLabel = QStringLiteral("odra status, 1 projector, in the same run");
        if (count == 50) {
            f.target = QStringLiteral("median <= 1.5 x floor");
            f.met = many.n == runs && one.n > 0 && many.median <= 1.5 * one.median;
        }
        report.add(f);
        report.add(bench::Figure(
            QStringLiteral("odra.fleet.%1.lock_files").arg(count) + key,
            mark +
                QStringLiteral("the platform alone: %1 bare QSerialPort open + close").arg(count),
            "ms", bench::Summary::of(bareOpens(count, runs))));
    }

    if (tmpfs)
        return write(report, cli.value("out"));

    bench::FarEnd line;
    line.setAutoReply("CR0\r", "80\r");
    std::vector<double> odraMs, bareMs;
    for (int i = 0; i < 2 * runs; ++i) {
        const double o = firstByte({odra, "--port", line.devicePath(), "status"}, line);
        const double b = firstByte({cli.value("bare"), line.devicePath()}, line);
        if (o >= 0)
            odraMs.push_back(o);
        if (b >= 0)
            bareMs.push_back(b);
    }
    bench::Figure start("odra.startup.first_byte", "odra start-up: exec -> first byte on the line",
                        "ms", bench::Summary::of(odraMs));
    start.floor = bench::Summary::of(bareMs);
    start.floorLabel = QStringLiteral("bare Qt program: open the port, write, started in turn");
    start.target = QStringLiteral("median <= 2 x floor");
    start.met = start.value.n == 2 * runs && start.floor->n > 0 &&
                start.value.median <= 2 * start.floor->median;
    start.note = QStringLiteral("the panel's own start-up is under start-up: exec -> port open");
    report.add(start);

    return write(report, cli.value("out"));
}
