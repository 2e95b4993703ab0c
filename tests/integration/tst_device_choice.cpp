// SPDX-License-Identifier: MIT
// The device chosen in the dialog on the real line: the panel opens the pseudo-terminal the
// dialog listed, and started again with nothing naming COM1, it opens that device by itself.
#include "core/kernel_scheduler.h"
#include "line/serial_line.h"
#include "pseudo_terminal.h"
#include "quiet_platform.h"
#include "session/panel_session.h"
#include "ui/device_dialog.h"
#include "ui/panel_window.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

namespace {

constexpr int kWait = 10000; // generous: a busy machine must not fail these

// The panel as the program puts it together: real timers, the real serial line, a device map
// that remembers in the given settings.
struct Panel
{
    std::unique_ptr<Scheduler> scheduler = makeEventLoopScheduler();
    SerialLine line;
    DeviceMap devices;
    std::unique_ptr<PanelSession> session;
    std::unique_ptr<PanelWindow> window;
    QStringList warnings;

    Panel(QSettings &settings, const QString &given, const QList<Adapter> &adapters)
    {
        quietOffscreenPlatform();
        devices.rememberIn(&settings);
        if (!given.isEmpty())
            devices.setGiven(1, given);
        session = std::make_unique<PanelSession>(*scheduler, line, devices);
        QObject::connect(session.get(), &PanelSession::warning,
                         [this](const QString &t) { warnings << t; });
        window = std::make_unique<PanelWindow>(*session);
        window->setWarningPresenter([](const QString &) {});
        window->setAdapterFinder([adapters] { return adapters; });
        session->start();
        window->show();
    }

    void powerOn()
    {
        QTest::mouseClick(window->control(QStringLiteral("power-on")), Qt::LeftButton);
    }
};

} // namespace

class DeviceChoiceTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { qunsetenv("ODRA_COM1"); }
    void choiceOpensAndIsRememberedAcrossARestart();
    void choiceThatCannotBeRemembered();
    void rememberedValueThatNamesNoDevice();
};

void DeviceChoiceTest::choiceOpensAndIsRememberedAcrossARestart()
{
    qunsetenv("ODRA_COM1");
    PseudoTerminal pty;
    QVERIFY(pty.isValid());
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("odra-control.conf"));
    const QList<Adapter> adapters{{"/dev/ttyUSB9", "FT232R USB UART", "FTDI", "A1", ""},
                                  {pty.devicePath(), "pseudo-terminal", "", "", ""}};
    {
        // First start: COM1 points nowhere, the operator picks the pseudo-terminal.
        QSettings settings(file, QSettings::IniFormat);
        Panel panel(settings, QStringLiteral("/dev/odra-test-no-such-device"), adapters);
        QCOMPARE(panel.warnings.size(), 1);
        QVERIFY(!panel.session->portOpen());
        DeviceDialog *dialog = panel.window->openDeviceDialog(1);
        auto *list = dialog->findChild<QTreeWidget *>(QStringLiteral("adapters"));
        QCOMPARE(list->topLevelItemCount(), 2);
        list->setCurrentItem(list->topLevelItem(1));
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("open")), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(panel.session->portOpen(), kWait);
        panel.powerOn();
        QCOMPARE(pty.readAtLeast(4, kWait), QByteArray("C00\r"));
        QCOMPARE(panel.warnings.size(), 1);
    }
    {
        // Started again with nothing naming COM1: the remembered device, at once.
        QSettings settings(file, QSettings::IniFormat);
        Panel panel(settings, QString(), adapters);
        QVERIFY2(panel.warnings.isEmpty(), qPrintable(panel.warnings.join('\n')));
        QCOMPARE(panel.session->device(), pty.devicePath());
        QCOMPARE(panel.devices.source(1), DeviceMap::Source::Remembered);
        panel.powerOn();
        QCOMPARE(pty.readAtLeast(4, kWait), QByteArray("C00\r"));
    }
    {
        // The environment still comes first.
        qputenv("ODRA_COM1", "/dev/odra-test-no-such-device");
        QSettings settings(file, QSettings::IniFormat);
        Panel panel(settings, QString(), adapters);
        QCOMPARE(panel.warnings.size(), 1);
        QVERIFY2(panel.warnings[0].contains(QLatin1String("ODRA_COM1")),
                 qPrintable(panel.warnings[0]));
        QVERIFY(pty.readFor(100).isEmpty());
    }
}

// The settings cannot be written (their folder is a plain file here, which stops even root):
// the choice opens its device, and the operator is told once that it holds for this run only.
void DeviceChoiceTest::choiceThatCannotBeRemembered()
{
    PseudoTerminal pty;
    QVERIFY(pty.isValid());
    QTemporaryDir dir;
    QFile notAFolder(dir.filePath(QStringLiteral("odra")));
    QVERIFY(notAFolder.open(QIODevice::WriteOnly));
    const QString file = notAFolder.fileName() + QStringLiteral("/odra-control.conf");
    QSettings settings(file, QSettings::IniFormat);
    Panel panel(settings, QStringLiteral("/dev/odra-test-no-such-device"), {});
    QCOMPARE(panel.warnings.size(), 1); // the given device is missing
    for (int choice = 0; choice < 2; ++choice) {
        panel.session->chooseDevice(1, pty.devicePath());
        QVERIFY(panel.session->portOpen());
    }
    QCOMPARE(panel.warnings.size(), 2);
    QVERIFY2(panel.warnings[1].contains(QLatin1String("this run only")) &&
                 panel.warnings[1].contains(file),
             qPrintable(panel.warnings[1]));
}

// A remembered setting that is a list, or no text at all: passed over with one warning that
// names the file and the key.
void DeviceChoiceTest::rememberedValueThatNamesNoDevice()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("odra-control.conf"));
    QFile ini(file);
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[devices]\ncom1=/dev/ttyUSB0, /dev/ttyUSB1\n");
    ini.close();
    PseudoTerminal pty;
    QSettings settings(file, QSettings::IniFormat);
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QRegularExpression::escape(file) +
                                            QStringLiteral(".*devices/com1 is not a device name")));
    Panel panel(settings, pty.devicePath(), {});
    QVERIFY2(panel.warnings.isEmpty(), qPrintable(panel.warnings.join('\n')));
}

QTEST_MAIN(DeviceChoiceTest)
#include "tst_device_choice.moc"
