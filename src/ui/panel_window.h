#pragma once

#include "session/panel_session.h"

#include <QHash>
#include <QString>
#include <QWidget>

#include <functional>

class QAbstractButton;
class QKeyEvent;
class QLineEdit;
class QPushButton;
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

    // How a warning reaches the operator: a message box that does not block the window, unless
    // replaced (the tests record warnings instead).
    void setWarningPresenter(std::function<void(const QString &)> present);

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
};
