// SPDX-License-Identifier: MIT
// What assistive technology meets on the real window: every control's role, name and words, the
// labels' text as it changes and the events each change sends, the hold buttons worked with the
// Space key on the manual clock, the other buttons' keys, and a visible focus on every control.
// The events need Qt's accessibility switched on, which only a platform with an accessibility
// bus does: tst_accessibility_bus runs this test again on Xvfb with the AT-SPI bus.

#include "protocol/catalogue.h"
#include "protocol/traffic.h"
#include "ui/layout.h"
#include "text.h"
#include "window_fixture.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QtTest>

#include <algorithm>

namespace {

using View = PanelSession::View;

QAccessibleInterface *accessibleOf(QWidget *w)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
    if (!iface)
        qFatal("no accessible interface for %s", qPrintable(w->objectName()));
    return iface;
}

QString textOf(QAccessibleInterface *iface)
{
    QAccessibleTextInterface *text = iface->textInterface();
    return text ? text->text(0, text->characterCount()) : QStringLiteral("<no text interface>");
}

// The real window on the session, on screen and active.
struct Panel : WindowFixture
{
    using WindowFixture::WindowFixture;

    [[nodiscard]] bool showActive()
    {
        window->show();
        window->activateWindow();
        return QTest::qWaitForWindowActive(window.get());
    }

    // The focus reaches the control as from the Tab key, so that styles draw it as for a
    // keyboard user (Qt marks the window so only for a real Tab key).
    QWidget *focusOn(const QString &name)
    {
        QWidget *w = widget(name);
        w->setFocus(Qt::TabFocusReason);
        window->setAttribute(Qt::WA_KeyboardFocusChange);
        return w;
    }
};

void sendKey(QEvent::Type type, Qt::Key key, bool autoRepeat = false,
             Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget *target = QApplication::focusWidget();
    QVERIFY(target);
    const QString text = key == Qt::Key_Space ? QStringLiteral(" ") : QString();
    QKeyEvent event(type, key, modifiers, text, autoRepeat);
    QApplication::sendEvent(target, &event);
}

// The accessibility events of one object, as the screen reader's side of Qt would get them.
struct EventLog
{
    static inline QList<QString> *events = nullptr;
    static inline QObject *watched = nullptr;

    static void record(QAccessibleEvent *event)
    {
        if (!events || event->object() != watched)
            return;
        switch (event->type()) {
        case QAccessible::TextUpdated: {
            const auto *e = static_cast<QAccessibleTextUpdateEvent *>(event);
            *events << QStringLiteral("updated at %1: [%2] -> [%3]")
                           .arg(e->changePosition())
                           .arg(e->textRemoved(), e->textInserted());
            break;
        }
        case QAccessible::TextInserted: {
            const auto *e = static_cast<QAccessibleTextInsertEvent *>(event);
            *events << QStringLiteral("inserted at %1: [%2]")
                           .arg(e->changePosition())
                           .arg(e->textInserted());
            break;
        }
        case QAccessible::NameChanged: *events << QStringLiteral("name"); break;
        case QAccessible::ObjectShow: *events << QStringLiteral("shown"); break;
        default: break;
        }
    }
};

} // namespace

class AccessibilityTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }

    // Names and words
    void everyControlFromTheLayout_data();
    void everyControlFromTheLayout();
    void namesAsTheOperatorHearsThem_data();
    void namesAsTheOperatorHearsThem();
    void namesTellTheControlsApart();
    void theWindowAndThePicture();
    void pressAction_data();
    void pressAction();

    // The labels
    void labelsReadAsShown();
    void changeEvents_data();
    void changeEvents();

    // Keys
    void spaceHoldsAHoldButton_data();
    void spaceHoldsAHoldButton();
    void keyHoldEndsEarly_data();
    void keyHoldEndsEarly();
    void oneShotKeys_data();
    void oneShotKeys();
    void focusIsVisible_data();
    void focusIsVisible();
};

// Names and words ---------------------------------------------------------------------------------

void AccessibilityTest::everyControlFromTheLayout_data()
{
    QTest::addColumn<QString>("name");
    for (const layout::Control &c : layout::controls())
        QTest::newRow(QByteArray(c.name.data(), qsizetype(c.name.size())).constData())
            << utf8Text(c.name);
}

// Each control of the table presents itself as its kind, with its spoken name (or its caption,
// or for a label its text) and, where it has them, its words from the catalogue or the table.
void AccessibilityTest::everyControlFromTheLayout()
{
    QFETCH(QString, name);
    const std::string key = name.toStdString();
    const layout::Control &c =
        *std::find_if(layout::controls().begin(), layout::controls().end(),
                      [&](const layout::Control &row) { return row.name == key; });
    Panel f;
    QAccessibleInterface *iface = accessibleOf(f.widget(name));

    const bool statusLine = name == "status-line";
    QAccessible::Role role = QAccessible::NoRole;
    switch (c.kind) {
    case layout::Kind::Frame: role = QAccessible::Grouping; break;
    case layout::Kind::Label:
        role = statusLine ? QAccessible::Notification : QAccessible::StaticText;
        break;
    case layout::Kind::Button: role = QAccessible::Button; break;
    case layout::Kind::Option: role = QAccessible::RadioButton; break;
    case layout::Kind::TextBox: role = QAccessible::EditableText; break;
    case layout::Kind::Image: role = QAccessible::Graphic; break;
    }
    QCOMPARE(iface->role(), role);

    QString expected = QString::fromUtf8(*c.spoken ? c.spoken : c.caption);
    if (name == "data-view")
        expected = f.widget<QAbstractButton>(name)->text(); // its caption follows the view
    QCOMPARE(iface->text(QAccessible::Name), expected);
    if (c.kind == layout::Kind::Label)
        QCOMPARE(textOf(iface), expected);

    const protocol::Command *command = protocol::findCommand(key);
    const char *purpose = layout::purpose(key);
    const QString words = command   ? utf8Text(command->what)
                          : purpose ? QString::fromUtf8(purpose)
                                    : QString();
    QCOMPARE(iface->text(QAccessible::Description), words);
}

void AccessibilityTest::namesAsTheOperatorHearsThem_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("words");
    // clang-format off
    QTest::newRow("volume +")      << "volume-up"        << "Volume +"         << "Volume up";
    QTest::newRow("zoom -")        << "zoom-out"         << "Zoom -"           << "Zoom out";
    QTest::newRow("d.zoom +")      << "d-zoom-in"        << "D.Zoom +"         << "Digital zoom in";
    QTest::newRow("keystone -")    << "keystone-minus"   << "Keystone -"       << "Keystone -";
    QTest::newRow("lens shift up") << "lens-shift-up"    << "Lens shift ↑"     << "Lens shift up";
    QTest::newRow("menu left")     << "menu-left"        << "Menu ←"           << "Menu cursor left";
    QTest::newRow("power on")      << "power-on"         << "Power ON"         << "Power on";
    QTest::newRow("mute off")      << "sound-mute-off"   << "Sound mute OFF"   << "Sound mute off";
    QTest::newRow("no show on")    << "no-show-on"       << "No show ON"       << "No show (picture off) on";
    QTest::newRow("freeze off")    << "freeze-off"       << "Freeze OFF"       << "Unfreeze the picture";
    QTest::newRow("input 1")       << "input-1"          << "Input mode 1"     << "Input mode 1";
    QTest::newRow("terminal 2")    << "terminal-2-video" << "Terminal 2 VIDEO" << "Terminal 2: VIDEO";
    QTest::newRow("a caption that says it") << "p-timer" << "P-TIMER"          << "P-TIMER key";
    QTest::newRow("speed option")  << "speed-9600"       << "Speed 9600"       << "9600 baud";
    QTest::newRow("command box")   << "command-text"     << "CMD"              << "Any command, sent as typed with a carriage return by SEND";
    // clang-format on
}

void AccessibilityTest::namesAsTheOperatorHearsThem()
{
    QFETCH(QString, control);
    QFETCH(QString, name);
    QFETCH(QString, words);
    Panel f;
    QAccessibleInterface *iface = accessibleOf(f.widget(control));
    QCOMPARE(iface->text(QAccessible::Name), name);
    QCOMPARE(iface->text(QAccessible::Description), words);
}

// No two controls that take the focus share a name, and each name keeps its caption exactly as
// shown: what a speech-input user says is on the screen, and one name picks one control.
void AccessibilityTest::namesTellTheControlsApart()
{
    Panel f;
    QHash<QString, QString> owner;
    for (const layout::Control &c : layout::controls()) {
        if (c.kind != layout::Kind::Button && c.kind != layout::Kind::Option)
            continue;
        const QString objectName = utf8Text(c.name);
        const QString said = accessibleOf(f.widget(objectName))->text(QAccessible::Name);
        QVERIFY2(!owner.contains(said),
                 qPrintable(said + " names " + objectName + " and " + owner.value(said)));
        owner.insert(said, objectName);
        const QString caption = f.widget<QAbstractButton>(objectName)->text();
        QVERIFY2(said == caption || said.endsWith(QLatin1Char(' ') + caption),
                 qPrintable(objectName + ": " + said));
    }
}

// The window is a window named by its title; the picture says what its double-click does and
// does it as its action, for those who cannot double-click.
void AccessibilityTest::theWindowAndThePicture()
{
    Panel f;
    QAccessibleInterface *window = accessibleOf(f.window.get());
    QCOMPARE(window->role(), QAccessible::Window);
    QCOMPARE(window->text(QAccessible::Name), QString::fromUtf8(layout::kWindowCaption));

    QAccessibleInterface *picture = accessibleOf(f.widget(QStringLiteral("picture")));
    QVERIFY(picture->text(QAccessible::Description).contains(QStringLiteral("Double-click")));
    QAccessibleActionInterface *action = picture->actionInterface();
    QVERIFY(action);
    QVERIFY(action->actionNames().contains(QAccessibleActionInterface::pressAction()));
    action->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(f.session->view(), View::Opened); // as a double-click: only after Ctrl+J
    f.session->openExtendedView();
    action->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(f.session->view(), View::Full);

    // The decorative lines are for the eye only.
    QAccessibleInterface *line =
        accessibleOf(f.window->findChild<QWidget *>(QStringLiteral("pad-outline-1")));
    QVERIFY(line->state().invisible);
}

void AccessibilityTest::pressAction_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("heldBefore");
    QTest::newRow("a one-shot") << "status" << false;
    QTest::newRow("a hold button: one step") << "volume-up" << false;
    QTest::newRow("a hold button the mouse let go outside it") << "zoom-in" << true;
}

// A button's press action (what a speech-input "click" or an accessibility tool does) sends
// its command once, a hold button's included.
void AccessibilityTest::pressAction()
{
    QFETCH(QString, button);
    QFETCH(bool, heldBefore);
    Panel f;
    f.showAll();
    QVERIFY(f.showActive());
    auto *b = f.widget<QAbstractButton>(button);
    if (heldBefore) {
        QTest::mousePress(b, Qt::LeftButton);
        QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(-20, -20));
        QTest::qWait(10);
        f.line.writes.clear();
    }
    accessibleOf(b)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    const QByteArray bytes =
        protocol::commandString(Panel::command(qPrintable(button)).code).toLatin1();
    QTRY_COMPARE(f.line.writes.size(), 1);
    QCOMPARE(f.line.writes.first().bytes, bytes);
    QCOMPARE(f.session->held(), nullptr);
    f.advance(2000);
    QCOMPARE(f.line.writes.size(), 1);
}

// The labels ------------------------------------------------------------------------------------

// A monitor line reads as it is shown at that moment, blanks included, and grows with a reply
// arriving in pieces; its characters are where they are drawn.
void AccessibilityTest::labelsReadAsShown()
{
    Panel f;
    f.showAll();
    QVERIFY(f.showActive());
    QAccessibleInterface *status = accessibleOf(f.widget(QStringLiteral("status-line")));
    QAccessibleInterface *rxd = accessibleOf(f.widget(QStringLiteral("receive-line")));
    QCOMPARE(status->text(QAccessible::Name), QString());

    f.send("status");
    f.line.receive("8");
    QCOMPARE(rxd->text(QAccessible::Name), " 8 ");
    f.line.receive("0\r");
    QCOMPARE(rxd->text(QAccessible::Name), " 8 0 CR ");
    QCOMPARE(textOf(rxd), " 8 0 CR ");
    QCOMPARE(status->text(QAccessible::Name), " Stand by");
    QCOMPARE(textOf(status), " Stand by");
    QCOMPARE(status->textInterface()->text(1, 6), "Stand");

    // The S of " Stand by" lies inside the label, right of the blank, and is found there again.
    QAccessibleTextInterface *text = status->textInterface();
    const QRect s = text->characterRect(1);
    QVERIFY(!s.isEmpty());
    QVERIFY(status->rect().contains(s));
    QVERIFY(s.left() > text->characterRect(0).left());
    QCOMPARE(text->offsetAtPoint(s.center()), 1);

    f.advance(5000); // the display clear blanks the lines
    QCOMPARE(status->text(QAccessible::Name), QString());
    QCOMPARE(text->characterCount(), 0);
}

void AccessibilityTest::changeEvents_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("status line: each new text shows, the blank does not")
        << "status-line"
        << QStringList{"updated at 0: [] -> [ Stand by]", "name", "shown",
                       "updated at 0: [ Stand by] -> []", "name"};
    QTest::newRow("RXD line: a reply in pieces, only the new tokens")
        << "receive-line"
        << QStringList{"updated at 0: [] -> [ 8 ]",      "name", "inserted at 3: [0 CR ]", "name",
                       "updated at 0: [ 8 0 CR ] -> []", "name"};
}

// What a screen reader hears of a status query: the status line's new text, announced; the
// reply's tokens as they arrive; the blanking at the display clear.
void AccessibilityTest::changeEvents()
{
    QFETCH(QString, label);
    QFETCH(QStringList, events);
    Panel f;
    if (!qEnvironmentVariableIsSet("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"))
        QSKIP("needs the accessibility bus (tst_accessibility_bus)");
    QVERIFY(QTest::qWaitFor([] { return QAccessible::isActive(); }, 10000));
    f.showAll();
    QVERIFY(f.showActive());

    QList<QString> seen;
    EventLog::events = &seen;
    EventLog::watched = f.widget(label);
    const auto previous = QAccessible::installUpdateHandler(&EventLog::record);
    f.send("status");
    f.line.receive("8");
    f.line.receive("0\r");
    f.advance(5000);
    QAccessible::installUpdateHandler(previous);
    EventLog::events = nullptr;
    QCOMPARE(seen, events);
}

// Keys ------------------------------------------------------------------------------------------

void AccessibilityTest::spaceHoldsAHoldButton_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("heldMs");
    QTest::addColumn<bool>("repeatMarked");
    QTest::addColumn<QList<qint64>>("sends");
    const QList<qint64> volume{0, 250, 500, 750, 1000};
    QTest::newRow("volume +, 1.1 s") << "volume-up" << 1100 << true << volume;
    // As with a screen reader running: the auto-repeat arrives as plain up and down, a few
    // milliseconds apart.
    QTest::newRow("volume +, 1.1 s, repeat unmarked") << "volume-up" << 1100 << false << volume;
    QTest::newRow("zoom -, 0.38 s") << "zoom-out" << 380 << true << QList<qint64>{0, 150, 300};
    // The release waits out its grace: a tick that falls within it still goes out.
    QTest::newRow("zoom -, let go 20 ms before a tick")
        << "zoom-out" << 430 << true << QList<qint64>{0, 150, 300, 450};
    QTest::newRow("ENTER, 0.1 s") << "menu-enter" << 100 << false << QList<qint64>{0};
}

// Space down is the press and Space up the release; the key's auto-repeat, arriving all along as
// up and down pairs, changes nothing, whether Qt marks it or not. The release takes effect once
// the key has stayed up for the grace that tells it from auto-repeat.
void AccessibilityTest::spaceHoldsAHoldButton()
{
    QFETCH(QString, button);
    QFETCH(int, heldMs);
    QFETCH(bool, repeatMarked);
    QFETCH(QList<qint64>, sends);
    Panel f;
    QVERIFY(f.showActive());
    f.focusOn(button);
    const protocol::Command &command = Panel::command(qPrintable(button));
    const qint64 t0 = f.clock.nowMs();

    sendKey(QEvent::KeyPress, Qt::Key_Space);
    QCOMPARE(f.session->held(), &command);
    QVERIFY(f.widget<QAbstractButton>(button)->isDown());
    for (int t = 30; t + 10 < heldMs; t += 30) {
        f.clock.advanceTo(t0 + t);
        sendKey(QEvent::KeyRelease, Qt::Key_Space, repeatMarked);
        if (!repeatMarked)
            f.clock.advanceTo(t0 + t + 10);
        sendKey(QEvent::KeyPress, Qt::Key_Space, repeatMarked);
        QCOMPARE(f.session->held(), &command);
    }
    f.clock.advanceTo(t0 + heldMs);
    sendKey(QEvent::KeyRelease, Qt::Key_Space);
    QVERIFY(!f.widget<QAbstractButton>(button)->isDown());
    f.advance(PanelSession::kKeyRepeatGraceMs);
    QCOMPARE(f.session->held(), nullptr);
    f.advance(2000);
    QCOMPARE(f.sendTimes(t0), sends);
    for (const auto &w : f.line.writes)
        QCOMPARE(w.bytes, protocol::commandString(command.code).toLatin1());
}

void AccessibilityTest::keyHoldEndsEarly_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Tab to the next control") << "tab";
    QTest::newRow("a click on another control") << "click";
    QTest::newRow("another window activated") << "deactivate";
    QTest::newRow("Escape") << "escape";
}

// Losing the focus, or the window, while Space holds a button ends the hold as a release would;
// Space coming up later, wherever, changes nothing.
void AccessibilityTest::keyHoldEndsEarly()
{
    QFETCH(QString, how);
    Panel f;
    f.showAll();
    QVERIFY(f.showActive());
    f.focusOn(QStringLiteral("volume-down"));
    sendKey(QEvent::KeyPress, Qt::Key_Space);
    f.advance(250);
    QCOMPARE(f.line.writes.size(), 2);

    QWidget other;
    if (how == "tab") {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() != f.widget(QStringLiteral("volume-down")));
    } else if (how == "click") {
        f.click(QStringLiteral("command-text"));
    } else if (how == "deactivate") {
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
    } else {
        sendKey(QEvent::KeyPress, Qt::Key_Escape);
    }
    QTRY_COMPARE(f.session->held(), nullptr);
    f.advance(2000);
    QCOMPARE(f.line.writes.size(), 2);

    // A new command on the lines; the Space that comes up late leaves it there.
    f.send("power-on");
    if (how == "deactivate") {
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
    }
    sendKey(QEvent::KeyRelease, Qt::Key_Space);
    QCOMPARE(f.shown("transmit-line"), " C 0 0 CR ");
    QCOMPARE(f.line.writes.size(), 3);
}

void AccessibilityTest::oneShotKeys_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QStringList>("sent");
    QTest::newRow("Space clicks a one-shot") << "space"
                                             << "power-on" << QStringList{"C00"};
    QTest::newRow("Enter clicks a one-shot") << "enter"
                                             << "status" << QStringList{"CR0"};
    QTest::newRow("Enter held down clicks once") << "enter-repeating"
                                                 << "temp" << QStringList{"CR6"};
    QTest::newRow("Enter on a hold button does nothing") << "enter"
                                                         << "volume-up" << QStringList{};
    QTest::newRow("Space down on a one-shot, up on a hold button") << "space-across"
                                                                   << "power-on" << QStringList{};
}

// One-shot buttons click with Space, as Qt's buttons do, and with Enter; a held key clicks once.
// A Space that went down on another control is no release of a hold button.
void AccessibilityTest::oneShotKeys()
{
    QFETCH(QString, keys);
    QFETCH(QString, focus);
    QFETCH(QStringList, sent);
    Panel f;
    f.showAll();
    QVERIFY(f.showActive());
    f.focusOn(focus);
    if (keys == "space") {
        sendKey(QEvent::KeyPress, Qt::Key_Space);
        sendKey(QEvent::KeyRelease, Qt::Key_Space);
    } else if (keys == "enter") {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    } else if (keys == "enter-repeating") {
        sendKey(QEvent::KeyPress, Qt::Key_Enter);
        for (int i = 0; i < 5; ++i)
            sendKey(QEvent::KeyPress, Qt::Key_Enter, true);
        sendKey(QEvent::KeyRelease, Qt::Key_Enter);
    } else {
        sendKey(QEvent::KeyPress, Qt::Key_Space);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); // on to VOL +
        QCOMPARE(QApplication::focusWidget(), f.widget(QStringLiteral("volume-up")));
        sendKey(QEvent::KeyRelease, Qt::Key_Space);
    }
    QStringList written;
    for (const auto &w : f.line.writes)
        written << QString::fromLatin1(w.bytes).chopped(1);
    QCOMPARE(written, sent);
    QCOMPARE(f.session->held(), nullptr);
    QVERIFY(f.shown("transmit-line").isEmpty() == sent.isEmpty());
}

void AccessibilityTest::focusIsVisible_data()
{
    QTest::addColumn<QString>("name");
    for (const layout::Control &c : layout::controls()) {
        if (c.tab >= 0 && (c.kind == layout::Kind::Button || c.kind == layout::Kind::Option ||
                           c.kind == layout::Kind::TextBox))
            QTest::newRow(QByteArray(c.name.data(), qsizetype(c.name.size())).constData())
                << utf8Text(c.name);
    }
}

// Every control that takes the focus looks different with it: a keyboard user sees where it
// is. (tst_accessibility_x2 runs this at twice the density.)
void AccessibilityTest::focusIsVisible()
{
    QFETCH(QString, name);
    Panel f;
    f.showAll();
    f.session->openSettings();
    QVERIFY(f.showActive());
    QWidget *w = f.widget(name);
    QVERIFY(w->isVisible());
    f.focusOn(QStringLiteral("end"));
    if (name == "end")
        f.focusOn(QStringLiteral("power-on"));
    QVERIFY(!w->hasFocus());
    const QImage without = w->grab().toImage();
    f.focusOn(name);
    QVERIFY(w->hasFocus());
    const QImage with = w->grab().toImage();
    QVERIFY2(with != without, "the focus does not show");
}

QTEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
