// The buttons that send: one-shot clicks, and press, repeat and release of the hold buttons.
#include "app/form1.h"

#include "panel/commands.h"
#include "panel/widgets.h"

#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPushButton>

namespace {
QString commandString(const char *code) { return QString::fromLatin1(code) + QLatin1Char('\r'); }
QString name(std::string_view s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); }
} // namespace

void Form1::connectButtons()
{
    for (const panel::OneShot &row : panel::oneShots()) {
        auto *button = qobject_cast<QPushButton *>(control(name(row.control)));
        Q_ASSERT_X(button, "Form1", row.control.data());
        if (button)
            connect(button, &QPushButton::clicked, this, [this, &row] { Command_Click(row); });
    }
    // Hold buttons act on the raw press and release of any mouse button, never on a click.
    for (const panel::Hold &row : panel::holds()) {
        QWidget *button = control(name(row.control));
        Q_ASSERT_X(button, "Form1", row.control.data());
        if (!button)
            continue;
        holdButtons_.insert(button, &row);
    }
    if (Command34)
        connect(Command34, &QPushButton::clicked, this, &Form1::Command34_Click);
    if (Image1)
        connect(Image1, &PanelImage::doubleClicked, this, &Form1::Image1_DblClick);
    if (auto *send = qobject_cast<QPushButton *>(control(QStringLiteral("Command95"))))
        connect(send, &QPushButton::clicked, this, &Form1::Command95_Click);
    if (auto *cls = qobject_cast<QPushButton *>(control(QStringLiteral("Command96"))))
        connect(cls, &QPushButton::clicked, this, &Form1::Command96_Click);
    // One filter on the application sees the hold buttons' mouse events and, as key preview,
    // every key pressed in this window before the control that has the focus.
    qApp->installEventFilter(this);
}

void Form1::Command_Click(const panel::OneShot &row)
{
    if (row.replyTimeout > 0) {
        Timer2->setInterval(row.replyTimeout);
        Timer4->setInterval(row.displayClear);
    }
    LastCommand = commandString(row.code);
    Hyouji(LastCommand, 1);
    if (row.primesArrows) {
        Timer1->setInterval(panel::kPrimedRepeatPeriod);
        ArrowSpeed = panel::kPrimedArrowSpeed;
    }
}

void Form1::Command_MouseDown(const panel::Hold &row)
{
    holdEndedEarly_ = false;
    if (row.menuArrow) {
        const panel::ArrowSpeedRow *speed = panel::arrowSpeed(ArrowSpeed);
        if (speed && speed->replyTimeout > 0) {
            Timer2->setInterval(speed->replyTimeout);
            Timer4->setInterval(speed->displayClear);
        }
        HeldKey = row.key;
        LastCommand = commandString(row.code);
        Hyouji(LastCommand, 1);
        Timer1->setEnabled(true);
        return;
    }
    HeldKey = row.key;
    LastCommand = commandString(row.code);
    Hyouji(LastCommand, 1);
    Timer1->setInterval(row.repeatPeriod);
    Timer2->setInterval(row.replyTimeout);
    Timer4->setInterval(row.displayClear);
    Timer1->setEnabled(true);
}

void Form1::Timer1_Timer()
{
    const char *code = panel::repeatCode(HeldKey);
    if (!code) {
        Timer1->setEnabled(false); // nothing is held: nothing to repeat
        return;
    }
    LastCommand = commandString(code);
    Hyouji(LastCommand, 1);
    Timer1->setEnabled(true);
}

void Form1::Command_MouseUp(const panel::Hold &row)
{
    HeldKey = 0;
    Timer1->setEnabled(false);
    Timer2->setEnabled(false);
    Timer4->setEnabled(true);
    Label11->setText(QString());
    Label12->setText(QString());
    Timer2->setInterval(panel::kNormalReplyTimeout);
    Timer4->setInterval(panel::kNormalDisplayClear);
    emptyReceiveBuffer();
    if (row.digitalZoom) {
        Timer1->setInterval(panel::kDigitalZoomRepeatPeriod);
        ArrowSpeed = panel::kDigitalZoomArrowSpeed;
    }
}

void Form1::endHoldEarly()
{
    if (HeldKey == 0)
        return;
    if (const panel::Hold *row = panel::holdForKey(HeldKey))
        Command_MouseUp(*row);
    holdEndedEarly_ = true;
}

bool Form1::holdButtonEvent(const panel::Hold &row, QEvent *event)
{
    const auto *mouse = static_cast<QMouseEvent *>(event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: // a quick second press arrives as a double-click
        Command_MouseDown(row);
        break;
    case QEvent::MouseButtonRelease:
        if (holdEndedEarly_ && HeldKey == 0)
            holdEndedEarly_ = false; // this hold has been ended already
        else
            Command_MouseUp(row);
        break;
    default:
        return false;
    }
    // The left button also works the button's own look (sunken while held); the others would
    // travel on to the frame behind it.
    return mouse->button() != Qt::LeftButton;
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
        if (const panel::Hold *row = holdButtons_.value(watched))
            return holdButtonEvent(*row, event);
        break;
    case QEvent::KeyPress:
        if (auto *w = qobject_cast<QWidget *>(watched); w && w->window() == this) {
            // A key the focused control ignores travels on to its parents and passes here again;
            // Form_KeyDown only ever sets the same values, so that is harmless.
            const auto *key = static_cast<QKeyEvent *>(event);
            const Qt::KeyboardModifiers m = key->modifiers();
            const int shift = (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) |
                              (m & Qt::AltModifier ? 4 : 0);
            Form_KeyDown(key->key(), shift);
        }
        break;
    case QEvent::UngrabMouse:
        if (holdButtons_.contains(watched))
            endHoldEarly();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::changeEvent(QEvent *event)
{
    // Losing the window's activation (another window, a dialog) while a hold button is down
    // counts as its release, so the projector's volume or zoom never runs away unseen.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        endHoldEarly();
    QWidget::changeEvent(event);
}
