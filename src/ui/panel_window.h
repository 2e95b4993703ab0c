// SPDX-License-Identifier: MIT
#pragma once

#include "line/adapters.h"
#include "session/panel_session.h"

#include <QHash>
#include <QIcon>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

class QAbstractButton;
class QKeyEvent;
class QLineEdit;
class QPushButton;
class DeviceDialog;
class PanelLabel;
namespace protocol {
struct Command;
}

// The window: a view of the session. It builds the controls from the layout table, hands each
// control's event to the session (a click, a hold button's press and release, a key, a choice)
// and shows what the session says. It keeps no state beyond what is on screen.
class PanelWindow final : public QWidget
{
    Q_OBJECT
public:
    explicit PanelWindow(PanelSession &session, QWidget *parent = nullptr);
    ~PanelWindow() override;

    // The application's short title, used on message boxes.
    static QString appTitle();
    // The program's icon, the badge of the panel's picture, at every size it is drawn in.
    static QIcon appIcon();

    // How a warning reaches the operator: a message box that does not block the window (with
    // "Choose device…" beside OK when a port's device failed), unless replaced (the tests record
    // warnings instead); an empty function brings the message box back.
    void setWarningPresenter(std::function<void(const QString &)> present);

    // Where the device dialog learns of the system's adapters (the tests give their own list).
    void setAdapterFinder(std::function<QList<Adapter>()> find);
    // The device dialog for a port, over the window; the port's device changes when it is
    // accepted. An open dialog for another port gives way.
    DeviceDialog *openDeviceDialog(int port);

    // A control of the layout by name, or nullptr.
    QWidget *control(const QString &name) const { return controls_.value(name); }

    // The window's outer height in twips (the client height and 370 for the frame).
    int outerHeightTwips() const { return outerHeightTwips_; }

    PanelSession &session() const { return session_; }

    // Where the window opens on a screen with the given geometry and free area (the screen less
    // its panels and docks), in logical pixels: centred as the full window would be, the top
    // taken for the full height, so the compact window sits above the centre. Where the full
    // window does not fit the free area there, it is moved into it, but never so that its top
    // or left leaves it: the title bar stays within reach.
    static QPoint startPosition(const QRect &screen, const QRect &available);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // The option button of COM1 or COM2 in the settings frame.
    QAbstractButton *portButton(int port) const;
    void connectControls();
    void connectSession();
    void placeOnScreen();
    void setOuterHeight(int twips);
    void showView(PanelSession::View view);
    bool holdButtonEvent(QObject *button, const protocol::Command &command, QEvent *event);
    void rawPressed(QObject *button);
    void rawReleased();
    void holdButtonKey(const protocol::Command &command, QAbstractButton *button,
                       const QKeyEvent *key);
    bool enterOnButton(QObject *watched, const QKeyEvent *key);
    void keyPressed(int key, Qt::KeyboardModifiers modifiers);
    void showWarning(const QString &text, int port);
    void connectPortMenus();
    void showPortMenu(int port, QWidget *button, const QPoint &at);
    bool portMenuKey(QObject *watched, const QKeyEvent *key);

    PanelSession &session_;
    QHash<QString, QWidget *> controls_;
    // The hold buttons by widget, for their raw mouse and Space key events.
    QHash<QObject *, const protocol::Command *> holdButtons_;
    // The hold button pressed by the mouse or Space, until its own click has passed.
    QObject *rawPress_ = nullptr;
    quint64 rawPresses_ = 0;
    PanelLabel *transmitLine_ = nullptr;
    PanelLabel *receiveLine_ = nullptr;
    PanelLabel *statusLine_ = nullptr;
    QWidget *settingsFrame_ = nullptr;
    QPushButton *dataView_ = nullptr;
    QLineEdit *commandText_ = nullptr;
    int outerHeightTwips_ = 0;
    std::function<void(const QString &)> presentWarning_;
    std::function<QList<Adapter>()> findAdapters_;
    QPointer<DeviceDialog> deviceDialog_;
};
