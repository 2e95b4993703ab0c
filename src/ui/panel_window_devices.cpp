// SPDX-License-Identifier: MIT
// Which device a port is, chosen on the window: "Choose device…" beside the OK of a warning that
// a port's device failed, and the context menu of the port's option button (mouse, the menu
// key, Shift+F10). Both open the device dialog; what it accepts reaches the session.
#include "ui/panel_window.h"

#include "ui/device_dialog.h"
#include "ui/widgets.h"

#include "session/device_advice.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

namespace {

// The texts of this part of the window. %1 is the port's number.
constexpr const char *kChooseDevice = "Choose device…";
constexpr const char *kChooseDeviceFor = "Choose device for COM%1…";
constexpr const char *kChooseDeviceWhat = "Choose which device or device server COM%1 is";

} // namespace

QIcon PanelWindow::appIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64})
        icon.addPixmap(readPicture(QStringLiteral(":/panel/icon/odra-control-%1.png").arg(size)));
    return icon;
}

void PanelWindow::setAdapterFinder(std::function<QList<Adapter>()> find)
{
    findAdapters_ = std::move(find);
}

void PanelWindow::showWarning(const QString &text, int port)
{
    // Not blocking: the window keeps receiving and its timers keep running while the operator
    // reads the message.
    auto *box = new QMessageBox(QMessageBox::Warning, appTitle(), wrappableText(text),
                                QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("warning"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    if (port != 0) {
        QPushButton *choose =
            box->addButton(QString::fromUtf8(kChooseDevice), QMessageBox::ActionRole);
        choose->setObjectName(QStringLiteral("choose-device"));
        choose->setAccessibleDescription(QString::fromUtf8(kChooseDeviceWhat).arg(port));
        connect(box, &QMessageBox::finished, this, [this, box, choose, port] {
            if (box->clickedButton() == choose)
                openDeviceDialog(port);
        });
    }
    box->show();
}

DeviceDialog *PanelWindow::openDeviceDialog(int port)
{
    if (deviceDialog_ && deviceDialog_->port() == port) {
        deviceDialog_->raise();
        deviceDialog_->activateWindow();
        return deviceDialog_;
    }
    if (deviceDialog_)
        deviceDialog_->reject();

    const DeviceMap &devices = session_.devices();
    auto *dialog = new DeviceDialog(port, devices.device(port), devices.source(port),
                                    deviceOrigin(devices, port), findAdapters_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        // The option button follows the port chosen, as at a click on it.
        session_.chooseDevice(dialog->port(), dialog->device());
    });
    deviceDialog_ = dialog;
    dialog->open();
    return dialog;
}

void PanelWindow::connectPortMenus()
{
    for (int port = 1; port <= 2; ++port) {
        QWidget *button = portButton(port);
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(button, &QWidget::customContextMenuRequested, this,
                [this, port, button](const QPoint &at) { showPortMenu(port, button, at); });
    }
}

// Shift+F10 on a port's option button: its context menu, as the menu key gives it.
bool PanelWindow::portMenuKey(QObject *watched, const QKeyEvent *key)
{
    if (key->key() != Qt::Key_F10 || key->modifiers() != Qt::ShiftModifier)
        return false;
    for (int port = 1; port <= 2; ++port) {
        QWidget *button = portButton(port);
        if (watched == button) {
            showPortMenu(port, button, button->rect().center());
            return true;
        }
    }
    return false;
}

void PanelWindow::showPortMenu(int port, QWidget *button, const QPoint &at)
{
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("port-menu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction *choose = menu->addAction(QString::fromUtf8(kChooseDeviceFor).arg(port));
    choose->setObjectName(QStringLiteral("choose-device"));
    connect(choose, &QAction::triggered, this, [this, port] { openDeviceDialog(port); });
    // Not exec(): the panel's timers and line go on while the menu is open.
    menu->popup(button->mapToGlobal(at));
}
