// SPDX-License-Identifier: MIT
// What the operator does on the window, handed to the session: clicks, the hold buttons' raw
// presses and releases (mouse or Space), the hidden key combination, the choices of the settings
// frame.
#include "ui/panel_window.h"

#include "protocol/catalogue.h"
#include "ui/widgets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

void PanelWindow::connectControls()
{
    auto button = [this](const char *name) {
        auto *b = qobject_cast<QAbstractButton *>(control(QString::fromLatin1(name)));
        Q_ASSERT_X(b, "PanelWindow", name);
        return b;
    };

    for (const protocol::Command &command : protocol::commands()) {
        QWidget *w = control(QString::fromLatin1(command.name));
        Q_ASSERT_X(w, "PanelWindow", command.name.data());
        if (!w)
            continue;
        if (command.kind == protocol::Kind::OneShot) {
            connect(qobject_cast<QAbstractButton *>(w), &QAbstractButton::clicked, this,
                    [this, &command] { session_.send(command); });
        } else {
            // Hold buttons act on the raw press and release of any mouse button or of Space
            // (see eventFilter). A click that none of those came before is assistive
            // technology's press action (or speech input's "click"): one step, pressed and
            // released at once.
            holdButtons_.insert(w, &command);
            connect(qobject_cast<QAbstractButton *>(w), &QAbstractButton::clicked, this,
                    [this, w, &command] {
                        if (rawPress_ == w)
                            return;
                        session_.press(command);
                        session_.release(command);
                    });
        }
    }

    connect(button("port-settings"), &QAbstractButton::clicked, &session_,
            &PanelSession::openSettings);
    connect(button("end"), &QAbstractButton::clicked, &session_, &PanelSession::end);
    // clicked, not toggled: choosing the port that is already marked tries it again, which is
    // how an operator recovers once the adapter is back.
    for (int port = 1; port <= 2; ++port)
        connect(portButton(port), &QAbstractButton::clicked, this,
                [this, port] { session_.choosePort(port); });
    connect(button("speed-19200"), &QAbstractButton::clicked, this,
            [this] { session_.chooseSpeed(19200); });
    connect(button("speed-9600"), &QAbstractButton::clicked, this,
            [this] { session_.chooseSpeed(9600); });
    connect(dataView_, &QAbstractButton::clicked, &session_, &PanelSession::toggleDataView);
    if (auto *picture = qobject_cast<PanelImage *>(control(QStringLiteral("picture"))))
        connect(picture, &PanelImage::doubleClicked, &session_, &PanelSession::openFullView);
    connect(button("send"), &QAbstractButton::clicked, this,
            [this] { session_.sendText(commandText_->text()); });
    connect(button("clear-command"), &QAbstractButton::clicked, commandText_, &QLineEdit::clear);

    // One filter on the application sees the hold buttons' mouse events and, as key preview,
    // every key pressed in this window before the control that has the focus.
    qApp->installEventFilter(this);
}

bool PanelWindow::holdButtonEvent(QObject *button, const protocol::Command &command, QEvent *event)
{
    const auto *mouse = static_cast<QMouseEvent *>(event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: // a quick second press arrives as a double-click
        rawPressed(button);
        session_.press(command);
        break;
    case QEvent::MouseButtonRelease:
        session_.release(command);
        rawReleased();
        break;
    default: return false;
    }
    // The left button also works the button's own look (sunken while held); the others would
    // travel on to the frame behind it.
    return mouse->button() != Qt::LeftButton;
}

// Space on a focused hold button works it as a mouse button would: down is the press, up the
// release. The key's own auto-repeat changes nothing: the panel's repeat sets the rhythm. The
// button also sinks and rises with the key, as Qt's buttons do.
void PanelWindow::holdButtonKey(const protocol::Command &command, QAbstractButton *button,
                                const QKeyEvent *key)
{
    if (key->isAutoRepeat())
        return;
    if (key->key() == Qt::Key_Space) {
        // Auto-repeat that Qt could not tell as such (a screen reader's key handling delays the
        // events) is told by the session, which lets a key release wait a moment.
        if (key->type() == QEvent::KeyPress) {
            rawPressed(button);
            session_.keyPress(command);
        } else if (button->isDown()) { // a Space that went down elsewhere is no release
            session_.keyRelease(command);
            rawReleased();
        }
    } else if (key->type() == QEvent::KeyPress && key->matches(QKeySequence::Cancel) &&
               button->isDown()) {
        // Escape lets the button up without its release reaching it: the hold ends here.
        session_.endHoldEarly();
    }
}

void PanelWindow::rawPressed(QObject *button)
{
    rawPress_ = button;
    ++rawPresses_;
}

// The button's own click, if any, follows the release before the event loop turns again; a
// press that came in the meantime keeps its own mark.
void PanelWindow::rawReleased()
{
    QMetaObject::invokeMethod(
        this,
        [this, presses = rawPresses_] {
            if (rawPresses_ == presses)
                rawPress_ = nullptr;
        },
        Qt::QueuedConnection);
}

// Enter on a focused one-shot button clicks it, as Space does; held down, it clicks once.
bool PanelWindow::enterOnButton(QObject *watched, const QKeyEvent *key)
{
    auto *button = qobject_cast<PanelButton *>(watched);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers chord =
        key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (!button || !enter || chord || holdButtons_.contains(watched))
        return false;
    if (!key->isAutoRepeat())
        button->click();
    return true;
}

void PanelWindow::keyPressed(int key, Qt::KeyboardModifiers modifiers)
{
    // Ctrl+J, with neither Shift nor Alt, opens the monitor. Auto-repeat only does it again.
    const Qt::KeyboardModifiers which =
        modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (which == Qt::ControlModifier && key == Qt::Key_J)
        session_.openExtendedView();
}

bool PanelWindow::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
        if (const protocol::Command *command = holdButtons_.value(watched))
            return holdButtonEvent(watched, *command, event);
        break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        if (auto *w = qobject_cast<QWidget *>(watched); w && w->window() == this) {
            const auto *key = static_cast<QKeyEvent *>(event);
            // A key the focused control ignores travels on to its parents and passes here again;
            // opening the same view again is harmless.
            if (event->type() == QEvent::KeyPress)
                keyPressed(key->key(), key->modifiers());
            if (const protocol::Command *command = holdButtons_.value(watched))
                holdButtonKey(*command, static_cast<QAbstractButton *>(w), key);
            else if (event->type() == QEvent::KeyPress &&
                     (enterOnButton(watched, key) || portMenuKey(watched, key)))
                return true;
        }
        break;
    case QEvent::UngrabMouse:
        if (holdButtons_.contains(watched))
            session_.endHoldEarly();
        break;
    case QEvent::FocusOut:
        // The held button losing the keyboard (Tab, a click elsewhere) ends its hold, as losing
        // the mouse does; the Space that comes up later on another control changes nothing.
        if (const protocol::Command *command = holdButtons_.value(watched);
            command && session_.held() == command)
            session_.endHoldEarly();
        break;
    default: break;
    }
    return QWidget::eventFilter(watched, event);
}

void PanelWindow::changeEvent(QEvent *event)
{
    // Losing the window's activation (another window, a dialog) while a hold button is down
    // counts as its release, so the projector's volume or zoom never runs away unseen.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        session_.endHoldEarly();
    QWidget::changeEvent(event);
}
