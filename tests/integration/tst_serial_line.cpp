// SPDX-License-Identifier: MIT
// The panel on real timers and the real QSerialPort over a pseudo-terminal; the test plays the
// projector at the far end. Bounds are generous: these tests prove the parts fit, not timing.
#include "fd_io.h"
#include "line/serial_line.h"
#include "live_panel.h"
#include "paced_reader.h"
#include "pseudo_terminal.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <sys/resource.h>
#include <unistd.h>

class SerialLineTest : public QObject
{
    Q_OBJECT
private slots:
    void opensAt19200EightNOne();
    void writesExactBytesAndShowsReply();
    void speedChangeKeepsPortOpen();
    void missingDevice();
    void busyDevice();
    void hangUpWarnsOnceWithoutSpinning();
    void fullLineIsNoLoss();
    void drainBeforeTheEnd_data();
    void drainBeforeTheEnd();
    void devicePaths_data();
    void devicePaths();
    void outOfFileDescriptors();
    void buttonsPutExactBytesOnTheLine();
    void heldVolumeRepeats();
};

void SerialLineTest::opensAt19200EightNOne()
{
    PseudoTerminal pty;
    QVERIFY(pty.isValid());
    LivePanel panel(pty.devicePath());
    QVERIFY(panel.warnings.isEmpty());
    QVERIFY(panel.session->portOpen());
    termios t{};
    QVERIFY(pty.deviceAttributes(&t));
    QCOMPARE(cfgetospeed(&t), speed_t(B19200));
    QCOMPARE(cfgetispeed(&t), speed_t(B19200));
    QCOMPARE(t.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
}

void SerialLineTest::writesExactBytesAndShowsReply()
{
    PseudoTerminal pty;
    LivePanel panel(pty.devicePath());
    panel.sendText(QStringLiteral("CR0"));
    QCOMPARE(pty.readAtLeast(4, 5000), QByteArray("CR0\r"));
    QCOMPARE(panel.txd(), " C R 0 CR ");

    QVERIFY(pty.write("80\r"));
    QTRY_COMPARE_WITH_TIMEOUT(panel.rxd(), QString(" 8 0 CR "), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(panel.statusLine(), QString(" Stand by"), 5000);
    // And the display clears itself on the real timers.
    QTRY_VERIFY_WITH_TIMEOUT(panel.rxd().isEmpty(), 10000);
    QVERIFY(pty.readFor(50).isEmpty()); // nothing was written that was not asked for
}

void SerialLineTest::speedChangeKeepsPortOpen()
{
    PseudoTerminal pty;
    LivePanel panel(pty.devicePath());
    panel.click("port-settings");
    panel.click("speed-9600");
    QVERIFY(panel.session->portOpen());
    QCOMPARE(panel.session->settings().baud, 9600);
    termios t{};
    QVERIFY(pty.deviceAttributes(&t));
    QCOMPARE(cfgetospeed(&t), speed_t(B9600));
    // Still the same line: a command goes through.
    panel.sendText(QStringLiteral("C00"));
    QCOMPARE(pty.readAtLeast(4, 5000), QByteArray("C00\r"));
}

void SerialLineTest::missingDevice()
{
    LivePanel panel(QStringLiteral("/dev/odra-no-such-device"));
    QCOMPARE(panel.warnings.size(), 1);
    QVERIFY(panel.warnings[0].contains("/dev/odra-no-such-device"));
    QVERIFY(!panel.session->portOpen());
    panel.sendText(QStringLiteral("C00"));
    QCOMPARE(panel.statusLine(), " COM1 not open");
}

void SerialLineTest::busyDevice()
{
    PseudoTerminal pty;
    QSerialPort other(pty.devicePath());
    QVERIFY(other.open(QIODevice::ReadWrite)); // another program holds the line
    LivePanel panel(pty.devicePath());
    QCOMPARE(panel.warnings.size(), 1);
    QVERIFY2(panel.warnings[0].contains("in use"), qPrintable(panel.warnings[0]));
    QVERIFY(!panel.session->portOpen());

    // Freed, and chosen again: the panel recovers without a restart.
    other.close();
    panel.click("port-settings");
    panel.click("com1");
    QVERIFY(panel.session->portOpen());
    QCOMPARE(panel.warnings.size(), 1);
}

void SerialLineTest::hangUpWarnsOnceWithoutSpinning()
{
    PseudoTerminal pty;
    LivePanel panel(pty.devicePath());
    QVERIFY(panel.session->portOpen());
    pty.closeFarEnd();
    QTRY_COMPARE_WITH_TIMEOUT(panel.warnings.size(), 1, 5000);
    QVERIFY(!panel.session->portOpen());

    // A second of the event loop after the loss: no busy loop, no second warning.
    const double spent = cpuInQuietSecond();
    QVERIFY2(spent < 0.5, qPrintable(QStringLiteral("%1 s of CPU in 1 s").arg(spent)));
    QCOMPARE(panel.warnings.size(), 1);
    panel.sendText(QStringLiteral("C00"));
    QCOMPARE(panel.statusLine(), " COM1 not open");
}

void SerialLineTest::fullLineIsNoLoss()
{
    // The far end reads nothing, and the line is filled a byte at a time, each handed over at
    // once: the byte that finds no room meets EAGAIN, which QSerialPort reports as a resource
    // error. The line is still there: that byte and a command after it wait for room and go out
    // after what was there before them.
    PseudoTerminal pty;
    SerialLine line;
    QSignalSpy lost(&line, &Line::lost);
    QVERIFY(line.open(pty.devicePath(), LineSettings{}));
    QByteArray written;
    while (line.isOpen() && line.queued() == 0 && written.size() < (1 << 20)) {
        const QByteArray byte(1, char('A' + written.size() % 26));
        QVERIFY(line.write(byte));
        written += byte;
    }
    QVERIFY2(line.queued() > 0, "the line never filled");
    QCoreApplication::processEvents();
    QVERIFY(line.write("C00\r"));
    written += "C00\r";
    QTest::qWait(100);
    QVERIFY(lost.isEmpty());
    QVERIFY(line.isOpen());
    const QByteArray farEnd = pty.readAtLeast(int(written.size()), 10000);
    QCOMPARE(farEnd.size(), written.size());
    QVERIFY(farEnd == written);
    QVERIFY(lost.isEmpty());
}

void SerialLineTest::drainBeforeTheEnd_data()
{
    QTest::addColumn<bool>("farEndReads");
    QTest::newRow("the far end reads") << true;
    QTest::newRow("nobody reads") << false;
}

// At the end what is queued goes to the line, for at most the time given; the port then closes
// at once, whatever is left.
void SerialLineTest::drainBeforeTheEnd()
{
    QFETCH(bool, farEndReads);
    PseudoTerminal pty;
    SerialLine line;
    QVERIFY(line.open(pty.devicePath(), LineSettings{}));
    const QByteArray bytes = QByteArray("C00\r").repeated(50000); // far more than the line holds
    QVERIFY(line.write(bytes));
    QVERIFY(line.queued() > 0);
    std::unique_ptr<PacedReader> farEnd;
    if (farEndReads)
        farEnd = std::make_unique<PacedReader>(pty, 0);
    QElapsedTimer t;
    t.start();
    QCOMPARE(line.drain(farEndReads ? 20000 : 300), farEndReads);
    const qint64 drained = t.elapsed();
    QVERIFY(line.close());
    QVERIFY2(t.elapsed() - drained < 1000, "closing waited for the line");
    if (farEndReads) {
        QVERIFY(farEnd->waitForCount(bytes.size(), 10000));
        QVERIFY(farEnd->received() == bytes);
    } else {
        QVERIFY2(drained >= 300 && drained < 5000, qPrintable(QString::number(drained)));
    }
}

void SerialLineTest::devicePaths_data()
{
    // How the device is named (in ODRA_COM1, as bytes), and what the panel must make of it: the
    // pseudo-terminal opened and locked as itself, or a warning that gives the true reason.
    QTest::addColumn<QByteArray>("name"); // under a temporary directory
    QTest::addColumn<bool>("link");       // a link to the pseudo-terminal, else a plain file
    QTest::addColumn<QString>("warning"); // empty: the port opens
    // A path of 304 bytes, each of its parts a name of ordinary length.
    const QByteArray deep = QByteArray("serial-adapter-link/").repeated(15) + "com1";
    QTest::newRow("long link") << deep << true << "";
    QTest::newRow("link named in UTF-8") << QByteArray("Projektor-\xc3\xa4") << true << "";
    QTest::newRow("link named in Latin-1") << QByteArray("Projektor-\xe4") << true << "";
    QTest::newRow("Latin-1 name of nothing")
        << QByteArray("nowhere-\xe4") << false << "not valid text";
    QTest::newRow("long path to a plain file") << deep << false << "too long";
    QTest::newRow("long path to nothing") << deep + "-gone" << false << "does not exist";
}

void SerialLineTest::devicePaths()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, link);
    QFETCH(QString, warning);
    PseudoTerminal pty;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray path = QFile::encodeName(dir.path()) + '/' + name;
    const QByteArray parent = path.left(path.lastIndexOf('/'));
    QVERIFY(QDir().mkpath(QFile::decodeName(parent)));
    // A name in no encoding is beyond QTemporaryDir's reach: gone with the test by its bytes.
    const auto remove = qScopeGuard([&] { ::unlink(path.constData()); });
    if (link) {
        QVERIFY(::symlink(QFile::encodeName(pty.devicePath()).constData(), path.constData()) == 0);
    } else if (warning == "too long") {
        QFile file(QFile::decodeName(path));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    qputenv("ODRA_COM1", path);
    LivePanel panel{QString()}; // COM1 from the environment
    qunsetenv("ODRA_COM1");

    if (!warning.isEmpty()) {
        QCOMPARE(panel.warnings.size(), 1);
        QVERIFY2(panel.warnings[0].contains(warning), qPrintable(panel.warnings[0]));
        QVERIFY(!panel.session->portOpen());
        return;
    }
    QVERIFY2(panel.warnings.isEmpty(), qPrintable(panel.warnings.join('\n')));
    QVERIFY(panel.session->portOpen());
    QCOMPARE(panel.line.node(), pty.devicePath()); // opened and locked as /dev/pts/N itself
    // Another program opening the device by its own name finds it taken.
    QSerialPort other(pty.devicePath());
    QVERIFY(!other.open(QIODevice::ReadWrite));
    panel.sendText(QStringLiteral("C00"));
    QCOMPARE(pty.readAtLeast(4, 5000), QByteArray("C00\r"));
}

// A process with no file descriptor left: the line says so, with the limit, instead of
// blaming the lock file's permissions.
void SerialLineTest::outOfFileDescriptors()
{
    PseudoTerminal pty;
    SerialLine line;
    rlimit before{};
    QCOMPARE(::getrlimit(RLIMIT_NOFILE, &before), 0);
    rlimit low = before;
    low.rlim_cur = std::min<rlim_t>(before.rlim_cur, 512);
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &low), 0);
    std::vector<int> taken;
    for (int fd = 0; (fd = ::dup(STDIN_FILENO)) >= 0;)
        taken.push_back(fd);
    const bool opened = line.open(pty.devicePath(), LineSettings{});
    const QString detail = line.failureDetail();
    // Given back before any check, which could not report a failure without descriptors.
    for (const int fd : taken)
        ::close(fd);
    ::setrlimit(RLIMIT_NOFILE, &before);
    QVERIFY(!opened);
    QCOMPARE(line.failure(), Line::Failure::Other);
    QVERIFY2(detail.contains(QString::number(low.rlim_cur)) && detail.contains("ulimit -n"),
             qPrintable(detail));
}

void SerialLineTest::buttonsPutExactBytesOnTheLine()
{
    PseudoTerminal pty;
    LivePanel panel(pty.devicePath());
    // Two buttons with the same caption (VIDEO) on different terminals, and the longest code.
    panel.click("terminal-3-video");
    panel.click("terminal-2-video");
    panel.click("image-1");
    panel.click("power-off");
    const QByteArray expected("C33\rC23\rCF IMAGE CUSTOM1\rC01\r");
    QCOMPARE(pty.readAtLeast(int(expected.size()), 5000), expected);
}

void SerialLineTest::heldVolumeRepeats()
{
    PseudoTerminal pty;
    LivePanel panel(pty.devicePath());
    panel.press("volume-up");
    const QByteArray held = pty.readFor(1000); // the event loop turns meanwhile
    panel.release("volume-up");
    const QByteArray after = pty.readFor(600);
    // 250 ms apart, first at once: about five in a second; generous for a busy machine.
    QVERIFY2(held.count("C09\r") >= 4 && held.count("C09\r") <= 6, held.constData());
    QCOMPARE(held, QByteArray("C09\r").repeated(held.count("C09\r")));
    QVERIFY2(after.size() <= 4, after.constData()); // at most one send in flight at the release
    QVERIFY(pty.readFor(600).isEmpty());
}

QTEST_MAIN(SerialLineTest)
#include "tst_serial_line.moc"
