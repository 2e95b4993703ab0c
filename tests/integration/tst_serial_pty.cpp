// The window on real timers and the real QSerialPort over a pseudo-terminal; the test plays the
// projector at the far end. Bounds are generous: these tests prove the parts fit, not timing.
#include "fd_io.h"
#include "live_panel.h"
#include "pseudo_terminal.h"

#include <QRadioButton>
#include <QSerialPort>
#include <QtTest>

class SerialPtyTest : public QObject
{
    Q_OBJECT
private slots:
    void opensAt19200EightNOne();
    void writesExactBytesAndShowsReply();
    void speedChangeKeepsPortOpen();
    void missingDevice();
    void busyDevice();
    void hangUpWarnsOnceWithoutSpinning();
    void buttonsPutExactBytesOnTheLine();
    void heldVolumeRepeats();
};

void SerialPtyTest::opensAt19200EightNOne()
{
    PseudoTerminal pty;
    QVERIFY(pty.isValid());
    LivePanel panel(pty.devicePath());
    QVERIFY(panel.warnings.isEmpty());
    QVERIFY(panel.port.portOpen());
    termios t{};
    QVERIFY(pty.deviceAttributes(&t));
    QCOMPARE(cfgetospeed(&t), speed_t(B19200));
    QCOMPARE(cfgetispeed(&t), speed_t(B19200));
    QCOMPARE(t.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
}

void SerialPtyTest::writesExactBytesAndShowsReply()
{
    PseudoTerminal pty;
    LivePanel panel(pty.devicePath());
    panel.send(QStringLiteral("CR0\r"));
    QCOMPARE(pty.readAtLeast(4, 5000), QByteArray("CR0\r"));
    QCOMPARE(panel.txd(), " C R 0 CR ");

    QVERIFY(pty.write("80\r"));
    QTRY_COMPARE_WITH_TIMEOUT(panel.rxd(), QString(" 8 0 CR "), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(panel.statusLine(), QString(" Stand by"), 5000);
    // And the display clears itself on the real timers.
    QTRY_VERIFY_WITH_TIMEOUT(panel.rxd().isEmpty(), 10000);
    QVERIFY(pty.readFor(50).isEmpty()); // nothing was written that was not asked for
}

void SerialPtyTest::speedChangeKeepsPortOpen()
{
    PseudoTerminal pty;
    LivePanel panel(pty.devicePath());
    panel.form->Command33_Click();
    QTest::mouseClick(panel.form->Option10, Qt::LeftButton);
    QVERIFY(panel.port.portOpen());
    termios t{};
    QVERIFY(pty.deviceAttributes(&t));
    QCOMPARE(cfgetospeed(&t), speed_t(B9600));
    // Still the same line: a command goes through.
    panel.send(QStringLiteral("C00\r"));
    QCOMPARE(pty.readAtLeast(4, 5000), QByteArray("C00\r"));
}

void SerialPtyTest::missingDevice()
{
    LivePanel panel(QStringLiteral("/dev/odra-no-such-device"));
    QCOMPARE(panel.warnings.size(), 1);
    QVERIFY(panel.warnings[0].contains("/dev/odra-no-such-device"));
    QVERIFY(!panel.port.portOpen());
    panel.send(QStringLiteral("C00\r"));
    QCOMPARE(panel.statusLine(), " COM1 not open");
}

void SerialPtyTest::busyDevice()
{
    PseudoTerminal pty;
    QSerialPort other(pty.devicePath());
    QVERIFY(other.open(QIODevice::ReadWrite)); // another program holds the line
    LivePanel panel(pty.devicePath());
    QCOMPARE(panel.warnings.size(), 1);
    QVERIFY2(panel.warnings[0].contains("in use"), qPrintable(panel.warnings[0]));
    QVERIFY(!panel.port.portOpen());

    // Freed, and chosen again: the panel recovers without a restart.
    other.close();
    panel.form->Command33_Click();
    QTest::mouseClick(panel.form->Option1, Qt::LeftButton);
    QVERIFY(panel.port.portOpen());
    QCOMPARE(panel.warnings.size(), 1);
}

void SerialPtyTest::hangUpWarnsOnceWithoutSpinning()
{
    PseudoTerminal pty;
    LivePanel panel(pty.devicePath());
    QVERIFY(panel.port.portOpen());
    pty.closeFarEnd();
    QTRY_COMPARE_WITH_TIMEOUT(panel.warnings.size(), 1, 5000);
    QVERIFY(!panel.port.portOpen());

    // A second of the event loop after the loss: no busy loop, no second warning.
    const double before = processCpuSeconds();
    QTest::qWait(1000);
    const double spent = processCpuSeconds() - before;
    QVERIFY2(spent < 0.5, qPrintable(QStringLiteral("%1 s of CPU in 1 s").arg(spent)));
    QCOMPARE(panel.warnings.size(), 1);
    panel.send(QStringLiteral("C00\r"));
    QCOMPARE(panel.statusLine(), " COM1 not open");
}

void SerialPtyTest::buttonsPutExactBytesOnTheLine()
{
    PseudoTerminal pty;
    LivePanel panel(pty.devicePath());
    // A few buttons whose captions repeat elsewhere, and the longest code.
    panel.click("Command81"); // VIDEO, row 3
    panel.click("Command12"); // VIDEO, row 2
    panel.click("Command39"); // IMAGE1
    panel.click("Command18"); // POWER OFF
    const QByteArray expected("C33\rC23\rCF IMAGE CUSTOM1\rC01\r");
    QCOMPARE(pty.readAtLeast(int(expected.size()), 5000), expected);
}

void SerialPtyTest::heldVolumeRepeats()
{
    PseudoTerminal pty;
    LivePanel panel(pty.devicePath());
    QWidget *volumeUp = panel.form->control(QStringLiteral("Command1"));
    QTest::mousePress(volumeUp, Qt::LeftButton);
    const QByteArray held = pty.readFor(1000); // the event loop turns meanwhile
    QTest::mouseRelease(volumeUp, Qt::LeftButton);
    const QByteArray after = pty.readFor(600);
    // 250 ms apart, first at once: about five in a second; generous for a busy machine.
    QVERIFY2(held.count("C09\r") >= 4 && held.count("C09\r") <= 6, held.constData());
    QCOMPARE(held, QByteArray("C09\r").repeated(held.count("C09\r")));
    QVERIFY2(after.size() <= 4, after.constData()); // at most one send in flight at the release
    QVERIFY(pty.readFor(600).isEmpty());
}

QTEST_MAIN(SerialPtyTest)
#include "tst_serial_pty.moc"
