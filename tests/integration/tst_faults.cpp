// Faults on a real line: the window on real timers and the real QSerialPort over
// pseudo-terminals, with the line pulled, held by another program, missing, flooded and switched
// about. Whatever happens the panel must not crash, hang or spin, must write nothing it was not
// asked to, and must put every byte it was asked to write on the line, in order, while the line
// is up. Bounds are generous: a busy machine must not fail these.
#include "fd_io.h"
#include "live_panel.h"
#include "pseudo_terminal.h"
#include "recording_port.h"

#include "link/traffic.h"

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

// The CPU time spent in one second of the event loop, after a moment to settle.
double cpuInQuietSecond()
{
    QTest::qWait(200);
    const double before = processCpuSeconds();
    QTest::qWait(1000);
    return processCpuSeconds() - before;
}

QByteArray times(const QByteArray &bytes, qsizetype n)
{
    QByteArray out;
    for (qsizetype i = 0; i < n; ++i)
        out += bytes;
    return out;
}

// The real window with every write on record; COM2 points nowhere unless given.
struct Panel : BasicLivePanel<RecordingPort>
{
    explicit Panel(const QString &com1, const QString &com2 = QStringLiteral("/dev/odra-no-com2"))
        : BasicLivePanel(com1, com2)
    {
    }

    // An option of the settings frame, chosen as the operator does: COM, then the option.
    void choose(const char *option)
    {
        click("Command33");
        click(option);
    }
    // The 5 ms menu arrows: a digital-zoom press and release first.
    void primeFastArrows()
    {
        press("Command48");
        release("Command48");
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
    void rapidPortAndSpeedSwitching();
    void commandJustBeforeTheLineCloses_data();
    void commandJustBeforeTheLineCloses();
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
    QVERIFY(panel.port.portOpen());
    QVERIFY(panel.warnings.isEmpty());

    QByteArray farEnd; // what the far end read before the plug was pulled
    QByteArray expected;
    if (moment == "window" || moment == "half reply") {
        panel.click("Command64"); // an input terminal: a reply window of five seconds
        expected = "C50\r";
        farEnd = pty.readAtLeast(4, kWait);
        if (moment == "half reply") {
            QVERIFY(pty.write("8"));
            QTRY_COMPARE_WITH_TIMEOUT(panel.form->Label12->text(), QString(" 8 "), kWait);
        }
    } else if (moment == "arrow hold" || moment == "volume hold") {
        const bool arrow = moment == "arrow hold";
        if (arrow) {
            panel.primeFastArrows();
            QCOMPARE(panel.form->Timer1->interval(), 5);
        }
        panel.press(arrow ? "Command5" : "Command1");
        QTRY_VERIFY_WITH_TIMEOUT(panel.port.writesTaken >= (arrow ? 20 : 3), kWait);
        farEnd = pty.readFor(50);
        const QByteArray first = arrow ? "C30\rC3C\r" : "C09\r";
        const QByteArray repeat = arrow ? "C3C\r" : "C09\r";
        QVERIFY(panel.port.taken.startsWith(first));
        const QByteArray rest = panel.port.taken.mid(first.size());
        QCOMPARE(rest, times(repeat, rest.size() / repeat.size()));
        expected = panel.port.taken;
    } else if (moment == "long write") {
        // The far end reads nothing: the line's buffer fills and the rest waits in the port.
        panel.form->Text1->setText(QString(200000, QLatin1Char('A')));
        panel.click("Command95");
        expected = QByteArray(200000, 'A') + '\r';
        QTest::qWait(100);
    }

    pty.closeFarEnd();
    if (moment == "send after") {
        panel.click("Command17"); // before the panel has noticed
        expected = "C00\r";
    }
    QTRY_COMPARE_WITH_TIMEOUT(panel.warnings.size(), 1, kWait);
    QVERIFY2(panel.warnings[0].contains(pty.devicePath()), qPrintable(panel.warnings[0]));
    QVERIFY(!panel.port.portOpen());
    // A hold ends with the line: no repeat runs on against a port that is gone.
    QCOMPARE(panel.form->HeldKey, 0);
    QVERIFY(!panel.form->Timer1->isEnabled());

    // Only what was asked went out, in order, up to the moment the line went.
    QCOMPARE(panel.port.taken.left(expected.size()), expected);
    QVERIFY(panel.port.taken.startsWith(farEnd));
    const QByteArray takenAtLoss = panel.port.taken;

    const double cpu = cpuInQuietSecond();
    QVERIFY2(cpu < kIdleCpuSeconds, qPrintable(QStringLiteral("%1 s of CPU in 1 s").arg(cpu)));
    QCOMPARE(panel.warnings.size(), 1);

    // The panel goes on: a button says that nothing went out, and nothing does.
    panel.click("Command17");
    QCOMPARE(panel.statusLine(), " COM1 not open");
    QCOMPARE(panel.port.taken, takenAtLoss);
    if (moment.endsWith("hold"))
        panel.release(moment == "arrow hold" ? "Command5" : "Command1");
    QCOMPARE(panel.port.taken, takenAtLoss);
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
        panel.choose("Option2");
    }
    QCOMPARE(panel.warnings.size(), 1);
    QVERIFY2(panel.warnings[0].contains("in use") && panel.warnings[0].contains(busy.devicePath()),
             qPrintable(panel.warnings[0]));
    QVERIFY(!panel.port.portOpen());
    QCOMPARE(panel.port.commPort(), 1); // a failed change falls back to the other number

    panel.click("Command44");
    QCOMPARE(panel.statusLine(), " COM1 not open");
    QCOMPARE(panel.port.writesTaken, 0);
    QVERIFY(com1.readFor(100).isEmpty());
    QVERIFY(com2.readFor(100).isEmpty());
    const double cpu = cpuInQuietSecond();
    QVERIFY2(cpu < kIdleCpuSeconds, qPrintable(QStringLiteral("%1 s of CPU in 1 s").arg(cpu)));

    // The other program lets go; choosing the port again opens it.
    other.reset();
    panel.choose(atStartUp ? "Option1" : "Option2");
    QVERIFY(panel.port.portOpen());
    QCOMPARE(panel.warnings.size(), 1);
    panel.click("Command44");
    QCOMPARE(busy.readAtLeast(4, kWait), QByteArray("CR0\r"));
    QCOMPARE(panel.port.taken, QByteArray("CR0\r"));
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
        panel.click("Command17");
        QCOMPARE(com1.readAtLeast(4, kWait), QByteArray("C00\r"));
        panel.choose("Option2");
        QVERIFY(panel.form->Frame8->isVisible()); // stays until its five seconds run out
    }
    QCOMPARE(panel.warnings.size(), 1);
    QVERIFY2(panel.warnings[0].contains(nowhere) && panel.warnings[0].contains("does not exist"),
             qPrintable(panel.warnings[0]));
    QVERIFY(!panel.port.portOpen());
    QCOMPARE(panel.port.commPort(), 1);

    const QByteArray before = panel.port.taken;
    panel.click("Command44");
    QCOMPARE(panel.statusLine(), " COM1 not open");
    QCOMPARE(panel.port.taken, before);
    QVERIFY(com1.readFor(100).isEmpty());
    const double cpu = cpuInQuietSecond();
    QVERIFY2(cpu < kIdleCpuSeconds, qPrintable(QStringLiteral("%1 s of CPU in 1 s").arg(cpu)));

    // COM1 chosen again (at start-up it had been pointing nowhere): open, and it sends.
    qputenv("ODRA_COM1", com1.devicePath().toLocal8Bit());
    panel.choose("Option1");
    QVERIFY(panel.port.portOpen());
    QCOMPARE(panel.warnings.size(), 1);
    panel.click("Command44");
    QCOMPARE(com1.readAtLeast(4, kWait), QByteArray("CR0\r"));
    QCOMPARE(panel.port.taken, before + "CR0\r");
}

void FaultsTest::recoveryAfterTheLineReturns()
{
    auto first = std::make_unique<PseudoTerminal>();
    Panel panel(first->devicePath());
    panel.click("Command44");
    QCOMPARE(first->readAtLeast(4, kWait), QByteArray("CR0\r"));
    first->closeFarEnd();
    QTRY_COMPARE_WITH_TIMEOUT(panel.warnings.size(), 1, kWait);
    QVERIFY(!panel.port.portOpen());
    first.reset();

    // The adapter comes back under a new name; COM1 is pointed at it and chosen again.
    PseudoTerminal second;
    qputenv("ODRA_COM1", second.devicePath().toLocal8Bit());
    panel.choose("Option1");
    QVERIFY(panel.port.portOpen());
    QVERIFY(panel.form->Frame8->isHidden());
    QCOMPARE(panel.warnings.size(), 1);

    QTRY_VERIFY_WITH_TIMEOUT(!panel.form->Timer2->isEnabled(), kWait);
    panel.click("Command44");
    QCOMPARE(second.readAtLeast(4, kWait), QByteArray("CR0\r"));
    QVERIFY(second.write("80\r"));
    QTRY_COMPARE_WITH_TIMEOUT(panel.statusLine(), QString(" Stand by"), kWait);
    QCOMPARE(panel.port.taken, QByteArray("CR0\rCR0\r"));
    QVERIFY(second.readFor(100).isEmpty());
}

void FaultsTest::floodWhileHolding_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("repeat");
    QTest::newRow("volume, 250 ms") << "Command1" << QByteArray("C09\r") << QByteArray("C09\r");
    QTest::newRow("menu arrow, 5 ms")
        << "Command5" << QByteArray("C30\rC3C\r") << QByteArray("C3C\r");
}

void FaultsTest::floodWhileHolding()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, repeat);
    PseudoTerminal pty;
    Panel panel(pty.devicePath());
    if (button == "Command5")
        panel.primeFastArrows();
    const QByteArray name = button.toLatin1();
    panel.press(name.constData());

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
        mostBuffered = std::max(mostBuffered, panel.form->ReceiveBuffer.size());
    }
    stop = true;
    writer.join();
    QVERIFY(!failed);
    QCOMPARE(written.load(), noise.size()); // the panel kept reading: no hang
    QVERIFY(mostBuffered <= Form1::kReceiveBufferLimit);
    QVERIFY(panel.warnings.isEmpty());
    QVERIFY(panel.port.portOpen());

    panel.release(name.constData());
    QCOMPARE(panel.form->HeldKey, 0);
    const qsizetype sends = panel.port.writesTaken;
    farEnd += pty.readAtLeast(int(panel.port.taken.size() - farEnd.size()), kWait);
    farEnd += pty.readFor(100);
    // Exactly what the panel was asked to send: the press, then the repeats of the one button.
    QCOMPARE(farEnd, panel.port.taken);
    QVERIFY(farEnd.startsWith(first));
    const QByteArray rest = farEnd.mid(first.size());
    QCOMPARE(rest, times(repeat, rest.size() / repeat.size()));
    QCOMPARE(panel.port.writesRefused, 0);

    const double cpu = cpuInQuietSecond();
    QVERIFY2(cpu < kIdleCpuSeconds, qPrintable(QStringLiteral("%1 s of CPU in 1 s").arg(cpu)));
    QCOMPARE(panel.port.writesTaken, sends); // released: nothing more went out
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
    panel.form->Text1->setText(text);
    QCOMPARE(panel.form->Text1->text().size(), 100000); // the box takes any length
    panel.click("Command95");
    const QByteArray farEnd = pty.readAtLeast(int(bytes.size()) + 1, 30000);
    QCOMPARE(farEnd.size(), bytes.size() + 1);
    QVERIFY(farEnd == bytes + '\r');
    QCOMPARE(panel.port.taken, bytes + '\r');
    QCOMPARE(panel.form->Label11->text(), renderTraffic(bytesToChars(bytes + '\r')));

    // The panel is still there for the next command, which follows in order.
    panel.click("Command44");
    QCOMPARE(pty.readAtLeast(4, kWait), QByteArray("CR0\r"));
    QVERIFY(pty.readFor(100).isEmpty());
    const double cpu = cpuInQuietSecond();
    QVERIFY2(cpu < kIdleCpuSeconds, qPrintable(QStringLiteral("%1 s of CPU in 1 s").arg(cpu)));
}

void FaultsTest::rapidPortAndSpeedSwitching()
{
    PseudoTerminal com1, com2;
    Panel panel(com1.devicePath(), com2.devicePath());
    PseudoTerminal *line[3] = {nullptr, &com1, &com2};
    QByteArray expected[3], farEnd[3];

    static const char *const kOptions[] = {"Option1", "Option2", "Option9", "Option10"};
    QRandomGenerator random(200);
    int port = 1;
    speed_t speed = B19200;
    for (int change = 0; change < 200; ++change) {
        const int choice = int(random.bounded(4));
        panel.choose(kOptions[choice]);
        if (choice < 2)
            port = choice + 1;
        else
            speed = choice == 2 ? B19200 : B9600;
        QVERIFY2(panel.port.portOpen() && panel.port.commPort() == port,
                 qPrintable(QStringLiteral("change %1").arg(change)));
        if (change % 3 == 0) {
            panel.click("Command17");
            expected[port] += "C00\r";
        }
        // The operator's next click is a new event: the loop turns in between.
        for (int p : {1, 2})
            farEnd[p] += line[p]->readFor(1);
    }
    QVERIFY(panel.warnings.isEmpty());
    QVERIFY(panel.form->Frame8->isHidden());
    termios t{};
    QVERIFY(line[port]->deviceAttributes(&t));
    QCOMPARE(cfgetospeed(&t), speed);

    for (int p : {1, 2}) {
        farEnd[p] += line[p]->readAtLeast(int(expected[p].size() - farEnd[p].size()), kWait);
        farEnd[p] += line[p]->readFor(50);
        QCOMPARE(farEnd[p], expected[p]);
    }
    QCOMPARE(panel.port.writesRefused, 0);
    const double cpu = cpuInQuietSecond();
    QVERIFY2(cpu < kIdleCpuSeconds, qPrintable(QStringLiteral("%1 s of CPU in 1 s").arg(cpu)));
}

void FaultsTest::commandJustBeforeTheLineCloses_data()
{
    QTest::addColumn<QString>("then");
    QTest::newRow("the other port") << "Option2";
    QTest::newRow("the same port again") << "Option1";
    QTest::newRow("another speed") << "Option10";
    QTest::newRow("END") << "Command16";
}

void FaultsTest::commandJustBeforeTheLineCloses()
{
    // A click and the next choice handled in one turn of the event loop, as after a busy moment:
    // the command was taken while the port was open, so it reaches the line before the port
    // closes, and reopening the port does not throw it away.
    QFETCH(QString, then);
    PseudoTerminal com1, com2;
    Panel panel(com1.devicePath(), com2.devicePath());
    panel.click("Command33");
    panel.click("Command17");
    if (then == "Command16")
        panel.form->Command16_Click();
    else
        panel.click(then.toLatin1().constData());
    QCOMPARE(com1.readAtLeast(4, kWait), QByteArray("C00\r"));
    QCOMPARE(panel.port.taken, QByteArray("C00\r"));
    QVERIFY(com1.readFor(100).isEmpty());
    QVERIFY(com2.readFor(10).isEmpty());
}

void FaultsTest::portChangeRightAfterTheHangUp()
{
    // The line goes just as the operator changes port, before the panel has noticed: what was
    // queued for the old line fails there, and that failure must not be reported against, or
    // close, the port just opened.
    PseudoTerminal com1, com2;
    Panel panel(com1.devicePath(), com2.devicePath());
    panel.form->Text1->setText(QString(200000, QLatin1Char('A')));
    panel.click("Command95");
    QTest::qWait(50); // the old line's buffer is full, the rest still queued in the port
    com1.closeFarEnd();
    panel.choose("Option2");
    QVERIFY(panel.port.portOpen());
    QCOMPARE(panel.port.commPort(), 2);
    QTest::qWait(300);
    QVERIFY2(panel.warnings.isEmpty(), qPrintable(panel.warnings.join('\n')));
    QVERIFY(panel.port.portOpen());
    panel.click("Command44");
    QCOMPARE(com2.readAtLeast(4, kWait), QByteArray("CR0\r"));
    QVERIFY(com2.readFor(100).isEmpty());
}

QTEST_MAIN(FaultsTest)
#include "tst_faults.moc"
