// SPDX-License-Identifier: MIT
// Latency: a click to its first byte on the line, and a reply on the line to the status line
// that shows it. Each beside its own floor, sample by sample.
#include "clock.h"
#include "far_end.h"
#include "live_panel.h"
#include "protocol/catalogue.h"
#include "sections.h"

#include "floor_thread.h"

#include <QSerialPort>
#include <QtTest>

#include <atomic>
#include <future>
#include <unistd.h>

namespace bench {

namespace {

constexpr int kClickRounds = 150;
constexpr int kReplyRounds = 100;

const protocol::Command &command(const char *name)
{
    const protocol::Command *c = protocol::findCommand(name);
    if (!c)
        qFatal("no command %s", name);
    return *c;
}

// Milliseconds from t0 to the first byte that arrives at the far end after it, or -1.
double toWire(FarEnd &far, qint64 t0)
{
    if (!far.waitForCount(4, 500))
        return -1;
    const auto cmds = far.commands();
    return cmds.empty() ? -1 : nsToMs(cmds.front().ns - t0);
}

void keep(std::vector<double> &samples, double v)
{
    if (v >= 0)
        samples.push_back(v);
}

void clickToWire(Bench &b)
{
    const protocol::Command &on = command("power-on"); // POWER "ON"
    QWidget *button = b.control("power-on");
    FarEnd floorLine;
    std::vector<double> click, release, direct, raw;
    for (int i = 0; i < kClickRounds; ++i) {
        // A few milliseconds apart, off any beat of the panel's own timers.
        runEventLoop(3 + i % 3);
        b.far.clear();
        qint64 t0 = monoNs();
        QTest::mouseClick(button, Qt::LeftButton);
        keep(click, toWire(b.far, t0));

        // The press alone repaints the button at once (a sunken look); the command goes out on
        // the release, which is what the operator waits for.
        runEventLoop(3);
        b.far.clear();
        QTest::mousePress(button, Qt::LeftButton);
        runEventLoop(1);
        t0 = monoNs();
        QTest::mouseRelease(button, Qt::LeftButton);
        keep(release, toWire(b.far, t0));

        runEventLoop(3);
        b.far.clear();
        t0 = monoNs();
        b.panel.session->send(on);
        keep(direct, toWire(b.far, t0));

        // The line itself: the same four bytes written straight to a pseudo-terminal.
        floorLine.clear();
        t0 = monoNs();
        [[maybe_unused]] const ssize_t n = ::write(floorLine.deviceFd(), "C00\r", 4);
        keep(raw, toWire(floorLine, t0));
    }

    Figure f("click_to_wire.click", "click ON -> first byte on the line", "ms", Summary::of(click));
    f.floor = Summary::of(raw);
    f.floorLabel = "write(2) of the same bytes to a pseudo-terminal, same rounds";
    f.target = "median <= 0.5";
    f.met = f.value.n >= kClickRounds / 2 && f.value.median <= 0.5;
    b.report.add(f);

    b.report.add(
        f.sibling("click_to_wire.release", "release of ON -> first byte", Summary::of(release)));

    Figure d = f.sibling("click_to_wire.handler", "ON handler called directly -> first byte",
                         Summary::of(direct));
    d.note = "the click minus this: the synthesised mouse events and the press's repaint";
    b.report.add(d);
}

// The status line's paint, seen as it begins.
class PaintWatch final : public QObject
{
public:
    QString wanted;
    qint64 paintedNs = 0;
    QEventLoop *loop = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && paintedNs == 0 &&
            static_cast<PanelLabel *>(watched)->text() == wanted) {
            paintedNs = monoNs();
            if (loop)
                loop->quit();
        }
        return false;
    }
};

// The floor of a reply: a bare QSerialPort on its own thread and its own line, stamping the
// moment its readyRead hands over the bytes the far end wrote.
struct SerialFloor
{
    FarEnd line;
    FloorThread thread;
    std::atomic<qint64> readNs{0};
    std::atomic<qsizetype> got{0};

    bool open()
    {
        std::promise<bool> opened;
        thread.post([this, &opened] {
            auto *port = new QSerialPort(line.devicePath(), thread.context());
            const bool ok = port->open(QIODevice::ReadWrite) && port->setBaudRate(19200);
            QObject::connect(port, &QSerialPort::readyRead, port, [this, port] {
                got += port->readAll().size();
                if (got >= 3 && readNs == 0)
                    readNs = monoNs();
            });
            opened.set_value(ok);
        });
        return opened.get_future().get();
    }
    // Milliseconds from the far end's write of "80" CR to the floor's readyRead, or -1.
    double round()
    {
        readNs = 0;
        got = 0;
        const qint64 t0 = monoNs();
        [[maybe_unused]] const ssize_t n = ::write(line.masterFd(), "80\r", 3);
        for (int i = 0; i < 100 && readNs == 0; ++i)
            runEventLoop(1);
        return readNs ? nsToMs(readNs - t0) : -1;
    }
};

void replyToStatusLine(Bench &b)
{
    PanelSession &session = *b.panel.session;
    auto *statusLine = qobject_cast<PanelLabel *>(b.control("status-line"));
    if (!statusLine)
        qFatal("the status line is not a PanelLabel");
    const protocol::Command &status = command("status"); // STATUS, "CR0"
    const QString standBy = QStringLiteral(" Stand by");
    PaintWatch watch;
    watch.wanted = standBy;
    statusLine->installEventFilter(&watch);
    // The session says so last in its receive handler, after the window has set the label.
    qint64 textNs = 0;
    const auto conn =
        QObject::connect(&session, &PanelSession::statusLineChanged, [&](const QString &line) {
            if (textNs == 0 && line == standBy && statusLine->text() == standBy)
                textNs = monoNs();
        });
    b.far.setAutoReply("CR0\r", "80\r");

    SerialFloor floor;
    const bool floorOpen = floor.open();
    std::vector<double> text, painted, bare;
    for (int i = 0; i < kReplyRounds; ++i) {
        statusLine->setText(QString());
        runEventLoop(3 + i % 3);
        b.far.clear();
        textNs = 0;
        watch.paintedNs = 0;
        QEventLoop loop;
        watch.loop = &loop;
        QTimer::singleShot(500, &loop, &QEventLoop::quit);
        session.send(status);
        if (watch.paintedNs == 0)
            loop.exec();
        watch.loop = nullptr;
        const auto replies = b.far.replyTimes();
        if (replies.empty() || textNs == 0 || watch.paintedNs == 0)
            continue;
        text.push_back(nsToMs(textNs - replies.front()));
        painted.push_back(nsToMs(watch.paintedNs - replies.front()));
        if (floorOpen)
            keep(bare, floor.round());
    }
    b.far.setAutoReply({}, {});
    QObject::disconnect(conn);
    statusLine->removeEventFilter(&watch);

    Figure f("reply_to_status.painted", "reply \"80\" CR -> \" Stand by\" painted", "ms",
             Summary::of(painted));
    f.floor = Summary::of(bare);
    f.floorLabel = "bare QSerialPort readyRead on its own thread and line, same rounds";
    f.target = "median <= 1";
    f.met = f.value.n >= kReplyRounds / 2 && f.value.median <= 1;
    b.report.add(f);

    b.report.add(f.sibling("reply_to_status.text", "reply \"80\" CR -> status line text set",
                           Summary::of(text)));
}

} // namespace

void measureLatency(Bench &b)
{
    clickToWire(b);
    replyToStatusLine(b);
}

} // namespace bench
