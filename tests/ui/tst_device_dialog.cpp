// SPDX-License-Identifier: MIT
// Choosing a port's device on the window: the dialog lists what it is given and takes what is
// typed, opens from the warning's "Choose device…" and from the COM options' context menu (mouse,
// menu key, Shift+F10), and what it accepts becomes the port's device, opened and remembered.
#include "pseudo_terminal.h"
#include "ui/device_dialog.h"
#include "window_fixture.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

namespace {

const QString kStable =
    QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0");

// The window on a session whose device map remembers in a file of its own.
struct Panel
{
    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("odra-control.conf")), QSettings::IniFormat};
    std::unique_ptr<WindowFixture> f;
    QList<Adapter> adapters = {
        {"/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A10K3XYZ", kStable},
        {"/dev/ttyS0", "", "", "", ""},
    };

    Panel()
    {
        f = std::make_unique<WindowFixture>(
            [this](SessionFixture &s) { s.devices.rememberIn(&settings); });
        f->window->setAdapterFinder([this] { return adapters; });
        f->window->show();
    }

    DeviceDialog *dialog() const { return f->window->findChild<DeviceDialog *>(); }
    template <typename T> T *in(const char *name) const
    {
        auto *w = dialog() ? dialog()->findChild<T *>(QString::fromLatin1(name)) : nullptr;
        if (!w)
            qFatal("no %s in the dialog", name);
        return w;
    }
    void accept(const QString &device)
    {
        in<QLineEdit>("device")->setText(device);
        QTest::mouseClick(in<QPushButton>("open"), Qt::LeftButton);
    }
};

} // namespace

class DeviceDialogTest : public QObject
{
    Q_OBJECT
private slots:
    void listsWhatItIsGiven();
    void typedNames_data();
    void typedNames();
    void fromTheWarning_data();
    void fromTheWarning();
    void fromThePortMenu_data();
    void fromThePortMenu();
    void everyControlIsNamed();
};

void DeviceDialogTest::listsWhatItIsGiven()
{
    PseudoTerminal pty;
    QVERIFY(pty.isValid());
    Panel p;
    p.adapters << Adapter{pty.devicePath(), "pseudo-terminal", "", "", ""};
    p.f->window->openDeviceDialog(1);
    QVERIFY(p.dialog());
    QCOMPARE(p.dialog()->windowTitle(), QStringLiteral("COM1 device"));
    // Where COM1's device comes from now, and that the command line wins again next time.
    const QString now = p.in<QLabel>("device-now")->text();
    QVERIFY2(now.startsWith(QStringLiteral("COM1 is /dev/fake-com1 (given on the command line).")),
             qPrintable(now));
    QVERIFY2(now.contains(QLatin1String("next start")), qPrintable(now));

    auto *list = p.in<QTreeWidget>("adapters");
    QCOMPARE(list->topLevelItemCount(), 3);
    const QStringList first{"/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A10K3XYZ", kStable};
    for (int column = 0; column < 5; ++column)
        QCOMPARE(list->topLevelItem(0)->text(column), first[column]);
    QCOMPARE(list->topLevelItem(2)->text(0), pty.devicePath());

    // Picking an adapter takes its stable name where it has one.
    list->setCurrentItem(list->topLevelItem(0));
    QCOMPARE(p.in<QLineEdit>("device")->text(), kStable);
    list->setCurrentItem(list->topLevelItem(2));
    QCOMPARE(p.in<QLineEdit>("device")->text(), pty.devicePath());

    // An adapter plugged in later shows after Refresh.
    p.adapters << Adapter{"/dev/ttyACM0", "late", "", "", ""};
    QTest::mouseClick(p.in<QPushButton>("refresh"), Qt::LeftButton);
    QCOMPARE(list->topLevelItemCount(), 4);

    p.f->line.clearLog();
    QTest::mouseClick(p.in<QPushButton>("open"), Qt::LeftButton);
    QTRY_VERIFY(!p.dialog());
    QCOMPARE(p.f->line.calls,
             (QStringList{"close", QStringLiteral("open %1 19200,N,8,1").arg(pty.devicePath())}));
    QVERIFY(p.f->session->portOpen());
    QCOMPARE(p.f->devices.source(1), DeviceMap::Source::Chosen);
    // Kept for the next start: a map reading the same settings has it.
    QSettings again(p.settings.fileName(), QSettings::IniFormat);
    DeviceMap restarted;
    restarted.rememberIn(&again);
    QCOMPARE(restarted.device(1), pty.devicePath());
    QCOMPARE(restarted.device(2), QStringLiteral("/dev/ttyS1"));
}

void DeviceDialogTest::typedNames_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<QString>("device"); // what is used, when it opens

    QTest::newRow("path") << "/dev/ttyUSB3" << true << "/dev/ttyUSB3";
    QTest::newRow("blanks around") << "  /dev/ttyUSB3 " << true << "/dev/ttyUSB3";
    QTest::newRow("not ASCII") << "/dev/ttyÜSB" << true << "/dev/ttyÜSB";
    QTest::newRow("rfc2217") << "rfc2217://rack-7:2001" << true << "rfc2217://rack-7:2001";
    QTest::newRow("IPv6 socket") << "socket://[fd00::7]:4001" << true << "socket://[fd00::7]:4001";
    QTest::newRow("empty") << "" << false << "";
    QTest::newRow("only blanks") << "   " << false << "";
    QTest::newRow("unknown kind") << "tcp://box:2000" << false << "";
    QTest::newRow("no port") << "rfc2217://box" << false << "";
    const QString huge = QStringLiteral("/dev/") + QString(10000, QLatin1Char('x'));
    QTest::newRow("huge, cut to the most a name may be")
        << huge << true << huge.left(DeviceDialog::kMostChars);
}

void DeviceDialogTest::typedNames()
{
    QFETCH(QString, typed);
    QFETCH(bool, opens);
    QFETCH(QString, device);
    Panel p;
    p.f->window->openDeviceDialog(2);
    p.in<QLineEdit>("device")->setText(typed);
    QCOMPARE(p.in<QPushButton>("open")->isEnabled(), opens);
    // A bad network name says what is wrong with it; an empty box needs no words.
    const bool worded = !p.in<QLabel>("device-problem")->isHidden();
    QCOMPARE(worded, !opens && !typed.trimmed().isEmpty());
    if (!opens)
        return;
    p.f->line.clearLog();
    QTest::keyClick(p.in<QLineEdit>("device"), Qt::Key_Return);
    QTRY_VERIFY(!p.dialog());
    QCOMPARE(p.f->line.calls.value(1), QStringLiteral("open %1 19200,N,8,1").arg(device));
    QCOMPARE(p.f->devices.device(2), device);
}

void DeviceDialogTest::fromTheWarning_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("port"); // whose device the box offers to choose; 0 for none

    QTest::newRow("device missing") << "missing" << 2;
    QTest::newRow("device busy") << "busy" << 2;
    QTest::newRow("line lost") << "lost" << 1;
    QTest::newRow("port would not close") << "close" << 0;
}

void DeviceDialogTest::fromTheWarning()
{
    QFETCH(QString, fault);
    QFETCH(int, port);
    Panel p;
    p.f->window->setWarningPresenter({}); // the real message box
    if (fault == QLatin1String("missing"))
        p.f->line.missing << SessionFixture::kCom2;
    if (fault == QLatin1String("busy"))
        p.f->line.busy << SessionFixture::kCom2;
    if (fault == QLatin1String("close"))
        p.f->line.failNextClose = true;
    if (fault == QLatin1String("lost"))
        p.f->line.loseLine();
    else
        p.f->session->choosePort(2);

    auto *box = p.f->window->findChild<QMessageBox *>(QStringLiteral("warning"));
    QVERIFY(box);
    QCOMPARE(box->text().remove(QChar(0x200B)), p.f->warnings.value(0));
    auto *choose = box->findChild<QPushButton *>(QStringLiteral("choose-device"));
    QCOMPARE(choose != nullptr, port != 0);
    if (!choose)
        return;
    QCOMPARE(choose->text(), QStringLiteral("Choose device…"));
    QVERIFY(box->button(QMessageBox::Ok));
    QTest::mouseClick(choose, Qt::LeftButton);
    QTRY_VERIFY(p.dialog());
    QCOMPARE(p.dialog()->port(), port);
    p.accept(QStringLiteral("/dev/fake-new"));
    QTRY_VERIFY(!p.dialog());
    QCOMPARE(p.f->session->port(), port);
    QVERIFY(p.f->session->portOpen());
    QCOMPARE(p.f->line.device(), QStringLiteral("/dev/fake-new"));
}

void DeviceDialogTest::fromThePortMenu_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("port");

    QTest::newRow("mouse on COM2") << "mouse" << 2;
    QTest::newRow("menu key on COM1") << "menu key" << 1;
    QTest::newRow("Shift+F10 on COM2") << "Shift+F10" << 2;
}

void DeviceDialogTest::fromThePortMenu()
{
    QFETCH(QString, how);
    QFETCH(int, port);
    Panel p;
    p.f->session->openSettings();
    auto *option = p.f->widget<QAbstractButton>(QStringLiteral("com%1").arg(port));
    const QPoint middle = option->rect().center();
    if (how == QLatin1String("Shift+F10")) {
        QTest::keyClick(option, Qt::Key_F10, Qt::ShiftModifier);
    } else {
        // What the window system hands the widget for a right click or the menu key.
        QContextMenuEvent event(how == QLatin1String("mouse") ? QContextMenuEvent::Mouse
                                                              : QContextMenuEvent::Keyboard,
                                middle, option->mapToGlobal(middle));
        QApplication::sendEvent(option, &event);
    }
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QVERIFY(menu);
    const QList<QAction *> actions = menu->actions();
    QCOMPARE(actions.size(), 1);
    QCOMPARE(actions[0]->text(), QStringLiteral("Choose device for COM%1…").arg(port));
    actions[0]->trigger();
    menu->close();
    QTRY_VERIFY(p.dialog());
    QCOMPARE(p.dialog()->port(), port);

    // The chosen port is marked and opened on the new device, as a choice in the frame would
    // be; the frame closes.
    p.f->line.clearLog();
    p.accept(QStringLiteral("/dev/fake-chosen"));
    QTRY_VERIFY(!p.dialog());
    QVERIFY(option->isChecked());
    QCOMPARE(p.f->session->port(), port);
    QCOMPARE(p.f->line.calls,
             (QStringList{"close", QStringLiteral("open /dev/fake-chosen 19200,N,8,1")}));
    QVERIFY(!p.f->session->settingsOpen());
}

// A screen reader names every control of the dialog and says what it does.
void DeviceDialogTest::everyControlIsNamed()
{
    Panel p;
    p.f->window->openDeviceDialog(1);
    int controls = 0;
    for (QWidget *w : p.dialog()->findChildren<QWidget *>()) {
        if (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisibleTo(p.dialog()))
            continue;
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
        QVERIFY(a);
        QVERIFY2(!a->text(QAccessible::Name).isEmpty(), qPrintable(w->objectName()));
        QVERIFY2(!a->text(QAccessible::Description).isEmpty(), qPrintable(w->objectName()));
        ++controls;
    }
    QCOMPARE(controls, 5); // the list, the box, Open, Cancel, Refresh
}

QTEST_MAIN(DeviceDialogTest)
#include "tst_device_dialog.moc"
