// SPDX-License-Identifier: MIT
// odrad-bench: odrad as a control system meets it, over loopback. A PJLink query answered from
// fresh state, a setting to its first byte at the projector's end (beside a bare write to the
// same pseudo-terminal), and one odrad serving 50 simulated projectors with 4 clients each
// asking every second: its CPU, its memory and the slowest answer. Writes its figures as JSON
// for odra-bench to print with the rest.
#include "clock.h"
#include "far_end.h"
#include "proc_stats.h"
#include "report.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <memory>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kWait = 20000;
constexpr int kFleet = 50;
constexpr int kClientsEach = 4;
constexpr int kFleetSeconds = 20;

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// odrad on the projectors given (device, listen port), until every port listens.
struct Odrad
{
    QTemporaryDir dir;
    QProcess process;

    bool start(const QString &program, const std::vector<std::pair<QString, quint16>> &projectors,
               const QString &extra)
    {
        QFile conf(dir.filePath(QStringLiteral("odrad.conf")));
        if (!conf.open(QIODevice::WriteOnly))
            return false;
        for (size_t i = 0; i < projectors.size(); ++i)
            conf.write(QStringLiteral("[p%1]\ndevice = %2\npjlink-listen = 127.0.0.1:%3\n%4")
                           .arg(i)
                           .arg(projectors[i].first)
                           .arg(projectors[i].second)
                           .arg(extra)
                           .toUtf8());
        conf.close();
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(program, {QStringLiteral("--config"), conf.fileName()});
        if (!process.waitForStarted(kWait))
            return false;
        for (const auto &p : projectors) {
            QElapsedTimer t;
            t.start();
            bool up = false;
            while (!up && t.elapsed() < kWait && process.state() == QProcess::Running) {
                QTcpSocket probe;
                probe.connectToHost(QHostAddress::LocalHost, p.second);
                up = probe.waitForConnected(500);
                if (!up)
                    QThread::msleep(50);
            }
            if (!up)
                return false;
        }
        return true;
    }
    ~Odrad()
    {
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
    }
};

// A blocking client for the one-at-a-time figures.
struct Client
{
    QTcpSocket socket;
    bool connect(quint16 port)
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (!socket.waitForConnected(kWait) || !socket.waitForReadyRead(kWait))
            return false;
        socket.readAll(); // the greeting
        return true;
    }
    QByteArray ask(const QByteArray &line)
    {
        socket.write(line);
        socket.flush();
        QByteArray reply;
        while (!reply.endsWith('\r') && socket.waitForReadyRead(kWait))
            reply += socket.readAll();
        return reply;
    }
};

void freshQuery(const QString &odradProgram, bench::Report &report)
{
    bench::FarEnd projector;
    projector.setAutoReply("CR0\r", "80\r");
    const quint16 port = freePort();
    Odrad odrad;
    Client client;
    if (!odrad.start(odradProgram, {{projector.devicePath(), port}},
                     QStringLiteral("poll-status = 3600\npoll-lamp = 0\n")) ||
        !client.connect(port)) {
        std::fprintf(stderr, "odrad-bench: odrad did not start\n");
        return;
    }
    client.ask("%1POWR ?\r"); // the state heard
    std::vector<double> query;
    for (int i = 0; i < 300; ++i) {
        const qint64 t0 = bench::monoNs();
        if (client.ask("%1POWR ?\r") == "%1POWR=0\r")
            query.push_back(bench::nsToMs(bench::monoNs() - t0));
    }
    bench::Figure f("odrad.pjlink.powr_query", "odrad: POWR ? from fresh state, round trip", "ms",
                    bench::Summary::of(query));
    f.target = QStringLiteral("median <= 1");
    f.met = f.value.n == 300 && f.value.median <= 1.0;
    report.add(f);

    // A setting: from the client's write to its command's first byte at the projector's end;
    // the state asked again before each, so that the setting goes straight out.
    std::vector<double> setting, bare;
    for (int i = 0; i < 50; ++i) {
        if (client.ask("%1POWR ?\r") != "%1POWR=0\r")
            continue;
        projector.clear();
        const qint64 t0 = bench::monoNs();
        client.socket.write("%1POWR 1\r");
        client.socket.flush();
        if (!projector.waitForCount(4, kWait))
            continue;
        const auto commands = projector.commands();
        if (!commands.empty() && commands.front().bytes == "C00\r")
            setting.push_back(bench::nsToMs(commands.front().ns - t0));
        [[maybe_unused]] const ssize_t n = ::write(projector.masterFd(), "\x06", 1);
        QByteArray reply;
        while (!reply.endsWith('\r') && client.socket.waitForReadyRead(kWait))
            reply += client.socket.readAll();

        projector.clear();
        const qint64 b0 = bench::monoNs();
        [[maybe_unused]] const ssize_t m = ::write(projector.deviceFd(), "C00\r", 4);
        if (projector.waitForCount(4, kWait) && !projector.commands().empty())
            bare.push_back(bench::nsToMs(projector.commands().front().ns - b0));
    }
    bench::Figure s("odrad.pjlink.powr_on_first_byte",
                    "odrad: POWR 1 -> first byte at the projector", "ms",
                    bench::Summary::of(setting));
    s.floor = bench::Summary::of(bare);
    s.floorLabel = QStringLiteral("a bare write to the same pseudo-terminal");
    s.target = QStringLiteral("median <= 2");
    s.met = s.value.n == 50 && s.value.median <= 2.0;
    report.add(s);
}

void fleet(const QString &odradProgram, const QString &simProgram, bench::Report &report)
{
    std::vector<std::unique_ptr<QProcess>> sims;
    std::vector<std::pair<QString, quint16>> projectors;
    for (int i = 0; i < kFleet; ++i) {
        auto sim = std::make_unique<QProcess>();
        sim->setStandardErrorFile(QProcess::nullDevice());
        sim->start(simProgram, {});
        if (!sim->waitForStarted(kWait) || !sim->waitForReadyRead(kWait))
            return;
        projectors.push_back({QString::fromLocal8Bit(sim->readLine().trimmed()), freePort()});
        sims.push_back(std::move(sim));
    }
    Odrad odrad;
    if (!odrad.start(odradProgram, projectors, QString())) {
        std::fprintf(stderr, "odrad-bench: odrad did not start with %d projectors\n", kFleet);
        return;
    }
    const pid_t pid = pid_t(odrad.process.processId());

    // Every client asks once a second, each at its own phase, on this thread's event loop.
    struct Poller
    {
        std::unique_ptr<QTcpSocket> socket;
        qint64 sentNs = -1;
        QByteArray reply;
    };
    std::vector<Poller> pollers(kFleet * kClientsEach);
    std::vector<double> latencies;
    for (size_t i = 0; i < pollers.size(); ++i) {
        Poller &p = pollers[i];
        p.socket = std::make_unique<QTcpSocket>();
        p.socket->connectToHost(QHostAddress::LocalHost, projectors[i / kClientsEach].second);
        QObject::connect(p.socket.get(), &QTcpSocket::readyRead, [&p, &latencies] {
            p.reply += p.socket->readAll();
            if (p.sentNs >= 0 && p.reply.endsWith('\r')) {
                latencies.push_back(bench::nsToMs(bench::monoNs() - p.sentNs));
                p.sentNs = -1;
            }
            if (p.reply.endsWith('\r'))
                p.reply.clear();
        });
    }
    QEventLoop loop;
    QTimer::singleShot(2000, &loop, &QEventLoop::quit); // connected, greeted, state heard
    loop.exec();
    std::vector<std::unique_ptr<QTimer>> timers;
    for (size_t i = 0; i < pollers.size(); ++i) {
        auto timer = std::make_unique<QTimer>();
        timer->setInterval(1000);
        Poller &p = pollers[i];
        QObject::connect(timer.get(), &QTimer::timeout, [&p] {
            if (p.sentNs >= 0)
                return; // still waiting: counted when it comes
            p.sentNs = bench::monoNs();
            p.socket->write("%1POWR ?\r");
        });
        QTimer::singleShot(int(i * 1000 / pollers.size()), timer.get(),
                           qOverload<>(&QTimer::start));
        timers.push_back(std::move(timer));
    }
    const bench::ThreadTotals before = bench::processTotals(pid);
    const qint64 wall0 = bench::monoNs();
    qint64 peakKb = 0;
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout,
                     [&] { peakKb = std::max(peakKb, bench::residentKb(pid)); });
    sample.start(1000);
    QTimer::singleShot(kFleetSeconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const bench::ThreadTotals after = bench::processTotals(pid);
    const double cpuPercent =
        100.0 * double(after.cpuNs - before.cpuNs) / double(bench::monoNs() - wall0);
    qsizetype slow = 0;
    for (const double ms : latencies)
        slow += ms > 50 ? 1 : 0;

    const QString what = QStringLiteral("odrad, %1 projectors x %2 clients, POWR ? every s: ")
                             .arg(kFleet)
                             .arg(kClientsEach);
    bench::Figure cpu("odrad.fleet.cpu", what + "CPU", "% core",
                      bench::Summary::single(cpuPercent));
    cpu.target = QStringLiteral("<= 5");
    cpu.met = cpuPercent <= 5;
    report.add(cpu);
    bench::Figure rss("odrad.fleet.rss", what + "peak RSS", "MB",
                      bench::Summary::single(double(peakKb) / 1024.0));
    rss.target = QStringLiteral("<= 40");
    rss.met = peakKb > 0 && peakKb <= 40 * 1024;
    report.add(rss);
    bench::Figure answer("odrad.fleet.answer", what + "answer", "ms",
                         bench::Summary::of(latencies));
    answer.target = QStringLiteral("max <= 50 (from state)");
    answer.met = !latencies.empty() && slow == 0;
    answer.note = QStringLiteral("%1 of %2 over 50 ms").arg(slow).arg(latencies.size());
    report.add(answer);

    for (auto &sim : sims)
        sim->terminate();
    for (auto &sim : sims)
        sim->waitForFinished(5000);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser cli;
    cli.addHelpOption();
    cli.addOptions({{"odrad", "The odrad to measure.", "path"},
                    {"sim", "The projector simulator.", "path"},
                    {"out", "Where the figures go (JSON).", "file"}});
    cli.process(app);
    bench::Report report;
    freshQuery(cli.value("odrad"), report);
    fleet(cli.value("odrad"), cli.value("sim"), report);
    report.printTable(stdout);
    if (!bench::writeJson(cli.value("out"), QJsonObject{{"figures", report.toJson()}}))
        return 1;
    return 0;
}
