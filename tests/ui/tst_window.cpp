// SPDX-License-Identifier: MIT
// The window's wiring, driven by real mouse and key events on the offscreen window: every control
// reaches the session's operation it stands for, and the window shows what the session says.
// When the session does what (the repeat periods, the reply window, the display clear) is for
// the session's own tests; here the manual clock only moves far enough to see a repeat happen.

#include "protocol/catalogue.h"
#include "protocol/traffic.h"
#include "text.h"
#include "window_fixture.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>
#include <QStyleHints>
#include <QToolTip>
#include <QtTest>

#include <cmath>

namespace {

using View = PanelSession::View;

const QString kClose = QStringLiteral("CLOSE");
const QString kShowData = QStringLiteral("データを表示する");
const QString kHideData = QStringLiteral("データを表示しない");

// The buttons that are not commands of the catalogue, each wired to an operation of its own.
const QStringList kOtherButtons = {"port-settings", "end", "data-view", "send", "clear-command"};

QByteArray bytesOf(const protocol::Command &command)
{
    return protocol::commandString(command.code).toLatin1();
}

const char *viewName(View v)
{
    switch (v) {
    case View::Opened: return "Opened";
    case View::Extended: return "Extended";
    case View::Full: return "Full";
    case View::Compact: return "Compact";
    case View::DataView: return "DataView";
    }
    return "?";
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

    QLineEdit *box() const { return widget<QLineEdit>(QStringLiteral("command-text")); }
    QList<QByteArray> written() const
    {
        QList<QByteArray> out;
        for (const auto &w : line.writes)
            out << w.bytes;
        return out;
    }
    // Whether the three monitor lines show exactly what the session says they hold.
    bool linesAsSession() const
    {
        return shown("transmit-line") == txd() && shown("receive-line") == rxd() &&
               shown("status-line") == statusLine();
    }
    QString linesText() const
    {
        return QStringLiteral("window [%1|%2|%3], session [%4|%5|%6]")
            .arg(shown("transmit-line"), shown("receive-line"), shown("status-line"), txd(), rxd(),
                 statusLine());
    }
};

// Counts the J keys a control receives.
struct KeyCounter : QObject
{
    int presses = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(e)->key() == Qt::Key_J)
            ++presses;
        return false;
    }
};

} // namespace

class WindowTest : public QObject
{
    Q_OBJECT
private slots:
    // Buttons
    void catalogueButton_data();
    void catalogueButton();
    void everyButtonIsWired();
    void portSettingsShowsTheFrame();
    void settingsChoice_data();
    void settingsChoice();
    void endClosesThePortAndTheWindow();

    // Views and the hidden key
    void viewTable_data();
    void viewTable();
    void ctrlJFromTheFocusedControl_data();
    void ctrlJFromTheFocusedControl();
    void ctrlJAutoRepeat();
    void keyAlsoReachesTheFocusedControl();

    // What the window shows
    void startUp();
    void startPosition_data();
    void startPosition();
    void monitorLines_data();
    void monitorLines();
    void longReplyInPieces();

    // Hold buttons under the mouse
    void anyMouseButtonHolds_data();
    void anyMouseButtonHolds();
    void leavingAndReenteringKeepsTheHold();
    void doubleClickSendsAgain();
    void holdEndedEarly_data();
    void holdEndedEarly();

    // The command box
    void returnInTheBoxSendsNothing();
    void sendTypedText_data();
    void sendTypedText();
    void clsClearsOnlyTheBox();
    void longTextGoesOutWhole();
    void boxLimit_data();
    void boxLimit();
    void steadyCursorOnALongText();
};

// Buttons ----------------------------------------------------------------------------------------

void WindowTest::catalogueButton_data()
{
    QTest::addColumn<QString>("name");
    for (const protocol::Command &c : protocol::commands())
        QTest::newRow(QByteArray(c.name.data(), qsizetype(c.name.size())).constData())
            << latin1Text(c.name);
}

// A one-shot acts on the click and sends once; a hold button sends on the press, repeats while
// it is down, and stops at the release.
void WindowTest::catalogueButton()
{
    QFETCH(QString, name);
    Panel f;
    f.showAll();
    QVERIFY(f.showActive());
    const protocol::Command &command = *protocol::findCommand(name.toStdString());
    const QByteArray bytes = bytesOf(command);
    auto *button = f.widget<PanelButton>(name);
    QVERIFY(button->isVisible());

    QTest::mousePress(button, Qt::LeftButton);
    if (command.kind == protocol::Kind::OneShot) {
        QVERIFY(f.line.writes.isEmpty());
        QTest::mouseRelease(button, Qt::LeftButton);
        QCOMPARE(f.written(), QList<QByteArray>{bytes});
        QCOMPARE(f.session->held(), nullptr);
        f.advance(5000);
        QCOMPARE(f.written(), QList<QByteArray>{bytes});
        return;
    }

    QCOMPARE(f.written(), QList<QByteArray>{bytes});
    QCOMPARE(f.session->held(), &command);
    f.advance(f.session->repeat().interval());
    QCOMPARE(f.written(), QList<QByteArray>({bytes, bytes}));
    QTest::mouseRelease(button, Qt::LeftButton);
    QCOMPARE(f.session->held(), nullptr);
    f.advance(5000);
    QCOMPARE(f.written(), QList<QByteArray>({bytes, bytes}));
}

// Every button of the window is either a command of the catalogue or one of the few with an
// operation of their own; every command has its button.
void WindowTest::everyButtonIsWired()
{
    Panel f;
    QStringList buttons, expected = kOtherButtons;
    for (const PanelButton *b : f.window->findChildren<PanelButton *>())
        buttons << b->objectName();
    for (const protocol::Command &c : protocol::commands())
        expected << latin1Text(c.name);
    buttons.sort();
    expected.sort();
    QCOMPARE(buttons, expected);
}

void WindowTest::portSettingsShowsTheFrame()
{
    Panel f;
    QVERIFY(f.showActive());
    QWidget *frame = f.widget(QStringLiteral("settings-frame"));
    QVERIFY(frame->isHidden());
    f.line.clearLog();
    f.click(QStringLiteral("port-settings"));
    QVERIFY(f.session->settingsOpen());
    QVERIFY(frame->isVisible());
    QVERIFY(f.line.calls.isEmpty() && f.line.writes.isEmpty()); // the port is left alone

    // The session closes it in its own time; the window follows.
    f.advance(protocol::kSettingsCloseMs);
    QVERIFY(!f.session->settingsOpen());
    QVERIFY(frame->isHidden());
}

void WindowTest::settingsChoice_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QStringList>("calls");
    QTest::newRow("com1, already marked: tried again")
        << "com1" << QStringList{"close", "open /dev/fake-com1 19200,N,8,1"};
    QTest::newRow("com2") << "com2" << QStringList{"close", "open /dev/fake-com2 19200,N,8,1"};
    QTest::newRow("speed-9600") << "speed-9600" << QStringList{"settings 9600,N,8,1"};
    QTest::newRow("speed-19200, already marked")
        << "speed-19200" << QStringList{"settings 19200,N,8,1"};
}

void WindowTest::settingsChoice()
{
    QFETCH(QString, option);
    QFETCH(QStringList, calls);
    Panel f;
    QVERIFY(f.showActive());
    f.click(QStringLiteral("port-settings"));
    f.line.clearLog();
    f.click(option);
    QCOMPARE(f.line.calls, calls);
    QVERIFY(f.widget<QRadioButton>(option)->isChecked());
    // A choice that worked closes the frame at once.
    QVERIFY(!f.session->settingsOpen());
    QVERIFY(f.widget(QStringLiteral("settings-frame"))->isHidden());
}

void WindowTest::endClosesThePortAndTheWindow()
{
    Panel f;
    QVERIFY(f.showActive());
    f.line.clearLog();
    f.click(QStringLiteral("end"));
    QCOMPARE(f.line.calls, (QStringList{"drain 1000", "close"}));
    QVERIFY(!f.line.isOpen());
    QCOMPARE(f.ended, 1);
    QVERIFY(!f.window->isVisible());
}

// Views and the hidden key -----------------------------------------------------------------------

void WindowTest::viewTable_data()
{
    // One session of events, each followed by the window it must leave.
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("expected"); // "view,outer height,caption,shown"
    auto row = [](View v, int outer, const QString &caption, bool shown) {
        return QStringLiteral("%1,%2,%3,%4")
            .arg(QLatin1String(viewName(v)))
            .arg(outer)
            .arg(caption)
            .arg(shown);
    };
    const QString opened = row(View::Opened, 5350, kShowData, false);
    const QString extended = row(View::Extended, 7200, kClose, true);
    const QString full = row(View::Full, 9100, kClose, true);
    const QString compact = row(View::Compact, 5350, kShowData, true);
    const QString dataView = row(View::DataView, 6645, kHideData, true);
    QTest::newRow("nothing but Ctrl+J opens the monitor")
        << QStringList{"dbl",          "J",          "shift+J",
                       "shift+ctrl+J", "alt+ctrl+J", "shift+alt+ctrl+J",
                       "ctrl+K",       "alt+J"}
        << QStringList{opened, opened, opened, opened, opened, opened, opened, opened};
    QTest::newRow("extended, full, back")
        << QStringList{"ctrl+J", "dbl", "ctrl+J", "dbl", "data-view", "dbl", "data-view"}
        << QStringList{extended, full, extended, full, compact, compact, dataView};
    QTest::newRow("three presses from extended")
        << QStringList{"ctrl+J", "data-view", "data-view", "data-view"}
        << QStringList{extended, compact, dataView, compact};
    QTest::newRow("Ctrl+J from the data view")
        << QStringList{"ctrl+J", "data-view", "data-view", "dbl", "ctrl+J", "dbl", "data-view"}
        << QStringList{extended, compact, dataView, dataView, extended, full, compact};
}

// Ctrl+J (from the control that has the focus), a double-click on the picture and the data-view
// button move the window between its views; each view has its height and its data-view caption.
void WindowTest::viewTable()
{
    QFETCH(QStringList, events);
    QFETCH(QStringList, expected);
    Panel f;
    QVERIFY(f.showActive());
    auto *dataView = f.widget<QPushButton>(QStringLiteral("data-view"));
    f.widget(QStringLiteral("end"))->setFocus();
    for (qsizetype i = 0; i < events.size(); ++i) {
        const QString &e = events[i];
        if (e == "dbl") {
            QTest::mouseDClick(f.widget(QStringLiteral("picture")), Qt::LeftButton);
        } else if (e == "data-view") {
            // In the compact views the button lies below the window's edge; the click is
            // delivered to the control all the same.
            QTest::mouseClick(dataView, Qt::LeftButton);
        } else {
            Qt::KeyboardModifiers m;
            if (e.contains("shift+"))
                m |= Qt::ShiftModifier;
            if (e.contains("ctrl+"))
                m |= Qt::ControlModifier;
            if (e.contains("alt+"))
                m |= Qt::AltModifier;
            const Qt::Key key = e.endsWith('K') ? Qt::Key_K : Qt::Key_J;
            QWidget *focus = QApplication::focusWidget();
            QVERIFY(focus);
            QTest::keyClick(focus, key, m);
        }
        const QString got = QStringLiteral("%1,%2,%3,%4")
                                .arg(QLatin1String(viewName(f.session->view())))
                                .arg(f.window->outerHeightTwips())
                                .arg(dataView->text())
                                .arg(!dataView->isHidden());
        QVERIFY2(got == expected[i], qPrintable(QStringLiteral("after %1 (event %2): %3, not %4")
                                                    .arg(e)
                                                    .arg(i + 1)
                                                    .arg(got, expected[i])));
        // The client area is the outer height less 370 twips for the frame; the width never
        // changes.
        QCOMPARE(f.window->height(), int(std::lround((f.window->outerHeightTwips() - 370) / 15.0)));
        QCOMPARE(f.window->width(), 9495 / 15);
        QVERIFY(f.line.writes.isEmpty()); // no key or view change sends anything
    }
}

void WindowTest::ctrlJFromTheFocusedControl_data()
{
    QTest::addColumn<QString>("focus"); // "" for no control at all
    QTest::addColumn<bool>("settingsOpen");
    QTest::addColumn<bool>("dataView");
    QTest::newRow("no control") << "" << false << false;
    QTest::newRow("a one-shot button") << "power-on" << false << false;
    QTest::newRow("a hold button") << "volume-up" << false << false;
    QTest::newRow("a menu arrow") << "menu-left" << false << false;
    QTest::newRow("port-settings") << "port-settings" << false << false;
    QTest::newRow("a port option") << "com2" << true << false;
    QTest::newRow("a speed option") << "speed-9600" << true << false;
    QTest::newRow("data-view") << "data-view" << false << true;
    QTest::newRow("the command box") << "command-text" << false << true;
}

// The key is seen before the focused control, whichever that is, and acts on nothing else.
void WindowTest::ctrlJFromTheFocusedControl()
{
    QFETCH(QString, focus);
    QFETCH(bool, settingsOpen);
    QFETCH(bool, dataView);
    Panel f;
    if (dataView)
        f.session->toggleDataView();
    if (settingsOpen)
        f.session->openSettings();
    QVERIFY(f.showActive());
    f.line.clearLog();
    QWidget *target = f.window.get();
    if (focus.isEmpty()) {
        if (QWidget *w = QApplication::focusWidget())
            w->clearFocus();
        QCOMPARE(QApplication::focusWidget(), nullptr);
    } else {
        target = f.widget(focus);
        target->setFocus(Qt::TabFocusReason);
        QCOMPARE(QApplication::focusWidget(), target);
    }
    QTest::keyClick(target, Qt::Key_J, Qt::ControlModifier);
    QCOMPARE(f.session->view(), View::Extended);
    QCOMPARE(f.window->outerHeightTwips(), 7200);
    if (!focus.isEmpty())
        QCOMPARE(QApplication::focusWidget(), target);
    QVERIFY(f.line.calls.isEmpty() && f.line.writes.isEmpty());
    QCOMPARE(f.session->held(), nullptr);
}

// Holding Ctrl+J down repeats the key; every repeat leaves the same view.
void WindowTest::ctrlJAutoRepeat()
{
    Panel f;
    QVERIFY(f.showActive());
    QWidget *focus = f.widget(QStringLiteral("port-settings"));
    focus->setFocus();
    auto *dataView = f.widget<QPushButton>(QStringLiteral("data-view"));
    for (bool repeat : {false, true, true, true}) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_J, Qt::ControlModifier, QString(), repeat);
        QApplication::sendEvent(focus, &press);
        QCOMPARE(f.session->view(), View::Extended);
        QCOMPARE(f.window->outerHeightTwips(), 7200);
        QCOMPARE(dataView->text(), kClose);
        QVERIFY(dataView->isVisible());
    }
}

// The window only looks at the key on its way: the focused control still gets it, and typing a
// j in the command box types it.
void WindowTest::keyAlsoReachesTheFocusedControl()
{
    Panel f;
    f.session->toggleDataView(); // the command box is in view from here on
    QVERIFY(f.showActive());
    QLineEdit *box = f.box();
    box->setFocus();
    KeyCounter counter;
    box->installEventFilter(&counter);

    QTest::keyClicks(box, "j");
    QCOMPARE(box->text(), "j");
    QCOMPARE(f.session->view(), View::DataView);
    QTest::keyClick(box, Qt::Key_J, Qt::ControlModifier);
    QCOMPARE(f.session->view(), View::Extended);
    QTest::keyClicks(box, "j");
    QCOMPARE(box->text(), "jj");
    QCOMPARE(counter.presses, 3);
}

// What the window shows ------------------------------------------------------------------------

void WindowTest::startUp()
{
    Panel f;
    PanelWindow &w = *f.window;
    QCOMPARE(w.windowTitle(), "ODRA   MP-Q85 & Q75   CONTROL   Ver.1.40");
    QCOMPARE(w.outerHeightTwips(), 5350);
    QCOMPARE(w.height(), (5350 - 370) / 15);
    QCOMPARE(w.width(), 9495 / 15);
    QVERIFY(f.widget(QStringLiteral("data-view"))->isHidden());
    QVERIFY(f.widget(QStringLiteral("settings-frame"))->isHidden());
    QVERIFY(f.widget<QRadioButton>(QStringLiteral("com1"))->isChecked());
    QVERIFY(f.widget<QRadioButton>(QStringLiteral("speed-19200"))->isChecked());
    QVERIFY(!f.widget<QRadioButton>(QStringLiteral("com2"))->isChecked());
    QVERIFY(!f.widget<QRadioButton>(QStringLiteral("speed-9600"))->isChecked());
    for (const char *label : {"transmit-line", "receive-line", "status-line"})
        QVERIFY2(f.shown(label).isEmpty(), label);

    // Placed where the full window would be centred, moved onto the screen's free area where
    // it does not fit (the offscreen screen, 800x600, is shorter than the full window).
    const QScreen *screen = QGuiApplication::primaryScreen();
    QCOMPARE(w.pos(), PanelWindow::startPosition(screen->geometry(), screen->availableGeometry()));
    QVERIFY(screen->availableGeometry().contains(w.pos()));
}

void WindowTest::startPosition_data()
{
    // The full window: 9615 x 9100 twips, 641 x 607 pixels. Centred, its top uses the full
    // height, so the compact window sits above the centre.
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QPoint>("position");
    QTest::newRow("1024x768") << QRect(0, 0, 1024, 768) << QRect(0, 0, 1024, 768)
                              << QPoint(192, 81);
    QTest::newRow("1024x768, a bar at the bottom")
        << QRect(0, 0, 1024, 768) << QRect(0, 0, 1024, 720) << QPoint(192, 81);
    QTest::newRow("second screen right of the first")
        << QRect(1920, 0, 1280, 1024) << QRect(1920, 0, 1280, 1024) << QPoint(2240, 209);
    // Too short for the full window: its top stays on the screen, not at -63.
    QTest::newRow("640x480") << QRect(0, 0, 640, 480) << QRect(0, 0, 640, 480) << QPoint(0, 0);
    // 1280x1024 at a scale of 2: 640x512 logical pixels.
    QTest::newRow("1280x1024 at scale 2")
        << QRect(0, 0, 640, 512) << QRect(0, 0, 640, 512) << QPoint(0, 0);
    QTest::newRow("1280x1024 at scale 1.9")
        << QRect(0, 0, 674, 539) << QRect(0, 0, 674, 539) << QPoint(17, 0);
    QTest::newRow("800x600, a bar at the top")
        << QRect(0, 0, 800, 600) << QRect(0, 32, 800, 568) << QPoint(80, 32);
    // The full window fits the screen but not beside a tall bar at the bottom: moved up, but
    // not above the free area.
    QTest::newRow("a tall bar at the bottom")
        << QRect(0, 0, 1024, 700) << QRect(0, 0, 1024, 640) << QPoint(192, 33);
}

void WindowTest::startPosition()
{
    QFETCH(QRect, screen);
    QFETCH(QRect, available);
    QFETCH(QPoint, position);
    QCOMPARE(PanelWindow::startPosition(screen, available), position);
}

void WindowTest::monitorLines_data()
{
    // Steps: "click:NAME", "press:NAME", "release:NAME" (the real mouse), "receive:BYTES",
    // "advance:MS", "lose" (the line goes away).
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("txd");
    QTest::addColumn<QString>("rxd");
    QTest::addColumn<QString>("status");
    QTest::newRow("a command") << QStringList{"click:power-on"} << " C 0 0 CR "
                               << ""
                               << "";
    QTest::newRow("its reply") << QStringList{"click:power-on", "receive:\x06"} << " C 0 0 CR "
                               << " ACK "
                               << "";
    QTest::newRow("no reply") << QStringList{"click:power-on", "advance:500"} << " C 0 0 CR "
                              << " X X X X"
                              << "";
    QTest::newRow("a status decoded") << QStringList{"click:status", "receive:80\r"} << " C R 0 CR "
                                      << " 8 0 CR "
                                      << " Stand by";
    QTest::newRow("all cleared") << QStringList{"click:status", "receive:80\r", "advance:1000"}
                                 << ""
                                 << ""
                                 << "";
    QTest::newRow("a reply in pieces")
        << QStringList{"click:status", "receive:8", "receive:0", "receive:\r"} << " C R 0 CR "
        << " 8 0 CR "
        << " Stand by";
    QTest::newRow("in pieces after the no-reply marker")
        << QStringList{"click:status", "advance:500", "receive:8", "receive:0", "receive:\r"}
        << " C R 0 CR "
        << " 8 0 CR "
        << " Stand by";
    // The second command's reply window opens while the first one's display clear still runs:
    // the lines are blanked between two pieces of the reply.
    QTest::newRow("in pieces after the lines were blanked")
        << QStringList{"click:power-on", "advance:600", "click:status", "advance:100",
                       "receive:8",      "advance:300", "receive:0",    "receive:\r"}
        << ""
        << " 8 0 CR "
        << " Stand by";
    QTest::newRow("a reply while held, then the release")
        << QStringList{"press:zoom-in", "receive:\x06", "release:zoom-in"} << ""
        << ""
        << "";
    QTest::newRow("nothing goes out on a lost line")
        << QStringList{"lose", "click:power-on"} << " C 0 0 CR "
        << ""
        << " COM1 not open";
}

// The TXD, RXD and status lines show what the session holds after every step, whether the
// session replaced a line or added to it.
void WindowTest::monitorLines()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, txd);
    QFETCH(QString, rxd);
    QFETCH(QString, status);
    Panel f;
    f.showAll();
    QVERIFY(f.showActive());
    for (const QString &step : steps) {
        const QString what = step.section(':', 0, 0);
        const QString arg = step.section(':', 1);
        if (what == "click")
            f.click(arg);
        else if (what == "press")
            f.mousePress(arg);
        else if (what == "release")
            f.mouseRelease(arg);
        else if (what == "receive")
            f.line.receive(arg.toLatin1());
        else if (what == "advance")
            f.advance(arg.toInt());
        else if (what == "lose")
            f.line.loseLine();
        else
            QFAIL(qPrintable(step));
        QVERIFY2(f.linesAsSession(), qPrintable(step + ": " + f.linesText()));
    }
    QCOMPARE(f.shown("transmit-line"), txd);
    QCOMPARE(f.shown("receive-line"), rxd);
    QCOMPARE(f.shown("status-line"), status);
}

// A reply far longer than the line can show, arriving in many pieces, after the line was blanked
// in the middle of it: the RXD line still holds all of it.
void WindowTest::longReplyInPieces()
{
    Panel f;
    f.showAll();
    f.click(QStringLiteral("power-on"));
    f.advance(600);
    f.click(QStringLiteral("status"));
    const QByteArray reply(900, 'A');
    f.line.receive(reply.left(100));
    f.advance(400); // the first command's display clear
    QVERIFY(f.shown("receive-line").isEmpty());
    for (qsizetype i = 100; i < reply.size(); i += 100)
        f.line.receive(reply.mid(i, 100));
    QCOMPARE(f.shown("receive-line"), renderTraffic(QString::fromLatin1(reply)));
    QCOMPARE(f.shown("receive-line"), f.rxd());
}

// Hold buttons under the mouse --------------------------------------------------------------------

void WindowTest::anyMouseButtonHolds_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::newRow("left") << Qt::LeftButton;
    QTest::newRow("right") << Qt::RightButton;
    QTest::newRow("middle") << Qt::MiddleButton;
}

void WindowTest::anyMouseButtonHolds()
{
    QFETCH(Qt::MouseButton, button);
    Panel f;
    f.showAll();
    QVERIFY(f.showActive());
    const protocol::Command &keystone = Panel::command("keystone-plus");
    f.mousePress(QStringLiteral("keystone-plus"), button);
    QCOMPARE(f.session->held(), &keystone);
    f.advance(keystone.repeatMs);
    QCOMPARE(f.written(), QList<QByteArray>({bytesOf(keystone), bytesOf(keystone)}));
    f.mouseRelease(QStringLiteral("keystone-plus"), button);
    QCOMPARE(f.session->held(), nullptr);
    f.advance(2000);
    QCOMPARE(f.line.writes.size(), 2);
}

// The pointer wanders off the button and back while the mouse button stays down: the button's
// own look follows the pointer, the hold does not.
void WindowTest::leavingAndReenteringKeepsTheHold()
{
    Panel f;
    f.showAll();
    QVERIFY(f.showActive());
    const protocol::Command &focus = Panel::command("focus-plus");
    auto *b = f.widget<PanelButton>(QStringLiteral("focus-plus"));
    QTest::mousePress(b, Qt::LeftButton);
    QTest::mouseMove(b, QPoint(-40, -40));
    QVERIFY(!b->isDown());
    f.advance(focus.repeatMs);
    QTest::mouseMove(b, b->rect().center());
    QVERIFY(b->isDown());
    f.advance(focus.repeatMs);
    QCOMPARE(f.session->held(), &focus);
    QCOMPARE(f.line.writes.size(), 3);
    QTest::mouseRelease(b, Qt::LeftButton);
    QCOMPARE(f.session->held(), nullptr);
    f.advance(2000);
    QCOMPARE(f.line.writes.size(), 3);
}

// A double-click arrives as press, release, double-click, release: the second press sends again.
void WindowTest::doubleClickSendsAgain()
{
    Panel f;
    f.showAll();
    QVERIFY(f.showActive());
    const protocol::Command &up = Panel::command("lens-shift-up");
    auto *b = f.widget(QStringLiteral("lens-shift-up"));
    QTest::mousePress(b, Qt::LeftButton);
    QTest::mouseRelease(b, Qt::LeftButton);
    QTest::mouseDClick(b, Qt::LeftButton);
    QCOMPARE(f.session->held(), &up);
    QTest::mouseRelease(b, Qt::LeftButton);
    QCOMPARE(f.written(), QList<QByteArray>({bytesOf(up), bytesOf(up)}));
    QCOMPARE(f.session->held(), nullptr);
    f.advance(2000);
    QCOMPARE(f.line.writes.size(), 2);
}

void WindowTest::holdEndedEarly_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("button");
    QTest::newRow("another window activated") << "deactivate"
                                              << "zoom-out";
    QTest::newRow("another window activated, a menu arrow") << "deactivate"
                                                            << "menu-right";
    QTest::newRow("the mouse grab lost") << "ungrab"
                                         << "volume-down";
    QTest::newRow("a warning") << "warning"
                               << "menu-right";
}

// While a hold button is down, the window losing its activation or the button losing the mouse,
// or a warning, ends the hold as a release would; the real release, when it comes, changes
// nothing.
void WindowTest::holdEndedEarly()
{
    QFETCH(QString, how);
    QFETCH(QString, button);
    Panel f;
    f.showAll();
    QVERIFY(f.showActive());
    QWidget *b = f.widget(button);
    QTest::mousePress(b, Qt::LeftButton);
    f.advance(f.session->repeat().interval());
    QCOMPARE(f.line.writes.size(), 2);

    QWidget other;
    if (how == "deactivate") {
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
    } else if (how == "ungrab") {
        // Another widget takes the mouse (a drag, a popup) and the button is told so. Qt's
        // widgets send nothing of the kind on the offscreen platform, so the test does.
        QEvent ungrab(QEvent::UngrabMouse);
        QApplication::sendEvent(b, &ungrab);
    } else {
        f.line.loseLine(QStringLiteral("unplugged"));
        QCOMPARE(f.warnings.size(), 1);
    }
    QTRY_COMPARE(f.session->held(), nullptr);
    const qsizetype sent = f.line.writes.size();
    f.advance(2000);
    QCOMPARE(f.line.writes.size(), sent);

    // Something else goes on the lines before the mouse button comes up; the release leaves it.
    f.send("power-on");
    const QString txd = f.shown("transmit-line"), status = f.shown("status-line");
    QCOMPARE(txd, " C 0 0 CR ");
    QTest::mouseRelease(b, Qt::LeftButton);
    QCOMPARE(f.shown("transmit-line"), txd);
    QCOMPARE(f.shown("status-line"), status);
    QVERIFY(f.session->awaitingReply());
    QCOMPARE(f.session->held(), nullptr);
}

// The command box --------------------------------------------------------------------------------

void WindowTest::returnInTheBoxSendsNothing()
{
    Panel f;
    f.showAll();
    QVERIFY(f.showActive());
    QLineEdit *box = f.box();
    box->setFocus();
    QTest::keyClicks(box, "C00");
    for (Qt::Key k : {Qt::Key_Return, Qt::Key_Enter})
        QTest::keyClick(box, k);
    QVERIFY(f.line.writes.isEmpty());
    QVERIFY(f.shown("transmit-line").isEmpty());
    QCOMPARE(box->text(), "C00");
}

void WindowTest::sendTypedText_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty box: a lone CR") << "" << QByteArray("\r");
    QTest::newRow("a query") << "CR0" << QByteArray("CR0\r");
    QTest::newRow("blanks and case as typed") << " cr0 " << QByteArray(" cr0 \r");
    QTest::newRow("non-ASCII: Latin-1, else ?")
        << QString::fromUtf8("C€0é") << QByteArray("C?0\xE9\r");
}

// SEND sends the text as typed, every time, and the box keeps it.
void WindowTest::sendTypedText()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, bytes);
    Panel f;
    f.showAll();
    QVERIFY(f.showActive());
    QLineEdit *box = f.box();
    box->setFocus();
    bool ascii = true;
    for (QChar c : typed)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii)
        QTest::keyClicks(box, typed);
    else
        box->insert(typed); // as an input method delivers it
    QCOMPARE(box->text(), typed);
    f.click(QStringLiteral("send"));
    QCOMPARE(f.written(), QList<QByteArray>{bytes});
    QCOMPARE(f.shown("transmit-line"), renderTraffic(QString::fromLatin1(bytes)));
    QCOMPARE(box->text(), typed);
    f.click(QStringLiteral("send"));
    QCOMPARE(f.written(), QList<QByteArray>({bytes, bytes}));
    QCOMPARE(box->text(), typed);
}

void WindowTest::clsClearsOnlyTheBox()
{
    Panel f;
    f.showAll();
    QVERIFY(f.showActive());
    QLineEdit *box = f.box();
    f.click(QStringLiteral("clear-command")); // an empty box: nothing happens
    QVERIFY(box->text().isEmpty());
    QVERIFY(f.line.writes.isEmpty());

    box->setFocus();
    QTest::keyClicks(box, "CR0");
    f.click(QStringLiteral("send"));
    f.line.receive("80\r");
    const QString txd = f.shown("transmit-line"), rxd = f.shown("receive-line"),
                  status = f.shown("status-line");
    QCOMPARE(status, " Stand by");
    f.click(QStringLiteral("clear-command"));
    QVERIFY(box->text().isEmpty());
    QCOMPARE(f.line.writes.size(), 1);
    QCOMPARE(f.shown("transmit-line"), txd);
    QCOMPARE(f.shown("receive-line"), rxd);
    QCOMPARE(f.shown("status-line"), status);
    QCOMPARE(f.session->lastCommand(), "CR0\r");
}

// 100,000 characters, all the box takes, pasted: they go out whole.
void WindowTest::longTextGoesOutWhole()
{
    Panel f;
    f.showAll();
    QVERIFY(f.showActive());
    QString text;
    for (int i = 0; i < 100000; ++i)
        text += QChar(u'A' + i % 26);
    f.box()->insert(text);
    QCOMPARE(f.box()->text().size(), 100000);
    f.click(QStringLiteral("send"));
    QCOMPARE(f.line.written(), text.toLatin1() + '\r');
    QCOMPARE(f.box()->text(), text);
}

void WindowTest::boxLimit_data()
{
    // What the box held, what is pasted (or "key": one typed letter), and whether it is taken.
    QTest::addColumn<int>("held");
    QTest::addColumn<int>("pasted");
    QTest::addColumn<bool>("taken");
    QTest::newRow("a paste up to the limit") << 0 << 100000 << true;
    QTest::newRow("a paste one past it") << 0 << 100001 << false;
    QTest::newRow("a million") << 0 << 1000000 << false;
    QTest::newRow("onto a text, up to the limit") << 99990 << 10 << true;
    QTest::newRow("onto a text, past it") << 99990 << 11 << false;
    QTest::newRow("a key at the limit") << 100000 << -1 << false;
}

// A paste or a key that would pass the limit is refused whole, never cut short, and a note
// beside the box says so.
void WindowTest::boxLimit()
{
    QFETCH(int, held);
    QFETCH(int, pasted);
    QFETCH(bool, taken);
    Panel f;
    f.showAll();
    QVERIFY(f.showActive());
    QLineEdit *box = f.box();
    box->setFocus();
    box->insert(QString(held, QLatin1Char('A')));
    QCOMPARE(box->text().size(), held);
    QToolTip::hideText();
    if (pasted < 0)
        QTest::keyClick(box, Qt::Key_B);
    else
        box->insert(QString(pasted, QLatin1Char('B')));
    QCOMPARE(box->text().size(), taken ? held + std::max(pasted, 1) : held);
    QCOMPARE(QToolTip::isVisible(), !taken);
    if (!taken)
        QCOMPARE(QToolTip::text(),
                 "The CMD box takes at most 100,000 characters: this was not taken.");
    f.click(QStringLiteral("send"));
    QCOMPARE(f.line.written(), box->text().toLatin1() + '\r');
}

// Every blink repaints the whole text: above 1,000 characters the cursor holds still, and it
// blinks again when the text is short again.
void WindowTest::steadyCursorOnALongText()
{
    Panel f;
    f.showAll();
    QVERIFY(f.showActive());
    QStyleHints *hints = QGuiApplication::styleHints();
    const int blink = hints->cursorFlashTime();
    QVERIFY(blink > 0);
    QLineEdit *box = f.box();
    box->setFocus();
    box->insert(QString(1000, QLatin1Char('A')));
    QCOMPARE(hints->cursorFlashTime(), blink);
    QTest::keyClick(box, Qt::Key_A);
    QCOMPARE(hints->cursorFlashTime(), 0);
    QTest::keyClick(box, Qt::Key_Backspace);
    QCOMPARE(hints->cursorFlashTime(), blink);
    box->insert(QString(5000, QLatin1Char('A')));
    QCOMPARE(hints->cursorFlashTime(), 0);
    f.click(QStringLiteral("clear-command"));
    QCOMPARE(hints->cursorFlashTime(), blink);
}

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
