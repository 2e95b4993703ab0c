// SPDX-License-Identifier: MIT
// Receive flood: characters pour in at the line's full speed (1920 a second at 19200 baud 8N1)
// and then at a hundred times that, with no reply window open. Beside the panel, a bare
// QSerialPort on its own thread takes the same flood on a line of its own.
#include "clock.h"
#include "far_end.h"
#include "floor_thread.h"
#include "live_panel.h"
#include "proc_stats.h"
#include "sections.h"

#include <QJsonArray>
#include <QSerialPort>

#include <atomic>
#include <cerrno>
#include <future>
#include <pthread.h>
#include <sys/prctl.h>
#include <thread>
#include <unistd.h>

namespace bench {

namespace {

// One thread writes the same chunk to every line at a steady rate, on absolute deadlines.
class FloodWriter
{
public:
    FloodWriter(std::vector<int> fds, int bytesPerSecond, int chunk, int ms) : written_(fds.size())
    {
        for (auto &w : written_)
            w = 0;
        thread_ = std::thread([=, this] { run(fds, bytesPerSecond, chunk, ms); });
    }
    ~FloodWriter() { thread_.join(); }
    qint64 written(std::size_t line) const { return written_[line]; }

private:
    void run(const std::vector<int> &fds, int bytesPerSecond, int chunk, int ms)
    {
        prctl(PR_SET_TIMERSLACK, 1UL);
        QByteArray bytes(chunk, '0');
        const qint64 step = qint64(1e9 * chunk / bytesPerSecond);
        const qint64 start = monoNs();
        const qint64 end = start + qint64(ms) * 1'000'000;
        int next = 0;
        for (qint64 due = start; due < end; due += step) {
            timespec ts{time_t(due / 1'000'000'000), long(due % 1'000'000'000)};
            while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
            }
            for (char &c : bytes) // printable, never CR: nothing to decode
                c = char('0' + (next++ % 43));
            for (std::size_t i = 0; i < fds.size(); ++i) {
                const ssize_t n = ::write(fds[i], bytes.constData(), std::size_t(chunk));
                if (n > 0)
                    written_[i] += n;
            }
        }
    }
    std::vector<std::atomic<qint64>> written_;
    std::thread thread_;
};

// Every 10 ms a thread posts a stamped call to the panel's thread; its delay is how long the
// event loop kept it waiting. Every 100 ms it notes the resident set.
class StallProbe
{
public:
    explicit StallProbe(QObject *target)
    {
        pthread_getcpuclockid(pthread_self(), &panelClock_);
        thread_ = std::thread([this, target] {
            prctl(PR_SET_TIMERSLACK, 1UL);
            qint64 lastCpu = panelCpuNs(), lastWall = monoNs();
            for (int i = 0; !stop_; ++i) {
                const qint64 posted = monoNs();
                QMetaObject::invokeMethod(
                    target, [this, posted] { delays.push_back(nsToMs(monoNs() - posted)); },
                    Qt::QueuedConnection);
                if (i % 10 == 0) {
                    const qint64 kb = residentKb();
                    std::lock_guard lock(mutex_);
                    rss.push_back(kb);
                }
                if (i % 100 == 99) { // the panel's CPU, second by second
                    const qint64 cpu = panelCpuNs(), wall = monoNs();
                    std::lock_guard lock(mutex_);
                    cpuPerSecond.push_back(100.0 * double(cpu - lastCpu) / double(wall - lastWall));
                    lastCpu = cpu;
                    lastWall = wall;
                }
                ::usleep(10000);
            }
        });
    }
    void stop()
    {
        stop_ = true;
        thread_.join();
    }
    std::vector<double> delays; // touched only on the panel's thread
    std::vector<qint64> residentKbSamples()
    {
        std::lock_guard lock(mutex_);
        return rss;
    }
    std::vector<double> cpuPercentPerSecond()
    {
        std::lock_guard lock(mutex_);
        return cpuPerSecond;
    }

private:
    qint64 panelCpuNs() const
    {
        timespec ts{};
        clock_gettime(panelClock_, &ts);
        return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
    }
    clockid_t panelClock_{};
    std::vector<double> cpuPerSecond;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<qint64> rss;
    std::thread thread_;
};

// The floor's CPU time: a bare QSerialPort that reads and drops everything.
struct BareReceiver
{
    FarEnd line;
    FloorThread thread;
    QSerialPort *port = nullptr;

    bool open()
    {
        std::promise<bool> opened;
        thread.post([this, &opened] {
            port = new QSerialPort(line.devicePath(), thread.context());
            const bool ok = port->open(QIODevice::ReadOnly) && port->setBaudRate(19200);
            port->setReadBufferSize(0);
            QObject::connect(port, &QSerialPort::readyRead, port, [this] { port->readAll(); });
            opened.set_value(ok);
        });
        return opened.get_future().get();
    }
    qint64 cpuNs()
    {
        std::promise<qint64> cpu;
        thread.post([&cpu] { cpu.set_value(threadCpuNs()); });
        return cpu.get_future().get();
    }
};

void phase(Bench &b, BareReceiver &floor, int rate, int chunk, int ms, bool held)
{
    const PanelSession &session = *b.panel.session;
    // No reply window open, no display clear pending: the state the flood is about.
    for (int i = 0;
         i < 60 && (session.replyWindow().isEnabled() || session.displayClear().isEnabled()); ++i)
        runEventLoop(50);

    qint64 notifications = 0;
    const auto conn = QObject::connect(&b.panel.line, &Line::readyRead, [&] { ++notifications; });
    const qint64 rss0 = residentKb();
    const qint64 cpu0 = threadCpuNs(), floorCpu0 = floor.cpuNs(), t0 = monoNs();
    StallProbe probe(b.control("receive-line"));
    qint64 delivered = 0;
    {
        FloodWriter writer({b.far.masterFd(), floor.line.masterFd()}, rate, chunk, ms);
        runEventLoop(ms + 30);
        delivered = writer.written(0);
    }
    probe.stop();
    runEventLoop(20); // the probe's last calls
    const qint64 t1 = monoNs(), cpu1 = threadCpuNs(), floorCpu1 = floor.cpuNs();
    QObject::disconnect(conn);
    const double wall = double(t1 - t0);
    auto rss = probe.residentKbSamples();
    rss.push_back(residentKb());
    const qint64 rssMax = *std::max_element(rss.begin(), rss.end());

    const QString name = QStringLiteral("flood %1 B/s").arg(rate);
    const QString key = QStringLiteral("flood.%1").arg(rate);
    Figure cpu;
    cpu.key = key + ".cpu";
    cpu.label = name + QStringLiteral(": CPU of the panel's thread");
    cpu.unit = "% core";
    cpu.value = Summary::single(100.0 * double(cpu1 - cpu0) / wall);
    cpu.floor = Summary::single(100.0 * double(floorCpu1 - floorCpu0) / wall);
    cpu.floorLabel = "bare QSerialPort reading the same flood on its own thread and line";
    if (held) {
        cpu.target = "<= 5";
        cpu.met = cpu.value.median <= 5;
    }
    QJsonArray perSecond;
    for (double v : probe.cpuPercentPerSecond())
        perSecond.append(v);
    cpu.extra.insert("per_second", perSecond);
    cpu.note = QStringLiteral("%1 s, %2 bytes delivered in chunks of %3, %4 notifications")
                   .arg(ms / 1000.0)
                   .arg(delivered)
                   .arg(chunk)
                   .arg(notifications);
    b.report.add(cpu);

    Figure stall;
    stall.key = key + ".stall";
    stall.label = name + QStringLiteral(": event loop delay, probe/10 ms");
    stall.unit = "ms";
    stall.value = Summary::of(probe.delays);
    stall.target = "max <= 20";
    stall.met = stall.value.n > 0 && stall.value.max <= 20;
    b.report.add(stall);

    Figure mem;
    mem.key = key + ".rss_growth";
    mem.label = name + QStringLiteral(": resident set growth");
    mem.unit = "MB";
    mem.value = Summary::single(double(rssMax - rss0) / 1024.0);
    mem.target = "<= 1 (flat)";
    mem.met = rssMax - rss0 <= 1024;
    mem.note = QStringLiteral("RSS %1 MB at the start, at most %2 MB, %3 MB at the end")
                   .arg(rss0 / 1024.0, 0, 'f', 1)
                   .arg(rssMax / 1024.0, 0, 'f', 1)
                   .arg(rss.back() / 1024.0, 0, 'f', 1);
    b.report.add(mem);
}

} // namespace

void measureFlood(Bench &b)
{
    BareReceiver floor;
    if (!floor.open())
        qWarning("bench: the floor's serial port did not open");
    // One character at a time, as a UART hands them over at 19200 baud; then a hundred times
    // the rate, in chunks of a hundred at the same pace of wake-ups.
    phase(b, floor, 1920, 1, b.floodSeconds * 1000, true);
    phase(b, floor, 192000, 100, 5000, false);
}

} // namespace bench
