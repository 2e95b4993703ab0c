// SPDX-License-Identifier: MIT
// One command to one port, and a fleet of them, on the manual clock and the fake line: when the
// run ends (the reply's end, the window, the timeout, a hold's release), what it reports, and
// that the port is closed behind it. Every time is exact.
#include "cli/fleet.h"
#include "cli/port_run.h"
#include "fake_line.h"
#include "manual_clock.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

const QByteArray kAck(1, 0x06);
using Outcome = PortRun::Outcome;
using Replies = QList<QPair<int, QByteArray>>; // at ms, bytes

Request requestFor(const QString &what)
{
    Request r;
    if (what.startsWith(QLatin1String("send:")))
        r.text = what.mid(5);
    else
        r.command = protocol::findCommand(what.toStdString());
    return r;
}

// A run on its own fake line, started at 0 ms.
struct Run
{
    ManualClock clock;
    FakeLine *line = nullptr;
    std::unique_ptr<PortRun> run;

    explicit Run(const Request &request, const QString &port = QStringLiteral("/dev/fake"),
                 const std::function<void(FakeLine &)> &before = {})
    {
        auto owned = std::make_unique<FakeLine>(&clock);
        line = owned.get();
        if (before)
            before(*line);
        run = std::make_unique<PortRun>(clock, std::move(owned), port, request);
        run->start();
        settle();
    }

    // The close that ends a run, and a fleet's next start, are handed to the event loop.
    static void settle()
    {
        for (int i = 0; i < 10; ++i)
            QCoreApplication::processEvents();
    }

    void at(qint64 ms)
    {
        clock.advanceTo(ms);
        settle();
    }
    void replyAt(qint64 ms, const QByteArray &bytes)
    {
        at(ms);
        line->receive(bytes);
        settle();
    }
    // The projector acknowledges every command ackMs after it, until untilMs.
    void acknowledgeUntil(qint64 untilMs, int ackMs)
    {
        qsizetype acked = 0;
        for (qint64 t = clock.nowMs(); t <= untilMs; ++t) {
            at(t);
            if (acked < line->writes.size() && line->writes[acked].atMs + ackMs == t) {
                line->receive(kAck);
                settle();
                ++acked;
            }
        }
    }
    const PortRun::Result &result() const { return run->result(); }
    QList<qint64> sendTimes() const
    {
        QList<qint64> out;
        for (const auto &w : line->writes)
            out << w.atMs;
        return out;
    }
};

} // namespace

class PortRunTest : public QObject
{
    Q_OBJECT
private slots:
    void endOfTheReply_data();
    void endOfTheReply();
    void hold_data();
    void hold();
    void silentHold();
    void stopDuringHold();
    void missingDevice();
    void comPortsAsThePanelMapsThem();
    void slowerSpeedBeforeTheSend();
    void lineLostWhileWaiting();
    void writeRefused();
    void fleetPrintsInOrder();
};

void PortRunTest::endOfTheReply_data()
{
    QTest::addColumn<QString>("command"); // a name, or "send:" and the typed text
    QTest::addColumn<int>("timeout");
    QTest::addColumn<Replies>("replies");
    QTest::addColumn<int>("endsAt");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("status"); // empty: nothing decoded
    QTest::addColumn<bool>("complete");

    using R = Replies;
    const int answered = int(Outcome::Answered), silent = int(Outcome::NoReply);
    QTest::newRow("query, whole reply")
        << "status" << 0 << R{{30, "80\r"}} << 30 << answered << "Stand by" << true;
    QTest::newRow("query, reply in pieces")
        << "status" << 0 << R{{10, "8"}, {20, "0\r"}} << 20 << answered << "Stand by" << true;
    QTest::newRow("query, nothing") << "status" << 0 << R{} << 500 << silent << "" << false;
    // What never became a whole answer is no answer.
    QTest::newRow("query, half a reply")
        << "status" << 0 << R{{10, "8"}} << 500 << silent << "" << false;
    QTest::newRow("control command, lone ACK")
        << "power-off" << 0 << R{{15, kAck}} << 15 << answered << "" << true;
    QTest::newRow("two ACKs are no lone ACK")
        << "power-off" << 0 << R{{15, kAck + kAck}} << 500 << silent << "" << false;
    QTest::newRow("terminal waits 5 s")
        << "terminal-1-rgb" << 0 << R{{4900, kAck}} << 4900 << answered << "" << true;
    QTest::newRow("P-FAIL is shown, not decoded")
        << "p-fail" << 0 << R{{20, "00\r"}} << 20 << answered << "" << true;
    QTest::newRow("typed query") << "send:CR PRESSURE" << 0 << R{{40, "512\r"}} << 40 << answered
                                 << "650 hPa" << true;
    QTest::newRow("typed, nothing") << "send:XYZ" << 0 << R{} << 2000 << silent << "" << false;
    QTest::newRow("timeout shorter than the window")
        << "status" << 100 << R{{150, "80\r"}} << 100 << silent << "" << false;
    // The session's own window ends at 500 ms and starts its buffer anew; the reply is still
    // read whole, so "0" CR alone is never taken for " Power ON".
    QTest::newRow("timeout longer than the window")
        << "status" << 2000 << R{{450, "8"}, {700, "0\r"}} << 700 << answered << "Stand by" << true;
}

void PortRunTest::endOfTheReply()
{
    QFETCH(QString, command);
    QFETCH(int, timeout);
    QFETCH(Replies, replies);
    QFETCH(int, endsAt);
    QFETCH(int, outcome);
    QFETCH(QString, status);
    QFETCH(bool, complete);

    Request request = requestFor(command);
    request.timeoutMs = timeout;
    Run r(request);
    for (const auto &[ms, bytes] : replies) {
        r.at(ms);
        if (!r.run->isDone()) {
            r.line->receive(bytes);
            Run::settle();
        }
    }
    r.at(10000);

    QVERIFY(r.run->isDone());
    QVERIFY(!r.line->isOpen());
    QCOMPARE(r.result().elapsedMs, endsAt);
    QCOMPARE(int(r.result().outcome), outcome);
    QCOMPARE(r.result().status.value_or(QString()), status);
    QCOMPARE(r.result().complete, complete);
    // Exactly one command went out, at once.
    QCOMPARE(r.sendTimes(), QList<qint64>{0});
    QCOMPARE(r.result().sends, 1);
    QCOMPARE(r.result().sent, r.line->writes.value(0).bytes);
}

void PortRunTest::hold_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("holdMs");
    QTest::addColumn<QList<qint64>>("sends");
    QTest::addColumn<int>("endsAt"); // each send is acknowledged 4 ms after it

    // The panel's own rhythm: the press's send, then one a period until the release, which
    // comes just after the time asked for.
    QTest::newRow("volume up, 1 s")
        << "volume-up" << 1000 << QList<qint64>{0, 250, 500, 750, 1000} << 1004;
    QTest::newRow("zoom in, 0.3 s") << "zoom-in" << 300 << QList<qint64>{0, 150, 300} << 304;
    QTest::newRow("menu arrow as started")
        << "menu-left" << 600 << QList<qint64>{0, 200, 400, 600} << 604;
    QTest::newRow("ENTER, released between repeats")
        << "menu-enter" << 1200 << QList<qint64>{0, 500, 1000} << 1200;
    QTest::newRow("released just before a repeat")
        << "volume-down" << 499 << QList<qint64>{0, 250} << 499;
    QTest::newRow("pressed and released at once") << "volume-up" << 0 << QList<qint64>{0} << 4;
}

void PortRunTest::hold()
{
    QFETCH(QString, command);
    QFETCH(int, holdMs);
    QFETCH(QList<qint64>, sends);
    Request request = requestFor(command);
    request.holdMs = holdMs;
    Run r(request);
    r.acknowledgeUntil(3000, 4);

    QCOMPARE(r.sendTimes(), sends);
    QCOMPARE(r.result().sends, sends.size());
    QVERIFY(r.run->isDone());
    QVERIFY(!r.line->isOpen());
    QCOMPARE(r.result().outcome, Outcome::Answered);
    // Done when the button is up and the last send's ACK is in.
    QTEST(int(r.result().elapsedMs), "endsAt");
    QCOMPARE(r.result().reply, kAck.repeated(sends.size()));
    QVERIFY(r.result().complete);
}

// A held button on a silent line waits out its own reply window after the last send: 200 ms
// for the volume, 500 ms for a menu arrow as the panel starts.
void PortRunTest::silentHold()
{
    for (const auto &[name, holdMs, endsAt] :
         {std::tuple{"volume-up", 1000, 1200}, std::tuple{"volume-up", 0, 200},
          std::tuple{"menu-up", 0, 500}, std::tuple{"zoom-out", 100, 150}}) {
        Request request = requestFor(QString::fromLatin1(name));
        request.holdMs = holdMs;
        Run r(request);
        r.at(5000);
        QVERIFY2(r.run->isDone(), name);
        QCOMPARE(r.result().outcome, Outcome::NoReply);
        QCOMPARE(r.result().elapsedMs, endsAt);
    }
}

void PortRunTest::stopDuringHold()
{
    Request request = requestFor(QStringLiteral("zoom-in"));
    request.holdMs = 10000;
    Run r(request);
    r.at(320);
    r.run->stop();
    QVERIFY(r.run->isDone());
    QVERIFY(!r.line->isOpen());
    QCOMPARE(r.run->session().held(), nullptr);
    r.at(2000);
    QCOMPARE(r.sendTimes(), QList<qint64>({0, 150, 300}));
    QCOMPARE(r.result().outcome, Outcome::Stopped);
    QVERIFY(!r.result().complete);
    QVERIFY(!r.result().error.isEmpty());
}

void PortRunTest::missingDevice()
{
    const QString device = QStringLiteral("/dev/fake-gone");
    Run r(requestFor(QStringLiteral("status")), device,
          [&](FakeLine &line) { line.missing << device; });
    QVERIFY(r.run->isDone());
    QCOMPARE(r.result().outcome, Outcome::NotOpened);
    QCOMPARE(r.result().exitStatus(), 2);
    QVERIFY(r.line->writes.isEmpty());
    QCOMPARE(r.result().elapsedMs, -1);
    // The panel's warning, naming the device and how to give another.
    QVERIFY2(r.result().error.contains(device), qPrintable(r.result().error));
    QVERIFY2(r.result().error.contains(QLatin1String("command line")),
             qPrintable(r.result().error));
}

void PortRunTest::comPortsAsThePanelMapsThem()
{
    qputenv("ODRA_COM2", "/dev/fake-second");
    Run r(requestFor(QStringLiteral("power-on")), QStringLiteral("COM2"),
          [](FakeLine &line) { line.missing << QStringLiteral("/dev/fake-second"); });
    qunsetenv("ODRA_COM2");
    QCOMPARE(r.result().device, QStringLiteral("/dev/fake-second"));
    QCOMPARE(r.line->calls.value(0), QStringLiteral("open /dev/fake-second 19200,N,8,1"));
    // Named as the panel names it, with the variable that chooses it.
    QVERIFY2(r.result().error.startsWith(QLatin1String("COM2 (/dev/fake-second)")),
             qPrintable(r.result().error));
    QVERIFY2(r.result().error.contains(QLatin1String("ODRA_COM2")), qPrintable(r.result().error));
}

void PortRunTest::slowerSpeedBeforeTheSend()
{
    Request request = requestFor(QStringLiteral("status"));
    request.baud = 9600;
    qint32 baudAtSend = 0;
    ManualClock clock;
    auto owned = std::make_unique<FakeLine>(&clock);
    FakeLine *line = owned.get();
    PortRun run(clock, std::move(owned), QStringLiteral("/dev/fake"), request);
    connect(&run.session(), &PanelSession::sent, this, [&] { baudAtSend = line->settings().baud; });
    run.start();
    Run::settle();
    QCOMPARE(baudAtSend, 9600);
    QCOMPARE(line->writes.size(), 1);
}

void PortRunTest::lineLostWhileWaiting()
{
    Run r(requestFor(QStringLiteral("status")));
    r.replyAt(50, "8");
    r.at(100);
    r.line->loseLine(QStringLiteral("the adapter was removed"));
    Run::settle();
    QVERIFY(r.run->isDone());
    QCOMPARE(r.result().outcome, Outcome::NoReply);
    QCOMPARE(r.result().elapsedMs, 100);
    QCOMPARE(r.result().reply, QByteArray("8"));
    QVERIFY2(r.result().error.contains(QLatin1String("the adapter was removed")),
             qPrintable(r.result().error));
}

void PortRunTest::writeRefused()
{
    Run r(requestFor(QStringLiteral("status")), QStringLiteral("/dev/fake"),
          [](FakeLine &line) { line.failNextWrite = true; });
    QVERIFY(r.run->isDone());
    QCOMPARE(r.result().outcome, Outcome::NoReply);
    QCOMPARE(r.result().sends, 0);
    QVERIFY2(r.result().error.contains(QLatin1String("write failed")),
             qPrintable(r.result().error));
}

// Answers are printed in the order the ports were given, each once it and those before it are
// in; the exit status is the highest.
void PortRunTest::fleetPrintsInOrder()
{
    ManualClock clock;
    QList<FakeLine *> lines;
    QList<QByteArray> printed;
    int finishedWith = -1;
    Fleet fleet(
        clock, {"/dev/a", "/dev/b", "/dev/c"}, requestFor(QStringLiteral("status")), false,
        [&] {
            auto line = std::make_unique<FakeLine>(&clock);
            lines << line.get();
            if (lines.size() == 2)
                line->missing << QStringLiteral("/dev/b");
            return line;
        },
        [&](const QByteArray &line) { printed << line; });
    connect(&fleet, &Fleet::finished, this, [&](int status) { finishedWith = status; });
    fleet.start();
    Run::settle();
    QVERIFY(printed.isEmpty()); // b has failed, but a comes first

    clock.advanceTo(10);
    lines[2]->receive("20\r");
    Run::settle();
    QVERIFY(printed.isEmpty());
    clock.advanceTo(20);
    lines[0]->receive("80\r");
    Run::settle();
    QCOMPARE(printed, QList<QByteArray>(
                          {"/dev/a: Stand by\n", "/dev/b: not open\n", "/dev/c: Cooling down\n"}));
    QCOMPARE(finishedWith, 2);
    QVERIFY(!lines[0]->isOpen() && !lines[2]->isOpen());
}

QTEST_GUILESS_MAIN(PortRunTest)
#include "tst_port_run.moc"
