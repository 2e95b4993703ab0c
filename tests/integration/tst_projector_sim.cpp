// SPDX-License-Identifier: MIT
// The projector simulator, driven from the device side as the panel drives it: a separate
// process, found through ODRA_SIM, on a pseudo-terminal that we open ourselves.

#include "device_client.h"
#include "projector_sim_process.h"
#include "pseudo_terminal.h"

#include <QtTest>

#include <QRandomGenerator>
#include <QRegularExpression>

#include <csignal>
#include <poll.h>
#include <unistd.h>

namespace {

const QByteArray Ack(1, 0x06);

// A simulator and our side of its line. On a failure, its log goes into the test's output.
class Sim : public DeviceClient
{
public:
    ~Sim()
    {
        if (QTest::currentTestFailed())
            qWarning().noquote() << "simulator log:\n" << projector.log().right(4000);
    }

    bool start(const QStringList &args) { return projector.start(args) && reopen(); }
    bool reopen() { return open(projector.devicePath()); }
    QProcess &process() { return projector.process(); }

    // Asks "CR0" until the answer is no longer `from`, for at most timeoutMs.
    QByteArray waitPowerLeaves(const QByteArray &from, int timeoutMs)
    {
        QElapsedTimer t;
        t.start();
        QByteArray now = from;
        while (now == from && t.elapsed() < timeoutMs) {
            QTest::qWait(100);
            now = ask("CR0\r", 3);
        }
        return now;
    }

    ProjectorSimProcess projector;
};

// CPU seconds the process has used so far.
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // Fields after the command name in parentheses: utime and stime are the 12th and 13th.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields.at(11).toDouble() + fields.at(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

} // namespace

class TestProjectorSim : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void answers_data();
    void answers();
    void powerCycle();
    void splitSendsPieces();
    void latencyDelays();
    void silentNeverAnswers();
    void hangUpAfterClosesTheLine();
    void survivesCloseAndReopen();
    void noiseArrives();
    void runPassesDeviceAndStatus();
    void servesAnExistingDevice();
    void stopsOnSignal_data();
    void stopsOnSignal();
    void rejectsBadOptions_data();
    void rejectsBadOptions();
    void refusesWhatIsNoSerialLine_data();
    void refusesWhatIsNoSerialLine();
};

void TestProjectorSim::initTestCase()
{
    QVERIFY2(!qEnvironmentVariableIsEmpty("ODRA_SIM"), "ODRA_SIM names the simulator");
}

void TestProjectorSim::answers_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("status in stand-by") << QByteArrayList{"CR0\r"} << QByteArray("80\r");
    for (char input = '1'; input <= '4'; ++input) {
        const QByteArray select = QByteArray("C0") + char(input + 4) + '\r';
        QTest::addRow("input %c", input)
            << QByteArrayList{select, "CR1\r"} << QByteArray(Ack + input + '\r');
    }
    QTest::newRow("setting") << QByteArrayList{"CR4\r"} << QByteArray("11\r");
    QTest::newRow("lamp dark") << QByteArrayList{"CR7\r"} << QByteArray("10\r");
    QTest::newRow("mutes in stand-by") << QByteArrayList{"CRA\r"} << QByteArray("FF\r");
    QTest::newRow("pressure") << QByteArrayList{"CR PRESSURE\r"} << QByteArray("512\r");
    QTest::newRow("power-fail info") << QByteArrayList{"CR INFPFAIL\r"} << QByteArray("00\r");
    QTest::newRow("one ACK per control")
        << QByteArrayList{"C43\rC1C\rC3E\rC8F\rC54\rCF IMAGE CUSTOM4\rCF KEYDIS RC\r"
                          "CF FANSPEED NOR\r"}
        << Ack.repeated(8);

    QTest::newRow("unknown code") << QByteArrayList{"C99\r"} << QByteArray("?\r");
    QTest::newRow("lower case") << QByteArrayList{"cr0\r"} << QByteArray("?\r");
    QTest::newRow("trailing blank") << QByteArrayList{"CR0 \r"} << QByteArray("?\r");
    QTest::newRow("unknown image mode") << QByteArrayList{"CF IMAGE FOO\r"} << QByteArray("?\r");

    QTest::newRow("one character at a time")
        << QByteArrayList{"C", "R", "0", "\r"} << QByteArray("80\r");
    QTest::newRow("two commands in one piece")
        << QByteArrayList{"CR4\rCR0\r"} << QByteArray("11\r80\r");
    QTest::newRow("LF ignored anywhere") << QByteArrayList{"\nCR\n", "0\r\n"} << QByteArray("80\r");
    QTest::newRow("empty lines unanswered")
        << QByteArrayList{"\r", "\r\n", "CR0\r"} << QByteArray("80\r");
    QTest::newRow("NUL bytes") << QByteArrayList{QByteArray("C\0"
                                                            "00\r",
                                                            5),
                                                 "CR0\r"}
                               << QByteArray("?\r80\r");
    QTest::newRow("longest line answered")
        << QByteArrayList{QByteArray(4096, 'A') + '\r'} << QByteArray("?\r");
    QTest::newRow("overlong line dropped")
        << QByteArrayList{QByteArray(4097, 'A') + '\r', QByteArray(20000, 'B'), "\rCR0\r"}
        << QByteArray("80\r");

    QByteArray garbage(2000, Qt::Uninitialized);
    for (char &c : garbage) {
        c = char(QRandomGenerator::global()->bounded(256));
        if (c == '\r')
            c = 0;
    }
    QTest::newRow("garbage") << QByteArrayList{garbage, "\rCR0\r"} << QByteArray("?\r80\r");
}

void TestProjectorSim::answers()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(QByteArray, expected);

    Sim sim;
    QVERIFY(sim.start({}));
    for (const QByteArray &piece : pieces) {
        QVERIFY(sim.send(piece));
        QTest::qWait(20); // each piece its own read on the far side
    }
    const QByteArray reply = sim.read(expected.size(), 5000);
    QCOMPARE(reply + sim.readFor(50), expected);
    QCOMPARE(sim.process().state(), QProcess::Running);
}

void TestProjectorSim::powerCycle()
{
    Sim sim;
    QVERIFY(sim.start({"--countdown", "2"}));

    QCOMPARE(sim.ask("C00\r", 1), Ack);
    QCOMPARE(sim.ask("CR0\r", 3), QByteArray("40\r"));
    QCOMPARE(sim.ask("CR7\r", 3), QByteArray("11\r"));
    QCOMPARE(sim.waitPowerLeaves("40\r", 15000), QByteArray("00\r"));
    QCOMPARE(sim.ask("C00\r", 1), Ack); // already on: nothing changes
    QCOMPARE(sim.ask("CR0\r", 3), QByteArray("00\r"));

    const struct
    {
        const char *command;
        const char *mutes;
    } muting[] = {{"C0D\r", "01\r"},
                  {"C0B\r", "03\r"},
                  {"C0E\r", "02\r"},
                  {"C0C\r", "00\r"},
                  {"C0D\r", "01\r"}};
    QCOMPARE(sim.ask("CRA\r", 3), QByteArray("00\r"));
    for (const auto &step : muting) {
        QCOMPARE(sim.ask(step.command, 1), Ack);
        QCOMPARE(sim.ask("CRA\r", 3), QByteArray(step.mutes));
    }

    // Two seconds and more of lamp time have passed: at one hour a second, the hours grew.
    const QByteArray hours = sim.ask("CR3\r", 6);
    QVERIFY2(QRegularExpression("^\\d{5}\r$").match(QString::fromLatin1(hours)).hasMatch(),
             hours.constData());
    QVERIFY2(hours.left(5).toInt() > 1234, hours.constData());

    // Fixed width, so that each of the panel's three slices holds one reading.
    const QByteArray temperatures = sim.ask("CR6\r", 18);
    QVERIFY2(QRegularExpression("^\\d{3}\\.\\d \\d{3}\\.\\d \\d{3}\\.\\d\r$")
                 .match(QString::fromLatin1(temperatures))
                 .hasMatch(),
             temperatures.constData());

    QCOMPARE(sim.ask("C01\r", 1), Ack);
    QCOMPARE(sim.ask("CR0\r", 3), QByteArray("20\r"));
    QCOMPARE(sim.ask("CR7\r", 3), QByteArray("10\r"));
    QCOMPARE(sim.waitPowerLeaves("20\r", 15000), QByteArray("80\r"));
    QCOMPARE(sim.ask("CRA\r", 3), QByteArray("FF\r"));
    QCOMPARE(sim.ask("C00\r", 1), Ack); // and on again: the mutes were forgotten
    QCOMPARE(sim.waitPowerLeaves("40\r", 15000), QByteArray("00\r"));
    QCOMPARE(sim.ask("CRA\r", 3), QByteArray("00\r"));
}

void TestProjectorSim::splitSendsPieces()
{
    Sim sim;
    QVERIFY(sim.start({"--split"}));
    const QByteArray expected = "MP-Q85 V1.05\r";
    // A busy machine may leave us asleep for a whole reply now and then; once in five tries
    // the pieces must show.
    int mostChunks = 0;
    for (int attempt = 0; attempt < 5 && mostChunks < 2; ++attempt) {
        int chunks = 0;
        QVERIFY(sim.send("CR9\r"));
        QCOMPARE(sim.read(expected.size(), 5000, &chunks), expected);
        mostChunks = qMax(mostChunks, chunks);
    }
    QVERIFY2(mostChunks >= 2, "the reply came whole every time");
}

void TestProjectorSim::latencyDelays()
{
    Sim sim;
    QVERIFY(sim.start({"--latency", "300"}));
    QElapsedTimer t;
    t.start();
    QCOMPARE(sim.ask("CR0\r", 3), QByteArray("80\r"));
    QVERIFY2(t.elapsed() >= 250, qPrintable(QString::number(t.elapsed())));
}

void TestProjectorSim::silentNeverAnswers()
{
    Sim sim;
    QVERIFY(sim.start({"--silent"}));
    QVERIFY(sim.send("CR0\rC00\rXYZ\r"));
    QCOMPARE(sim.readFor(500), QByteArray());
    QCOMPARE(sim.process().state(), QProcess::Running);
}

void TestProjectorSim::hangUpAfterClosesTheLine()
{
    Sim sim;
    QVERIFY(sim.start({"--hangup-after", "2"}));
    QCOMPARE(sim.ask("CR4\r", 3), QByteArray("11\r"));
    QVERIFY(sim.send("CR0\r"));
    QCOMPARE(sim.read(3, 5000), QByteArray("80\r")); // the last command is still answered

    // Our side sees the hang-up: poll reports it, or a read finds the end or fails.
    bool hungUp = false;
    QElapsedTimer t;
    t.start();
    while (!hungUp && t.elapsed() < 5000) {
        pollfd p{sim.fd(), POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        char c;
        hungUp = (p.revents & POLLHUP) || ::read(sim.fd(), &c, 1) <= 0;
    }
    QVERIFY(hungUp);
    QCOMPARE(sim.process().state(), QProcess::Running); // it lingers without a line
}

void TestProjectorSim::survivesCloseAndReopen()
{
    Sim sim;
    QVERIFY(sim.start({}));
    QCOMPARE(sim.ask("CR0\r", 3), QByteArray("80\r"));

    sim.close();
    const double cpuBefore = cpuSeconds(sim.process().processId());
    QElapsedTimer t;
    t.start();
    QTest::qWait(1000);
    const double cpu = cpuSeconds(sim.process().processId()) - cpuBefore;
    // A process spinning on a hung-up line would burn whatever CPU it gets.
    QVERIFY2(cpuBefore >= 0 && cpu < 0.3 * double(t.elapsed()) / 1000,
             qPrintable(QString::number(cpu)));

    QVERIFY(sim.reopen());
    QCOMPARE(sim.ask("CR0\r", 3), QByteArray("80\r"));
    sim.close();
    QVERIFY(sim.reopen());
    QCOMPARE(sim.ask("CR1\r", 2), QByteArray("1\r"));
}

void TestProjectorSim::noiseArrives()
{
    Sim sim;
    QVERIFY(sim.start({"--noise", "200"}));
    const QByteArray noise = sim.readFor(2500);
    QVERIFY2(noise.size() >= 30, qPrintable(QString::number(noise.size())));
    // Logged once a second, not byte by byte.
    const QByteArray log = sim.projector.log();
    const qsizetype lines = log.count("noise:");
    QVERIFY2(lines >= 1 && lines <= 4, log.constData());
    QVERIFY2(log.count('\n') < 10, log.constData());
}

void TestProjectorSim::runPassesDeviceAndStatus()
{
    QProcess run;
    run.start(ProjectorSimProcess::program(),
              {"--run", "/bin/sh", "-c", "test -c \"$ODRA_COM1\" && echo \"$ODRA_COM1\"; exit 7"});
    QVERIFY(run.waitForFinished(10000));
    QCOMPARE(run.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.exitCode(), 7);
    const QList<QByteArray> lines = run.readAllStandardOutput().split('\n');
    QVERIFY2(lines.size() >= 2 && lines.at(0).startsWith("/dev/"), lines.value(0).constData());
    QCOMPARE(lines.at(1), lines.at(0)); // the program got the device we announced
}

// A device that exists already, as one end of a null-modem cable: here a pseudo-terminal whose
// other end we play as the panel.
void TestProjectorSim::servesAnExistingDevice()
{
    PseudoTerminal cable;
    QVERIFY(cable.isValid());
    ProjectorSimProcess sim;
    QVERIFY(sim.start({"--device", cable.devicePath(), "--baud", "9600"}));
    QCOMPARE(sim.devicePath(), cable.devicePath());

    QVERIFY(cable.write("CR0\r"));
    QCOMPARE(cable.readAtLeast(3, 5000), QByteArray("80\r"));
    termios line{};
    QVERIFY(cable.deviceAttributes(&line));
    QCOMPARE(cfgetospeed(&line), speed_t(B9600));
    QCOMPARE(line.c_cflag & (CSIZE | PARENB | CSTOPB), tcflag_t(CS8));
}

void TestProjectorSim::stopsOnSignal_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void TestProjectorSim::stopsOnSignal()
{
    QFETCH(int, signal);
    Sim sim;
    QVERIFY(sim.start({}));
    ::kill(pid_t(sim.process().processId()), signal);
    QVERIFY(sim.process().waitForFinished(5000));
    QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process().exitCode(), 0);
}

void TestProjectorSim::rejectsBadOptions_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("unknown option") << QStringList{"--bogus"};
    QTest::newRow("missing value") << QStringList{"--latency"};
    QTest::newRow("negative latency") << QStringList{"--latency", "-1"};
    QTest::newRow("run without program") << QStringList{"--run"};
    QTest::newRow("many on one device") << QStringList{"--count", "2", "--device", "/dev/null"};
    QTest::newRow("many for one program") << QStringList{"--count", "2", "--run", "true"};
}

void TestProjectorSim::rejectsBadOptions()
{
    QFETCH(QStringList, args);
    QProcess sim;
    sim.start(ProjectorSimProcess::program(), args);
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 2);
    QVERIFY(sim.readAllStandardOutput().isEmpty()); // no device announced
}

void TestProjectorSim::refusesWhatIsNoSerialLine_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QByteArray>("reason");
    QTest::newRow("pseudo-terminal multiplexer") << "/dev/ptmx" << QByteArray("master side");
    QTest::newRow("no terminal at all") << "/dev/null" << QByteArray("not a serial device");
    QTest::newRow("nothing") << "/dev/odra-nowhere" << QByteArray("cannot open");
}

void TestProjectorSim::refusesWhatIsNoSerialLine()
{
    QFETCH(QString, device);
    QFETCH(QByteArray, reason);
    QProcess sim;
    sim.start(ProjectorSimProcess::program(), {"--device", device});
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 1);
    QVERIFY(sim.readAllStandardOutput().isEmpty()); // no device announced
    const QByteArray error = sim.readAllStandardError();
    QVERIFY2(error.contains(reason), error.constData());
}

QTEST_GUILESS_MAIN(TestProjectorSim)
#include "tst_projector_sim.moc"
