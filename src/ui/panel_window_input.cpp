// What the operator does on the window, handed to the session: clicks, the hold buttons' raw
// presses and releases, the hidden key combination, the choices of the settings frame.
#include "ui/panel_window.h"

#include "protocol/catalogue.h"
#include "ui/widgets.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

namespace {
QString nameOf(std::string_view s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); }
} // namespace

void PanelWindow::connectControls()
{
    auto button = [this](const char *name) {
        auto *b = qobject_cast<QAbstractButton *>(control(QString::fromLatin1(name)));
        Q_ASSERT_X(b, "PanelWindow", name);
        return b;
    };

    for (const protocol::Command &command : protocol::commands()) {
        QWidget *w = control(nameOf(command.name));
        Q_ASSERT_X(w, "PanelWindow", command.name.data());
        if (!w)
            continue;
        if (command.kind == protocol::Kind::OneShot) {
            connect(qobject_cast<QAbstractButton *>(w), &QAbstractButton::clicked, this,
                    [this, &command] { session_.send(command); });
        } else {
            // Hold buttons act on the raw press and release of any mouse button, never on a
            // click (see eventFilter).
            holdButtons_.insert(w, &command);
        }
    }

    connect(button("port-settings"), &QAbstractButton::clicked, &session_,
            &PanelSession::openSettings);
    connect(button("end"), &QAbstractButton::clicked, &session_, &PanelSession::end);
    // clicked, not toggled: choosing the port that is already marked tries it again, which is
    // how an operator recovers once the adapter is back.
    connect(button("com1"), &QAbstractButton::clicked, this, [this] { session_.choosePort(1); });
    connect(button("com2"), &QAbstractButton::clicked, this, [this] { session_.choosePort(2); });
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

bool PanelWindow::holdButtonEvent(const protocol::Command &command, QEvent *event)
{
    const auto *mouse = static_cast<QMouseEvent *>(event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: // a quick second press arrives as a double-click
        session_.press(command);
        break;
    case QEvent::MouseButtonRelease: session_.release(command); break;
    default: return false;
    }
    // The left button also works the button's own look (sunken while held); the others would
    // travel on to the frame behind it.
    return mouse->button() != Qt::LeftButton;
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
            return holdButtonEvent(*command, event);
        break;
    case QEvent::KeyPress:
        if (auto *w = qobject_cast<QWidget *>(watched); w && w->window() == this) {
            // A key the focused control ignores travels on to its parents and passes here again;
            // opening the same view again is harmless.
            const auto *key = static_cast<QKeyEvent *>(event);
            keyPressed(key->key(), key->modifiers());
        }
        break;
    case QEvent::UngrabMouse:
        if (holdButtons_.contains(watched))
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
