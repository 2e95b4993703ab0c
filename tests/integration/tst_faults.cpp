// SPDX-License-Identifier: MIT
// Faults on a real line: the window on real timers and the real QSerialPort over
// pseudo-terminals, with the line pulled, held by another program, missing, flooded and switched
// about. Whatever happens the panel must not crash, hang or spin, must write nothing it was not
// asked to, and must put every byte it was asked to write on the line, in order, while the line
// is up. Bounds are generous: a busy machine must not fail these.
#include "fd_io.h"
#include "live_panel.h"
#include "paced_reader.h"
#include "pseudo_terminal.h"
#include "recording_line.h"

#include "protocol/traffic.h"

#include <QLineEdit>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

namespace {

constexpr int kWait = 10000;
// CPU time the panel may spend in a quiet second after a fault: an idle event loop spends next
// to none, a busy loop all of it.
constexpr double kIdleCpuSeconds = 0.5;

QByteArray times(const QByteArray &bytes, qsizetype n)
{
    QByteArray out;
    for (qsizetype i = 0; i < n; ++i)
        out += bytes;
    return out;
}

// The real window with every write on record; COM2 points nowhere unless given.
struct Panel : BasicLivePanel<RecordingLine>
{
    explicit Panel(const QString &com1, const QString &com2 = QStringLiteral("/dev/odra-no-com2"))
        : BasicLivePanel(com1, com2)
    {
    }
    // The 5 ms menu arrows: a digital-zoom press and release first.
    void primeFastArrows()
    {
        press("d-zoom-in");
        release("d-zoom-in");
    }
};

} // namespace

class FaultsTest : public QObject
{
    Q_OBJECT
private slots:
    void unplugged_data();
    void unplugged();
    void portBusy_data();
    void portBusy();
    void missingDevice_data();
    void missingDevice();
    void recoveryAfterTheLineReturns();
    void floodWhileHolding_data();
    void floodWhileHolding();
    void hugeTypedCommand();
    void slowLineIsBackPressure_data();
    void slowLineIsBackPressure();
    void rapidPortAndSpeedSwitching();
    void commandJustBeforeTheLineCloses_data();
    void commandJustBeforeTheLineCloses();
    void portChangeRightAfterTheHangUp_data();
    void portChangeRightAfterTheHangUp();
};

void FaultsTest::unplugged_data()
{
    QTest::addColumn<QString>("moment");
    QTest::newRow("idle") << "idle";
    QTest::newRow("reply window open") << "window";
    QTest::newRow("half a reply in") << "half reply";
    QTest::newRow("5 ms arrow hold") << "arrow hold";
    QTest::newRow("volume hold") << "volume hold";
    QTest::newRow("long command still being written") << "long write";
    QTest::newRow("send right after the hang-up") << "send after";
}

void FaultsTest::unplugged()
{
    QFETCH(QString, moment);
    PseudoTerminal pty;
    QVERIFY(pty.isValid());
    Panel panel(pty.devicePath());
    QVERIFY(panel.session->portOpen());
    QVERIFY(panel.warnings.isEmpty());

    QByteArray farEnd; // what the far end read before the plug was pulled
    QByteArray expected;
    if (moment == "window" || moment == "half reply") {
        panel.click("terminal-1-rgb"); // an input terminal: a reply window of five seconds
        expected = "C50\r";
        farEnd = pty.readAtLeast(4, kWait);
        if (moment == "half reply") {
            QVERIFY(pty.write("8"));
            QTRY_COMPARE_WITH_TIMEOUT(panel.rxd(), QString(" 8 "), kWait);
        }
    } else if (moment == "arrow hold" || moment == "volume hold") {
        const bool arrow = moment == "arrow hold";
        if (arrow) {
            panel.primeFastArrows();
            QCOMPARE(panel.session->repeat().interval(), 5);
        }
        panel.press(arrow ? "menu-up" : "volume-up");
        QTRY_VERIFY_WITH_TIMEOUT(panel.line.writesTaken >= (arrow ? 20 : 3), kWait);
        farEnd = pty.readFor(50);
        const QByteArray first = arrow ? "C30\rC3C\r" : "C09\r";
        const QByteArray repeat = arrow ? "C3C\r" : "C09\r";
        QVERIFY(panel.line.taken.startsWith(first));
        const QByteArray rest = panel.line.taken.mid(first.size());
        QCOMPARE(rest, times(repeat, rest.size() / repeat.size()));
        expected = panel.line.taken;
    } else if (moment == "long write") {
        // The far end reads nothing: the line's buffer fills and the rest waits in the port.
        panel.sendText(QString(200000, QLatin1Char('A')));
        expected = QByteArray(200000, 'A') + '\r';
        QTest::qWait(100);
    }

    pty.closeFarEnd();
    if (moment == "send after") {
        panel.click("power-on"); // before the panel has noticed
        expected = "C00\r";
    }
    QTRY_COMPARE_WITH_TIMEOUT(panel.warnings.size(), 1, kWait);
    QVERIFY2(panel.warnings[0].contains(pty.devicePath()), qPrintable(panel.warnings[0]));
    QVERIFY(!panel.session->portOpen());
    // A hold ends with the line: no repeat runs on against a port that is gone.
    QVERIFY(!panel.session->held());
    QVERIFY(!panel.session->repeat().isEnabled());

    // Only what was asked went out, in order, up to the moment the line went.
    QCOMPARE(panel.line.taken.left(expected.size()), expected);
    QVERIFY(panel.line.taken.startsWith(farEnd));
    const QByteArray takenAtLoss = panel.line.taken;

    const double cpu = cpuInQuietSecond();
    QVERIFY2(cpu < kIdleCpuSeconds, qPrintable(QStringLiteral("%1 s of CPU in 1 s").arg(cpu)));
    QCOMPARE(panel.warnings.size(), 1);

    // The panel goes on: a button says that nothing went out, and nothing does.
    panel.click("power-on");
    QCOMPARE(panel.statusLine(), " COM1 not open");
    QCOMPARE(panel.line.taken, takenAtLoss);
    if (moment.endsWith("hold"))
        panel.release(moment == "arrow hold" ? "menu-up" : "volume-up");
    QCOMPARE(panel.line.taken, takenAtLoss);
    QCOMPARE(panel.warnings.size(), 1);
}

void FaultsTest::portBusy_data()
{
    QTest::addColumn<bool>("atStartUp");
    QTest::newRow("at start-up") << true;
    QTest::newRow("at a port change") << false;
}

void FaultsTest::portBusy()
{
    QFETCH(bool, atStartUp);
    PseudoTerminal com1, com2;
    PseudoTerminal &busy = atStartUp ? com1 : com2;
    // Another program holds the line (lock file and exclusive mode).
    auto other = std::make_unique<QSerialPort>(busy.devicePath());
    QVERIFY(other->open(QIODevice::ReadWrite));

    Panel panel(com1.devicePath(), com2.devicePath());
    if (!atStartUp) {
        QVERIFY(panel.warnings.isEmpty());
        panel.choose("com2");
    }
    QCOMPARE(panel.warnings.size(), 1);
    QVERIFY2(panel.warnings[0].contains("in use") && panel.warnings[0].contains(busy.devicePath()),
             qPrintable(panel.warnings[0]));
    QVERIFY(!panel.session->portOpen());
    QCOMPARE(panel.session->port(), 1); // a failed change falls back to the other number

    panel.click("status");
    QCOMPARE(panel.statusLine(), " COM1 not open");
    QCOMPARE(panel.line.writesTaken, 0);
    QVERIFY(com1.readFor(100).isEmpty());
    QVERIFY(com2.readFor(100).isEmpty());
    const double cpu = cpuInQuietSecond();
    QVERIFY2(cpu < kIdleCpuSeconds, qPrintable(QStringLiteral("%1 s of CPU in 1 s").arg(cpu)));

    // The other program lets go; choosing the port again opens it.
    other.reset();
    panel.choose(atStartUp ? "com1" : "com2");
    QVERIFY(panel.session->portOpen());
    QCOMPARE(panel.warnings.size(), 1);
    panel.click("status");
    QCOMPARE(busy.readAtLeast(4, kWait), QByteArray("CR0\r"));
    QCOMPARE(panel.line.taken, QByteArray("CR0\r"));
    if (!atStartUp)
        QVERIFY(com1.readFor(100).isEmpty());
}

void FaultsTest::missingDevice_data()
{
    QTest::addColumn<bool>("atStartUp");
    QTest::newRow("at start-up") << true;
    QTest::newRow("at a port change") << false;
}

void FaultsTest::missingDevice()
{
    QFETCH(bool, atStartUp);
    const QString nowhere = QStringLiteral("/dev/odra-nowhere");
    PseudoTerminal com1;
    Panel panel(atStartUp ? nowhere : com1.devicePath(), nowhere);
    if (!atStartUp) {
        QVERIFY(panel.warnings.isEmpty());
        panel.click("power-on");
        QCOMPARE(com1.readAtLeast(4, kWait), QByteArray("C00\r"));
        panel.choose("com2");
        QVERIFY(panel.session->settingsOpen()); // stays until its five seconds run out
    }
    QCOMPARE(panel.warnings.size(), 1);
    QVERIFY2(panel.warnings[0].contains(nowhere) && panel.warnings[0].contains("does not exist"),
             qPrintable(panel.warnings[0]));
    QVERIFY(!panel.session->portOpen());
    QCOMPARE(panel.session->port(), 1);

    const QByteArray before = panel.line.taken;
    panel.click("status");
    QCOMPARE(panel.statusLine(), " COM1 not open");
    QCOMPARE(panel.line.taken, before);
    QVERIFY(com1.readFor(100).isEmpty());
    const double cpu = cpuInQuietSecond();
    QVERIFY2(cpu < kIdleCpuSeconds, qPrintable(QStringLiteral("%1 s of CPU in 1 s").arg(cpu)));

    // COM1 chosen again (at start-up it had been pointing nowhere): open, and it sends.
    panel.devices.setGiven(1, com1.devicePath());
    panel.choose("com1");
    QVERIFY(panel.session->portOpen());
    QCOMPARE(panel.warnings.size(), 1);
    panel.click("status");
    QCOMPARE(com1.readAtLeast(4, kWait), QByteArray("CR0\r"));
    QCOMPARE(panel.line.taken, before + "CR0\r");
}

void FaultsTest::recoveryAfterTheLineReturns()
{
    auto first = std::make_unique<PseudoTerminal>();
    Panel panel(first->devicePath());
    panel.click("status");
    QCOMPARE(first->readAtLeast(4, kWait), QByteArray("CR0\r"));
    first->closeFarEnd();
    QTRY_COMPARE_WITH_TIMEOUT(panel.warnings.size(), 1, kWait);
    QVERIFY(!panel.session->portOpen());
    first.reset();

    // The adapter comes back under a new name; COM1 is pointed at it and chosen again.
    PseudoTerminal second;
    panel.devices.setGiven(1, second.devicePath());
    panel.choose("com1");
    QVERIFY(panel.session->portOpen());
    QVERIFY(!panel.session->settingsOpen());
    QCOMPARE(panel.warnings.size(), 1);

    QTRY_VERIFY_WITH_TIMEOUT(!panel.session->replyWindow().isEnabled(), kWait);
    panel.click("status");
    QCOMPARE(second.readAtLeast(4, kWait), QByteArray("CR0\r"));
    QVERIFY(second.write("80\r"));
    QTRY_COMPARE_WITH_TIMEOUT(panel.statusLine(), QString(" Stand by"), kWait);
    QCOMPARE(panel.line.taken, QByteArray("CR0\rCR0\r"));
    QVERIFY(second.readFor(100).isEmpty());
}

void FaultsTest::floodWhileHolding_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("repeat");
    QTest::newRow("volume, 250 ms") << "volume-up" << QByteArray("C09\r") << QByteArray("C09\r");
    QTest::newRow("menu arrow, 5 ms")
        << "menu-up" << QByteArray("C30\rC3C\r") << QByteArray("C3C\r");
}

void FaultsTest::floodWhileHolding()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, repeat);
    PseudoTerminal pty;
    Panel panel(pty.devicePath());
    if (button == "menu-up")
        panel.primeFastArrows();
    panel.press(button);

    // A megabyte of noise at full speed from another thread, while this one turns the panel's
    // event loop and reads what the panel sends.
    QByteArray noise(1 << 20, Qt::Uninitialized);
    QRandomGenerator random(20240607);
    for (char &b : noise)
        b = char(random.bounded(256));
    std::atomic<qsizetype> written{0};
    std::atomic<bool> stop{false}, failed{false};
    std::thread writer([&] {
        qsizetype done = 0;
        while (done < noise.size() && !stop) {
            const qsizetype n = pty.writeSome(noise.constData() + done,
                                              std::min<qsizetype>(4096, noise.size() - done));
            if (n < 0) {
                failed = true;
                break;
            }
            done += n;
            written = done;
            if (n == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });

    QByteArray farEnd;
    qsizetype mostBuffered = 0;
    QElapsedTimer flood;
    flood.start();
    while (written < noise.size() && !failed && flood.elapsed() < 60000) {
        farEnd += pty.readFor(20);
        mostBuffered = std::max(mostBuffered, panel.session->received().size());
    }
    stop = true;
    writer.join();
    QVERIFY(!failed);
    QCOMPARE(written.load(), noise.size()); // the panel kept reading: no hang
    QVERIFY(mostBuffered <= PanelSession::kReceiveLimit);
    QVERIFY(panel.warnings.isEmpty());
    QVERIFY(panel.session->portOpen());

    panel.release(button);
    QVERIFY(!panel.session->held());
    const qsizetype sends = panel.line.writesTaken;
    farEnd += pty.readAtLeast(int(panel.line.taken.size() - farEnd.size()), kWait);
    farEnd += pty.readFor(100);
    // Exactly what the panel was asked to send: the press, then the repeats of the one button.
    QCOMPARE(farEnd, panel.line.taken);
    QVERIFY(farEnd.startsWith(first));
    const QByteArray rest = farEnd.mid(first.size());
    QCOMPARE(rest, times(repeat, rest.size() / repeat.size()));
    QCOMPARE(panel.line.writesRefused, 0);

    const double cpu = cpuInQuietSecond();
    QVERIFY2(cpu < kIdleCpuSeconds, qPrintable(QStringLiteral("%1 s of CPU in 1 s").arg(cpu)));
    QCOMPARE(panel.line.writesTaken, sends); // released: nothing more went out
    QVERIFY(pty.readFor(50).isEmpty());
}

void FaultsTest::hugeTypedCommand()
{
    PseudoTerminal pty;
    Panel panel(pty.devicePath());

    // 100,000 characters as typed: printable ASCII, Latin-1 letters and characters without a
    // Latin-1 code, which go out as "?".
    QString text;
    QByteArray bytes;
    QRandomGenerator random(100000);
    for (int i = 0; i < 100000; ++i) {
        const quint32 r = random.bounded(100);
        if (r == 0) {
            text += QChar(0x20AC);
            bytes += '?';
        } else if (r == 1) {
            text += QChar(0xE9);
            bytes += char(0xE9);
        } else {
            const char c = char(0x20 + random.bounded(0x5F));
            text += QLatin1Char(c);
            bytes += c;
        }
    }
    panel.type(text);
    if (QTest::currentTestFailed())
        return;
    const QByteArray farEnd = pty.readAtLeast(int(bytes.size()) + 1, 30000);
    QCOMPARE(farEnd.size(), bytes.size() + 1);
    QVERIFY(farEnd == bytes + '\r');
    QCOMPARE(panel.line.taken, bytes + '\r');
    QCOMPARE(panel.txd(), renderTraffic(bytesToChars(bytes + '\r')));

    // The panel is still there for the next command, which follows in order.
    panel.click("status");
    QCOMPARE(pty.readAtLeast(4, kWait), QByteArray("CR0\r"));
    QVERIFY(pty.readFor(100).isEmpty());
    const double cpu = cpuInQuietSecond();
    QVERIFY2(cpu < kIdleCpuSeconds, qPrintable(QStringLiteral("%1 s of CPU in 1 s").arg(cpu)));
}

void FaultsTest::slowLineIsBackPressure_data()
{
    QTest::addColumn<QString>("load");
    QTest::addColumn<int>("pace"); // bytes a second the far end reads
    // 19200 baud's own pace, a 20,000-character typed command, and POWER ON half a second later.
    QTest::newRow("typed command, then a click") << "typed" << 1920;
    // The 5 ms menu arrow sends 800 bytes a second into a line that takes half of that: the
    // line fills, and its last byte of room is often taken by the end of a command, so that the
    // next command meets a full line with nothing queued before it.
    QTest::newRow("5 ms arrow hold") << "hold" << 400;
}

void FaultsTest::slowLineIsBackPressure()
{
    // A far end slower than what the panel writes: the line's queue fills. That is
    // back-pressure, not a hang-up: every byte goes out, whole and in order, and nothing warns.
    QFETCH(QString, load);
    QFETCH(int, pace);
    PseudoTerminal pty;
    Panel panel(pty.devicePath());
    if (load == "hold")
        panel.primeFastArrows();
    PacedReader farEnd(pty, pace);
    if (load == "typed") {
        QByteArray typed(20000, Qt::Uninitialized);
        for (qsizetype i = 0; i < typed.size(); ++i)
            typed[i] = char(0x20 + i % 0x5F);
        panel.type(QString::fromLatin1(typed));
        if (QTest::currentTestFailed())
            return;
        QTest::qWait(500);
        panel.click("power-on");
        QTest::qWait(1500); // the click meets the full line, which drains at its pace
    } else {
        panel.press("menu-up");
        QTest::qWait(2000);
        panel.release("menu-up");
    }
    const qsizetype atPace = farEnd.count();
    farEnd.setPace(0); // the rest as fast as it comes, so that the test need not wait for it

    const QByteArray expected = panel.line.taken;
    farEnd.waitForCount(expected.size(), 30000);
    QTest::qWait(100);
    QVERIFY2(farEnd.count() == expected.size(),
             qPrintable(QStringLiteral("%1 of %2 bytes arrived (%3 at the line's pace); %4")
                            .arg(farEnd.count())
                            .arg(expected.size())
                            .arg(atPace)
                            .arg(panel.warnings.join(' '))));
    QVERIFY(farEnd.received() == expected);
    if (load == "typed")
        QVERIFY(expected.endsWith("\rC00\r") && expected.size() == 20005);
    else
        QVERIFY(expected.endsWith("C3C\r") && expected.size() > 4 * 100);
    QCOMPARE(panel.line.writesRefused, 0);
    QVERIFY2(panel.warnings.isEmpty(), qPrintable(panel.warnings.join('\n')));
    QVERIFY(panel.session->portOpen());
}

void FaultsTest::rapidPortAndSpeedSwitching()
{
    PseudoTerminal com1, com2;
    Panel panel(com1.devicePath(), com2.devicePath());
    PseudoTerminal *line[3] = {nullptr, &com1, &com2};
    QByteArray expected[3], farEnd[3];

    static const char *const kChoices[] = {"com1", "com2", "speed-19200", "speed-9600"};
    QRandomGenerator random(200);
    int port = 1;
    speed_t speed = B19200;
    for (int change = 0; change < 200; ++change) {
        const int choice = int(random.bounded(4));
        panel.choose(QString::fromLatin1(kChoices[choice]));
        if (choice < 2)
            port = choice + 1;
        else
            speed = choice == 2 ? B19200 : B9600;
        QVERIFY2(panel.session->portOpen() && panel.session->port() == port,
                 qPrintable(QStringLiteral("change %1").arg(change)));
        if (change % 3 == 0) {
            panel.click("power-on");
            expected[port] += "C00\r";
        }
        // The operator's next click is a new event: the loop turns in between.
        for (int p : {1, 2})
            farEnd[p] += line[p]->readFor(1);
    }
    QVERIFY(panel.warnings.isEmpty());
    QVERIFY(!panel.session->settingsOpen());
    termios t{};
    QVERIFY(line[port]->deviceAttributes(&t));
    QCOMPARE(cfgetospeed(&t), speed);

    for (int p : {1, 2}) {
        farEnd[p] += line[p]->readAtLeast(int(expected[p].size() - farEnd[p].size()), kWait);
        farEnd[p] += line[p]->readFor(50);
        QCOMPARE(farEnd[p], expected[p]);
    }
    QCOMPARE(panel.line.writesRefused, 0);
    const double cpu = cpuInQuietSecond();
    QVERIFY2(cpu < kIdleCpuSeconds, qPrintable(QStringLiteral("%1 s of CPU in 1 s").arg(cpu)));
}

void FaultsTest::commandJustBeforeTheLineCloses_data()
{
    QTest::addColumn<QString>("then");
    QTest::newRow("the other port") << "com2";
    QTest::newRow("the same port again") << "com1";
    QTest::newRow("another speed") << "speed-9600";
    QTest::newRow("END") << "end";
}

void FaultsTest::commandJustBeforeTheLineCloses()
{
    // A click and the next choice handled in one turn of the event loop, as after a busy moment:
    // the command was taken while the port was open, so it reaches the line before the port
    // closes, and reopening the port does not throw it away.
    QFETCH(QString, then);
    PseudoTerminal com1, com2;
    Panel panel(com1.devicePath(), com2.devicePath());
    panel.click("port-settings");
    panel.click("power-on");
    panel.click(then);
    QCOMPARE(com1.readAtLeast(4, kWait), QByteArray("C00\r"));
    QCOMPARE(panel.line.taken, QByteArray("C00\r"));
    QVERIFY(com1.readFor(100).isEmpty());
    QVERIFY(com2.readFor(10).isEmpty());
}

void FaultsTest::portChangeRightAfterTheHangUp_data()
{
    QTest::addColumn<bool>("noticed");
    QTest::newRow("before the panel has noticed") << false;
    QTest::newRow("noticed, not yet reported") << true;
}

void FaultsTest::portChangeRightAfterTheHangUp()
{
    // The line goes just as the operator changes port: what was queued for the old line fails
    // there, and that failure must not be reported against, or close, the port just opened. The
    // change comes either before the panel has noticed the loss, or after the line has noticed
    // it and before it reports it (the report waits for the serial port's own notification to
    // return, so a click handled in the same pass of the event loop falls in between).
    QFETCH(bool, noticed);
    PseudoTerminal com1, com2;
    Panel panel(com1.devicePath(), com2.devicePath());
    panel.sendText(QString(200000, QLatin1Char('A')));
    QTest::qWait(50); // the old line's buffer is full, the rest still queued in the port
    com1.closeFarEnd();
    if (noticed) {
        // One pass of the event loop at a time, until the line calls itself closed.
        QElapsedTimer waited;
        waited.start();
        while (panel.line.isOpen() && waited.elapsed() < kWait)
            QCoreApplication::processEvents();
        QVERIFY(!panel.line.isOpen());
        QVERIFY(panel.warnings.isEmpty()); // noticed, not yet reported
    }
    panel.choose("com2");
    // A line whose loss is noticed but not yet reported still holds its old device: the new one
    // opens all the same.
    QVERIFY2(panel.session->portOpen(), qPrintable(panel.warnings.join('\n')));
    QCOMPARE(panel.session->port(), 2);
    QTest::qWait(300);
    if (noticed) {
        // The loss was seen before the change: a report of it may come, about COM1 only (the
        // operator has moved on, so none is given).
        QVERIFY2(panel.warnings.size() <= 1, qPrintable(panel.warnings.join('\n')));
        for (const QString &w : std::as_const(panel.warnings))
            QVERIFY2(w.startsWith("COM1 ") && !w.contains(com2.devicePath()), qPrintable(w));
    } else {
        QVERIFY2(panel.warnings.isEmpty(), qPrintable(panel.warnings.join('\n')));
    }
    QVERIFY(panel.session->portOpen());
    panel.click("status");
    QCOMPARE(com2.readAtLeast(4, kWait), QByteArray("CR0\r"));
    QVERIFY(com2.readFor(100).isEmpty());
}

QTEST_MAIN(FaultsTest)
#include "tst_faults.moc"
