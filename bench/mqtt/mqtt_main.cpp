// SPDX-License-Identifier: MIT
// odra-bench-mqtt: odrad's MQTT face through a real loopback broker. A command published by a
// client to its first byte at the projector's end; a state change at the projector (the end of
// its reply) to the retained topic at a subscriber; and odrad's cost with hundreds of simulated
// projectors. The floor is one message through the same broker, publisher to subscriber.
// Writes its figures as JSON for odra-bench to print with the rest.
#include "clock.h"
#include "far_end.h"
#include "mosquitto_process.h"
#include "proc_stats.h"
#include "projector_sim_process.h"
#include "report.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

#include <mosquitto.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

// An independent client on libmosquitto's own thread, stamping every message as it arrives.
class Client
{
public:
    struct Message
    {
        QByteArray topic, payload;
        qint64 ns;
    };

    explicit Client(quint16 port)
    {
        mosquitto_lib_init();
        mosq_ = mosquitto_new(nullptr, true, this);
        // As odrad and the broker do: no wait for the delayed ACK of a message just sent.
        mosquitto_int_option(mosq_, MOSQ_OPT_TCP_NODELAY, 1);
        mosquitto_message_callback_set(
            mosq_, [](mosquitto *, void *self, const mosquitto_message *m) {
                const qint64 now = bench::monoNs();
                auto *c = static_cast<Client *>(self);
                std::lock_guard lock(c->mutex_);
                c->messages_.push_back(
                    {QByteArray(m->topic),
                     QByteArray(static_cast<const char *>(m->payload), m->payloadlen), now});
                c->arrived_.notify_all();
            });
        ok_ = mosquitto_connect(mosq_, "127.0.0.1", port, 60) == MOSQ_ERR_SUCCESS &&
              mosquitto_loop_start(mosq_) == MOSQ_ERR_SUCCESS;
    }
    ~Client()
    {
        mosquitto_disconnect(mosq_);
        mosquitto_loop_stop(mosq_, true);
        mosquitto_destroy(mosq_);
        mosquitto_lib_cleanup();
    }
    bool ok() const { return ok_; }
    void subscribe(const char *filter) { mosquitto_subscribe(mosq_, nullptr, filter, 1); }
    void publish(const char *topic, const QByteArray &payload)
    {
        mosquitto_publish(mosq_, nullptr, topic, int(payload.size()), payload.constData(), 1,
                          false);
    }
    // The first message from index from on topic with payload; waits up to timeoutMs.
    std::optional<Message> waitFor(const QByteArray &topic, const QByteArray &payload, size_t from,
                                   int timeoutMs)
    {
        std::unique_lock lock(mutex_);
        std::optional<Message> found;
        arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            for (size_t i = from; i < messages_.size(); ++i) {
                if (messages_[i].topic == topic && messages_[i].payload == payload) {
                    found = messages_[i];
                    return true;
                }
            }
            return false;
        });
        return found;
    }
    size_t count()
    {
        std::lock_guard lock(mutex_);
        return messages_.size();
    }
    std::vector<Message> since(size_t from)
    {
        std::lock_guard lock(mutex_);
        return {messages_.begin() + qsizetype(qMin(from, messages_.size())), messages_.end()};
    }

private:
    mosquitto *mosq_ = nullptr;
    bool ok_ = false;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Message> messages_;
};

QList<quint16> freePorts(int count)
{
    std::vector<std::unique_ptr<QTcpServer>> probes;
    QList<quint16> ports;
    for (int i = 0; i < count; ++i) {
        probes.push_back(std::make_unique<QTcpServer>());
        if (!probes.back()->listen(QHostAddress::LocalHost, 0))
            return {};
        ports << probes.back()->serverPort();
    }
    return ports;
}

// odrad on a configuration of its own, its log in the same folder.
struct Odrad
{
    QTemporaryDir dir;
    QProcess process;

    bool start(const QString &odrad, const QStringList &devices, quint16 brokerPort,
               const QString &projectorKeys, const QString &discovery)
    {
        const QList<quint16> ports = freePorts(int(devices.size()));
        if (ports.size() != devices.size())
            return false;
        QString config;
        for (qsizetype i = 0; i < devices.size(); ++i)
            config += QStringLiteral("[p%1]\ndevice = %2\npjlink-listen = 127.0.0.1:%3\n%4\n")
                          .arg(i + 1)
                          .arg(devices.at(i))
                          .arg(ports.at(i))
                          .arg(projectorKeys);
        if (brokerPort != 0)
            config += QStringLiteral("[mqtt]\nbroker = mqtt://127.0.0.1:%1\nhost-id = bench\n"
                                     "discovery = %2\n")
                          .arg(brokerPort)
                          .arg(discovery);
        QFile file(dir.filePath(QStringLiteral("odrad.conf")));
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write(config.toUtf8());
        file.close();
        process.setStandardErrorFile(dir.filePath(QStringLiteral("odrad.log")));
        process.start(odrad, {QStringLiteral("--config"), file.fileName()});
        return process.waitForStarted(5000);
    }
    ~Odrad()
    {
        process.terminate();
        if (!process.waitForFinished(10000))
            process.kill();
    }
};

std::vector<double> floorRoundTrips(Client &client, int rounds)
{
    client.subscribe("bench/echo");
    QThread::msleep(200);
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        const QByteArray payload = QByteArray::number(i);
        const size_t from = client.count();
        const qint64 t0 = bench::monoNs();
        client.publish("bench/echo", payload);
        if (const auto m = client.waitFor("bench/echo", payload, from, 5000))
            ms.push_back(bench::nsToMs(m->ns - t0));
    }
    return ms;
}

// Part one: one projector played by a far end that answers every query at once.
void latency(const QString &odrad, bench::Report &report)
{
    MosquittoProcess broker;
    bench::FarEnd far;
    if (!broker.start() || !far.isValid()) {
        std::fprintf(stderr, "odra-bench-mqtt: no broker or no pseudo-terminal\n");
        return;
    }
    far.addAutoReply("CR0\r", "80\r");
    far.addAutoReply("CR1\r", "1\r");
    far.addAutoReply("CR3\r", "01234\r");
    far.addAutoReply("CRA\r", "00\r");
    far.addAutoReply("C1D\r", "\x06");
    Client client(broker.port());
    client.subscribe("odra/#");
    Odrad d;
    // Polled only on demand: the line is free whenever a command comes. The first answer makes
    // the projector available.
    const bool up = client.ok() &&
                    d.start(odrad, {far.devicePath()}, broker.port(),
                            "poll-status = 0\npoll-lamp = 0\n", "off") &&
                    client.waitFor("odra/p1/owner", "bench", 0, 20000) &&
                    (client.publish("odra/p1/press", "status"),
                     client.waitFor("odra/p1/availability", "online", 0, 20000));
    if (!up) {
        std::fprintf(stderr, "odra-bench-mqtt: odrad did not come up; its log is in %s\n",
                     qPrintable(d.dir.path()));
        d.dir.setAutoRemove(false);
        return;
    }
    QThread::msleep(500);

    const std::vector<double> floor = floorRoundTrips(client, 200);

    std::vector<double> command;
    for (int i = 0; i < 200; ++i) {
        far.clear();
        const qint64 t0 = bench::monoNs();
        client.publish("odra/p1/press", "menu-off");
        if (!far.waitForCount(4, 5000))
            continue;
        command.push_back(bench::nsToMs(far.commands().front().ns - t0));
        QThread::msleep(20); // its ACK taken, the line idle again
    }

    std::vector<double> state;
    for (int i = 0; i < 100; ++i) {
        const bool on = i % 2 == 0;
        far.addAutoReply("CR0\r", on ? "00\r" : "80\r");
        const size_t from = client.count();
        client.publish("odra/p1/press", "status");
        const auto m = client.waitFor("odra/p1/power-state", on ? "on" : "standby", from, 5000);
        const std::vector<qint64> replies = far.replyTimes();
        if (m && !replies.empty())
            state.push_back(bench::nsToMs(m->ns - replies.back()));
    }

    bench::Figure cmd("mqtt.command.first-byte", "MQTT command -> first byte at projector", "ms",
                      bench::Summary::of(command));
    cmd.floor = bench::Summary::of(floor);
    cmd.floorLabel = "one message through the broker";
    cmd.target = "median <= 5";
    cmd.met = cmd.value.median <= 5;
    report.add(cmd);
    bench::Figure st = cmd.sibling("mqtt.state.to-subscriber",
                                   "projector reply end -> retained topic at subscriber",
                                   bench::Summary::of(state));
    st.target = "median <= 5";
    st.met = st.value.median <= 5;
    report.add(st);
}

// odrad's CPU (% of a core) and peak RSS (kB) over seconds, once it runs steadily.
struct Cost
{
    double cpuPercent = -1;
    qint64 peakKb = 0;
};
Cost measure(pid_t pid, int seconds)
{
    const bench::ThreadTotals before = bench::processTotals(pid);
    const qint64 t0 = bench::monoNs();
    Cost c;
    for (int s = 0; s < seconds; ++s) {
        QThread::msleep(1000);
        c.peakKb = qMax(c.peakKb, bench::residentKb(pid));
    }
    const bench::ThreadTotals after = bench::processTotals(pid);
    c.cpuPercent = 100.0 * double(after.cpuNs - before.cpuNs) / double(bench::monoNs() - t0);
    return c;
}

// Part two: count simulated projectors in one process, one odrad, one broker, polled every
// 10 s; odrad's CPU and memory and the broker's traffic once everything is up, beside the same
// odrad on the same projectors without MQTT.
void scale(const QString &odrad, int count, int seconds, bench::Report &report)
{
    MosquittoProcess broker;
    ProjectorSimProcess sims;
    if (!broker.start() || !sims.start({"--count", QString::number(count)}, count)) {
        std::fprintf(stderr, "odra-bench-mqtt: no broker or no %d simulators\n", count);
        return;
    }
    constexpr unsigned long kSettleMs = 12000; // every projector polled once more since it came up
    Cost without;
    {
        Odrad d;
        if (!d.start(odrad, sims.devicePaths(), 0, "poll-status = 10\n", {})) {
            std::fprintf(stderr, "odra-bench-mqtt: odrad did not start\n");
            return;
        }
        QThread::msleep(kSettleMs + 8000);
        without = measure(pid_t(d.process.processId()), seconds);
    }

    Client client(broker.port());
    client.subscribe("odra/#");
    Odrad d;
    if (!client.ok() ||
        !d.start(odrad, sims.devicePaths(), broker.port(), "poll-status = 10\n", "homeassistant")) {
        std::fprintf(stderr, "odra-bench-mqtt: odrad did not start\n");
        return;
    }
    const qint64 t0 = bench::monoNs();
    const QByteArray lastTopic = QStringLiteral("odra/p%1/availability").arg(count).toUtf8();
    if (!client.waitFor(lastTopic, "online", 0, 180000)) {
        std::fprintf(stderr, "odra-bench-mqtt: %d projectors not online within 180 s\n", count);
        return;
    }
    const double upMs = bench::nsToMs(bench::monoNs() - t0);
    QThread::msleep(kSettleMs);
    const size_t from = client.count();
    const qint64 w0 = bench::monoNs();
    const Cost with = measure(pid_t(d.process.processId()), seconds);
    const double windowS = double(bench::monoNs() - w0) / 1e9;
    const auto messages = client.since(from);

    const QString label = QStringLiteral("%1 projectors on MQTT: ").arg(count);
    bench::Figure cpu(QStringLiteral("mqtt.fleet.%1.cpu").arg(count), label + "odrad CPU", "% core",
                      bench::Summary::single(with.cpuPercent));
    cpu.floor = bench::Summary::single(without.cpuPercent);
    cpu.floorLabel = "the same odrad without [mqtt]";
    cpu.target = "<= 10";
    cpu.met = cpu.value.median <= 10;
    cpu.note = QStringLiteral("all online on MQTT %1 s after start").arg(upMs / 1000, 0, 'f', 1);
    report.add(cpu);
    bench::Figure rss(QStringLiteral("mqtt.fleet.%1.rss").arg(count), label + "odrad peak RSS",
                      "MB", bench::Summary::single(double(with.peakKb) / 1024));
    rss.floor = bench::Summary::single(double(without.peakKb) / 1024);
    rss.floorLabel = cpu.floorLabel;
    rss.target = "<= 100";
    rss.met = rss.value.median <= 100;
    report.add(rss);
    bench::Figure traffic(QStringLiteral("mqtt.fleet.%1.messages").arg(count),
                          label + "broker messages, steady", "msg/s",
                          bench::Summary::single(double(messages.size()) / windowS));
    traffic.target = "only on change";
    report.add(traffic);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser cli;
    cli.addHelpOption();
    cli.addOptions({{"odrad", "odrad to measure.", "path"},
                    {"count", "Simulated projectors for the fleet (default 500).", "n", "500"},
                    {"seconds", "Length of the fleet's steady window (default 30).", "s", "30"},
                    {"out", "Write the figures as JSON here; else print the table.", "file"}});
    cli.process(app);
    if (!cli.isSet("odrad") || !MosquittoProcess::available()) {
        std::fprintf(stderr, "odra-bench-mqtt: needs --odrad, mosquitto and mosquitto-clients\n");
        return 1;
    }
    bench::Report report;
    latency(cli.value("odrad"), report);
    scale(cli.value("odrad"), cli.value("count").toInt(), cli.value("seconds").toInt(), report);
    if (!cli.isSet("out")) {
        report.printTable(stdout);
    } else if (!bench::writeJson(cli.value("out"), QJsonObject{{"figures", report.toJson()}})) {
        return 1;
    }
    return report.figures().empty() ? 1 : 0;
}
