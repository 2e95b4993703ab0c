// SPDX-License-Identifier: MIT
// The panel as built on a real window: every control once, in its place, with its caption, font
// and colours; nothing overlapping; each view cut off cleanly; the focus order; the picture.
// The window's height comes from the session's view, as it does in the program.

#include "ui/layout.h"
#include "ui/layout_builder.h"
#include "ui/widgets.h"
#include "window_fixture.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace {

using View = PanelSession::View;

// The classes the controls are built as.
constexpr const char *kButton = "PanelButton";
constexpr const char *kLabel = "PanelLabel";
constexpr const char *kFrame = "PanelFrame";
constexpr const char *kOption = "QRadioButton";
constexpr const char *kTextBox = "CommandBox";
constexpr const char *kImage = "PanelImage";

// Every control with its class, its caption and the frame it sits in, typed from the design
// rather than read from the layout table, so that a slip in the table shows up here.
struct Expected
{
    const char *name;
    const char *className;
    const char *caption;
    const char *container; // "" for the window
};

// clang-format off
const Expected kPanel[] = {
    // On the window
    {"picture",              kImage,   "",               ""},
    {"power-group",          kFrame,   "",               ""},
    {"input-group",          kFrame,   "",               ""},
    {"menu-group",           kFrame,   "",               ""},
    {"lens-shift-group",     kFrame,   "",               ""},
    {"sound-mute-group",     kFrame,   "",               ""},
    {"no-show-group",        kFrame,   "",               ""},
    {"freeze-group",         kFrame,   "",               ""},
    {"av-size-group",        kFrame,   "",               ""},
    {"menu-up",              kButton,  "↑",              ""},
    {"volume-label",         kLabel,   "VOL",            ""},
    {"zoom-label",           kLabel,   "Zoom",           ""},
    {"focus-label",          kLabel,   "Focus",          ""},
    {"d-zoom-label",         kLabel,   "D.Zoom",         ""},
    {"keystone-label",       kLabel,   "Keystone",       ""},
    {"a-image",              kButton,  "A-IMAGE",        ""},
    {"volume-up",            kButton,  "+",              ""},
    {"zoom-in",              kButton,  "+",              ""},
    {"focus-plus",           kButton,  "+",              ""},
    {"d-zoom-in",            kButton,  "+",              ""},
    {"keystone-plus",        kButton,  "+",              ""},
    {"menu-left",            kButton,  "←",              ""},
    {"menu-enter",           kButton,  "ENTER",          ""},
    {"menu-right",           kButton,  "→",              ""},
    {"image",                kButton,  "IMAGE",          ""},
    {"volume-down",          kButton,  "-",              ""},
    {"zoom-out",             kButton,  "-",              ""},
    {"focus-minus",          kButton,  "-",              ""},
    {"d-zoom-out",           kButton,  "-",              ""},
    {"keystone-minus",       kButton,  "-",              ""},
    {"p-timer",              kButton,  "P-TIMER",        ""},
    {"menu-down",            kButton,  "↓",              ""},
    {"settings-frame",       kFrame,   "",               ""},
    {"display-clear",        kButton,  "DISPLAY CLEAR",  ""},
    {"keys-off-label",       kLabel,   "R/C KEY OFF",    ""},
    {"keys-off-none",        kButton,  "NONE",           ""},
    {"image-stand",          kButton,  "STAND",          ""},
    {"image-real",           kButton,  "REAL",           ""},
    {"image-cinema",         kButton,  "CINEMA",         ""},
    {"port-settings",        kButton,  "COM",            ""},
    {"image-1",              kButton,  "IMAGE1",         ""},
    {"image-2",              kButton,  "IMAGE2",         ""},
    {"image-3",              kButton,  "IMAGE3",         ""},
    {"keys-off-remote",      kButton,  "R/C",            ""},
    {"keys-off-panel",       kButton,  "KEY",            ""},
    {"end",                  kButton,  "END",            ""},
    {"image-4",              kButton,  "IMAGE4",         ""},
    {"monitor",              kFrame,   "",               ""},
    {"data-view",            kButton,  "データを表示する", ""},
    {"p-fail",               kButton,  "P-FAIL",         ""},
    {"status",               kButton,  "STATUS",         ""},
    {"lamp-time",            kButton,  "L-TIME",         ""},
    {"temp",                 kButton,  "TEMP",           ""},
    {"input-mode",           kButton,  "MODE",           ""},
    {"setting",              kButton,  "SETTING",        ""},
    {"terminal-frame",       kFrame,   "",               ""},
    {"fan-group",            kFrame,   "",               ""},
    {"command-entry",        kFrame,   "",               ""},
    // Power
    {"power-label",          kLabel,   "POWER",          "power-group"},
    {"power-on",             kButton,  "ON",             "power-group"},
    {"power-off",            kButton,  "OFF",            "power-group"},
    // Input
    {"input-label",          kLabel,   "INPUT MODE SET", "input-group"},
    {"input-1",              kButton,  "1",              "input-group"},
    {"input-2",              kButton,  "2",              "input-group"},
    {"input-3",              kButton,  "3",              "input-group"},
    {"input-lan",            kButton,  "LAN",            "input-group"},
    // Menu
    {"menu-label",           kLabel,   "MENU",           "menu-group"},
    {"menu-on",              kButton,  "ON",             "menu-group"},
    {"menu-off",             kButton,  "OFF",            "menu-group"},
    // Lens shift
    {"lens-shift-label",     kLabel,   "LENS SHIFT",     "lens-shift-group"},
    {"lens-shift-up",        kButton,  "↑",              "lens-shift-group"},
    {"lens-shift-down",      kButton,  "↓",              "lens-shift-group"},
    // Sound mute
    {"sound-mute-label",     kLabel,   "SOUND MUTE",     "sound-mute-group"},
    {"sound-mute-on",        kButton,  "ON",             "sound-mute-group"},
    {"sound-mute-off",       kButton,  "OFF",            "sound-mute-group"},
    // No show
    {"no-show-label",        kLabel,   "NO SHOW",        "no-show-group"},
    {"no-show-on",           kButton,  "ON",             "no-show-group"},
    {"no-show-off",          kButton,  "OFF",            "no-show-group"},
    // Freeze
    {"freeze-label",         kLabel,   "FREEZE",         "freeze-group"},
    {"freeze-on",            kButton,  "ON",             "freeze-group"},
    {"freeze-off",           kButton,  "OFF",            "freeze-group"},
    // AV size
    {"av-size-label",        kLabel,   "AV Size",        "av-size-group"},
    {"av-size-regular",      kButton,  "Regular",        "av-size-group"},
    {"av-size-wide",         kButton,  "Wide",           "av-size-group"},
    // Settings
    {"com1",                 kOption,  "COM1",           "settings-frame"},
    {"com2",                 kOption,  "COM2",           "settings-frame"},
    {"speed-group",          kFrame,   "",               "settings-frame"},
    {"speed-19200",          kOption,  "19200",          "speed-group"},
    {"speed-9600",           kOption,  "9600",           "speed-group"},
    // Traffic monitor
    {"transmit-line",        kLabel,   "",               "monitor"},
    {"transmit-label",       kLabel,   "TXD",            "monitor"},
    {"receive-line",         kLabel,   "",               "monitor"},
    {"receive-label",        kLabel,   "RXD",            "monitor"},
    {"status-line",          kLabel,   "",               "monitor"},
    {"status-label",         kLabel,   "STATUS",         "monitor"},
    // Terminals
    {"terminal-1-label",     kLabel,   "1",              "terminal-frame"},
    {"terminal-1-rgb",       kButton,  "RGB",            "terminal-frame"},
    {"terminal-1-scart",     kButton,  "SCART",          "terminal-frame"},
    {"terminal-1-dvi",       kButton,  "DVI",            "terminal-frame"},
    {"terminal-1-hdcp",      kButton,  "HDCP",           "terminal-frame"},
    {"monitor-out",          kButton,  "Monitor OUT",    "terminal-frame"},
    {"terminal-2-label",     kLabel,   "2",              "terminal-frame"},
    {"terminal-2-rgb",       kButton,  "RGB",            "terminal-frame"},
    {"terminal-2-video",     kButton,  "VIDEO",          "terminal-frame"},
    {"terminal-2-component", kButton,  "Y,Pb/Cb,Pr/Cr",  "terminal-frame"},
    {"terminal-3-label",     kLabel,   "3",              "terminal-frame"},
    {"terminal-3-video",     kButton,  "VIDEO",          "terminal-frame"},
    {"terminal-3-s-video",   kButton,  "S-VIDEO",        "terminal-frame"},
    {"terminal-3-component", kButton,  "Y,Pb/Cb,Pr/Cr",  "terminal-frame"},
    // Fan speed
    {"fan-label",            kLabel,   "FAN SPEED",      "fan-group"},
    {"fan-max",              kButton,  "MAX",            "fan-group"},
    {"fan-normal",           kButton,  "NOR",            "fan-group"},
    // Command entry
    {"command-label",        kLabel,   "CMD",            "command-entry"},
    {"command-text",         kTextBox, "",               "command-entry"},
    {"send",                 kButton,  "SEND",           "command-entry"},
    {"clear-command",        kButton,  "CLS",            "command-entry"},
};

// The controls that take the focus, in the order of the design's tab indexes.
const char *const kFocusOrder[] = {
    "power-on", "volume-up", "volume-down", "display-clear", "menu-up", "menu-enter",
    "menu-down", "menu-right", "menu-left", "a-image", "p-timer", "end", "power-off",
    "sound-mute-on", "sound-mute-off", "no-show-on", "no-show-off", "menu-on", "menu-off",
    "freeze-on", "freeze-off", "input-1", "input-2", "input-3", "av-size-regular",
    "av-size-wide", "port-settings", "com1", "com2", "data-view", "zoom-in", "zoom-out",
    "focus-plus", "focus-minus", "status", "input-mode", "lamp-time", "setting", "d-zoom-in",
    "d-zoom-out", "keystone-plus", "keystone-minus", "temp", "keys-off-none", "keys-off-remote",
    "keys-off-panel", "lens-shift-up", "lens-shift-down", "image", "speed-19200", "speed-9600",
    "image-stand", "image-real", "image-cinema", "image-1", "image-2", "image-3", "image-4",
    "p-fail", "terminal-1-rgb", "terminal-1-scart", "terminal-2-rgb", "monitor-out",
    "terminal-2-component", "terminal-3-video", "terminal-3-component", "terminal-3-s-video",
    "command-text", "send", "clear-command", "fan-max", "fan-normal", "input-lan",
    "terminal-2-video", "terminal-1-dvi", "terminal-1-hdcp",
};
// clang-format on

constexpr QRgb kWindowGrey = 0xC0C0C0;
constexpr QRgb kLineBlue = 0x8080FF;

// The picture and its twice-as-dense variant beside it.
QString pictureFile()
{
    return QString::fromLatin1(layout::kPictureFile);
}
QString densePictureFile()
{
    const QFileInfo file(pictureFile());
    return file.path() + QLatin1Char('/') + file.completeBaseName() + QStringLiteral("@2x.") +
           file.suffix();
}

// The real window on a session; its height is whatever the session's view makes it.
struct Panel : WindowFixture
{
    QWidget *w(const char *name) const { return window->control(QString::fromUtf8(name)); }

    // The window in a view, reached the way the operator reaches it, with the settings frame
    // open or not.
    void view(View v, bool settingsOpen = false)
    {
        switch (v) {
        case View::Opened: break;
        case View::Extended: session->openExtendedView(); break;
        case View::Full: showAll(); break;
        case View::Compact:
            session->openExtendedView();
            session->toggleDataView();
            break;
        case View::DataView: session->toggleDataView(); break;
        }
        if (session->view() != v)
            qFatal("the session did not reach view %d", int(v));
        if (settingsOpen)
            session->openSettings();
    }
};

QRect onWindow(const QWidget *w)
{
    return QRect(w->mapTo(w->window(), QPoint()), w->size());
}

// Where a control starts to show: a frame's border lies below its top edge.
int visibleTop(const QWidget *w)
{
    const auto *frame = qobject_cast<const PanelFrame *>(w);
    return onWindow(w).top() + (frame ? frame->borderTop() : 0);
}

QString captionOf(const QWidget *w)
{
    if (const auto *b = qobject_cast<const QAbstractButton *>(w))
        return b->text();
    if (const auto *l = qobject_cast<const PanelLabel *>(w))
        return l->text();
    if (const auto *t = qobject_cast<const QLineEdit *>(w))
        return t->text();
    return {};
}

// Controls of the window that can be seen (shown, and inside shown frames).
QList<QWidget *> shownControls(const Panel &p)
{
    QList<QWidget *> all;
    for (const Expected &e : kPanel) {
        QWidget *w = p.w(e.name);
        if (w && w->isVisibleTo(p.window.get()))
            all << w;
    }
    return all;
}

// Neighbours designed edge to edge share a pixel; anything more is an overlap.
bool sharesAtMostAnEdge(const QRect &a, const QRect &b)
{
    const QRect both = a & b;
    return both.isEmpty() || both.width() <= 1 || both.height() <= 1;
}

// Whether p is what white becomes under antialiased text of colour c.
bool blendOfWhiteAnd(QColor p, QColor c)
{
    const int pc[] = {p.red(), p.green(), p.blue()};
    const int cc[] = {c.red(), c.green(), c.blue()};
    double coverage = -1;
    for (int i = 0; i < 3; ++i) {
        if (cc[i] == 255) {
            if (pc[i] < 253)
                return false;
            continue;
        }
        const double a = double(255 - pc[i]) / (255 - cc[i]);
        if (coverage >= 0 && std::abs(a - coverage) > 0.05)
            return false;
        coverage = a;
    }
    return true;
}

} // namespace

class TestLayout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }
    void cleanup() { QApplication::setStyle(QStringLiteral("Fusion")); }

    // What there is ---------------------------------------------------------------------------

    void everyControlOnce_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("container");
        for (const Expected &e : kPanel)
            QTest::newRow(e.name) << QString::fromUtf8(e.name) << QString::fromLatin1(e.className)
                                  << QString::fromUtf8(e.caption) << QString::fromUtf8(e.container);
    }

    void everyControlOnce()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QFETCH(QString, caption);
        QFETCH(QString, container);
        Panel p;
        const QList<QWidget *> found = p.window->findChildren<QWidget *>(name);
        QCOMPARE(found.size(), 1);
        QWidget *w = found.first();
        QCOMPARE(p.window->control(name), w);
        QCOMPARE(QString::fromLatin1(w->metaObject()->className()), className);
        QCOMPARE(captionOf(w), caption);
        const QWidget *expectedParent =
            container.isEmpty() ? p.window.get() : p.window->control(container);
        QCOMPARE(w->parentWidget(), expectedParent);
    }

    // Without the stand-in faces every caption is boxes: one note says which package brings
    // them.
    void missingFontsNote_data()
    {
        QTest::addColumn<QStringList>("families");
        QTest::addColumn<QString>("note");
        QTest::newRow("both installed")
            << QStringList{"DejaVu Sans", "IPAGothic", "IPAPGothic"} << QString();
        QTest::newRow("either case") << QStringList{"ipagothic", "IPAPGOTHIC"} << QString();
        QTest::newRow("none") << QStringList{"DejaVu Sans"}
                              << "The fonts IPAGothic and IPAPGothic are not installed: the "
                                 "captions are drawn in another face, or as boxes. Install the "
                                 "Debian package fonts-ipafont-gothic.";
        QTest::newRow("one") << QStringList{"IPAGothic"}
                             << "The font IPAPGothic is not installed: the captions are drawn in "
                                "another face, or as boxes. Install the Debian package "
                                "fonts-ipafont-gothic.";
    }

    void missingFontsNote()
    {
        QFETCH(QStringList, families);
        QFETCH(QString, note);
        QCOMPARE(layout::missingFontsNote(families), note);
    }

    void nothingElseOnTheWindow()
    {
        Panel p;
        QStringList expected, built;
        for (const Expected &e : kPanel)
            expected << QString::fromUtf8(e.name);
        for (const QWidget *w : p.window->findChildren<QWidget *>()) {
            if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")) &&
                !qobject_cast<const DecorLine *>(w))
                built << w->objectName();
        }
        expected.sort();
        built.sort();
        QCOMPARE(built, expected);

        QStringList lines;
        for (const DecorLine *l : p.window->findChildren<DecorLine *>())
            lines << l->objectName();
        QStringList twelve;
        for (int i = 1; i <= 12; ++i)
            twelve << QStringLiteral("pad-outline-%1").arg(i);
        lines.sort();
        twelve.sort();
        QCOMPARE(lines, twelve);
    }

    void sharedCaptions_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("buttons");
        QTest::newRow("ON") << "ON" << 5;
        QTest::newRow("OFF") << "OFF" << 5;
        QTest::newRow("RGB") << "RGB" << 2;
        QTest::newRow("VIDEO") << "VIDEO" << 2;
        QTest::newRow("+") << "+" << 5;
        QTest::newRow("-") << "-" << 5;
    }

    // Buttons are found by name; a caption shared by several buttons must not hide one.
    void sharedCaptions()
    {
        QFETCH(QString, caption);
        QFETCH(int, buttons);
        Panel p;
        QSet<QString> names;
        for (const QPushButton *b : p.window->findChildren<QPushButton *>()) {
            if (b->text() != caption)
                continue;
            QVERIFY(!b->objectName().isEmpty());
            QCOMPARE(p.window->control(b->objectName()), b);
            names << b->objectName();
        }
        QCOMPARE(names.size(), buttons);
    }

    // Where it is ------------------------------------------------------------------------------

    void noOverlaps_data()
    {
        QTest::addColumn<bool>("settingsOpen");
        QTest::newRow("full view") << false;
        QTest::newRow("settings frame open") << true;
    }

    void noOverlaps()
    {
        QFETCH(bool, settingsOpen);
        Panel p;
        p.view(View::Full, settingsOpen);
        QCOMPARE(p.w("settings-frame")->isVisibleTo(p.window.get()), settingsOpen);
        const QWidget *settings = p.w("settings-frame");
        const QWidget *com = p.w("port-settings");
        auto inSettings = [&](const QWidget *w) {
            return w == settings || settings->isAncestorOf(w);
        };

        const QList<QWidget *> shown = shownControls(p);
        QStringList overlapping;
        for (qsizetype i = 0; i < shown.size(); ++i) {
            for (qsizetype j = i + 1; j < shown.size(); ++j) {
                const QWidget *a = shown[i], *b = shown[j];
                if (a->isAncestorOf(b) || b->isAncestorOf(a) ||
                    sharesAtMostAnEdge(onWindow(a), onWindow(b)))
                    continue;
                // The open settings frame lies over "COM" by design.
                if ((a == com && inSettings(b)) || (b == com && inSettings(a)))
                    continue;
                overlapping << a->objectName() + QLatin1Char('/') + b->objectName();
            }
        }
        QCOMPARE(overlapping, QStringList());

        if (settingsOpen) {
            // ...and hides it entirely: wherever "COM" is, the mouse finds the frame.
            const QRect r = onWindow(com);
            QVERIFY(onWindow(settings).contains(r));
            for (const QPoint at :
                 {r.topLeft(), r.topRight(), r.center(), r.bottomLeft(), r.bottomRight()}) {
                const QWidget *top = p.window->childAt(at);
                QVERIFY2(top && inSettings(top), qPrintable(top ? top->objectName() : "none"));
            }
        }
    }

    void compactCut()
    {
        Panel p;
        QCOMPARE(p.window->outerHeightTwips(), 5350);
        p.session->openSettings();
        const int cut = (5350 - 370) / 15;
        QCOMPARE(p.window->height(), cut);

        // The window's own controls that show at all, lowest first.
        QList<const QWidget *> showing;
        for (const QWidget *w : shownControls(p)) {
            if (w->parentWidget() == p.window.get() && visibleTop(w) < cut)
                showing << w;
        }
        std::sort(showing.begin(), showing.end(), [](const QWidget *a, const QWidget *b) {
            return onWindow(a).bottom() > onWindow(b).bottom();
        });
        QStringList lowest;
        for (qsizetype i = 0; i < 3 && i < showing.size(); ++i)
            lowest << showing[i]->objectName();
        QCOMPARE(lowest, (QStringList{"image-4", "settings-frame", "end"}));
        QVERIFY(onWindow(showing.first()).bottom() < cut);

        // The monitor, the data-view button and the status queries wait below the cut.
        for (const char *below : {"monitor", "data-view", "p-fail", "status"})
            QVERIFY2(visibleTop(p.w(below)) >= cut, below);
    }

    void viewsCutCleanly_data()
    {
        QTest::addColumn<View>("view");
        QTest::addColumn<int>("outerTwips");
        QTest::addColumn<int>("clientPixels");
        QTest::newRow("as opened") << View::Opened << 5350 << 332;
        QTest::newRow("compact") << View::Compact << 5350 << 332;
        QTest::newRow("data view") << View::DataView << 6645 << 418;
        QTest::newRow("extended") << View::Extended << 7200 << 455;
        QTest::newRow("full") << View::Full << 9100 << 582;
    }

    // No view shows a control cut in half, and below the last whole control there is only the
    // window's grey (no edge of a frame peeking in).
    void viewsCutCleanly()
    {
        QFETCH(View, view);
        QFETCH(int, outerTwips);
        QFETCH(int, clientPixels);
        Panel p;
        p.view(view);
        QCOMPARE(p.window->outerHeightTwips(), outerTwips);
        QCOMPARE(p.window->height(), clientPixels);

        int lastWhole = 0;
        for (const QWidget *w : shownControls(p)) {
            if (w->parentWidget() != p.window.get() || visibleTop(w) >= clientPixels)
                continue;
            const int end = onWindow(w).bottom() + 1;
            QVERIFY2(end <= clientPixels, qPrintable(w->objectName()));
            lastWhole = std::max(lastWhole, end);
        }
        const QImage shot = p.window->grab().toImage();
        QCOMPARE(shot.height(), clientPixels);
        for (int y = lastWhole; y < clientPixels; ++y) {
            for (int x = 0; x < shot.width(); ++x)
                QVERIFY2(shot.pixel(x, y) == (0xFF000000 | kWindowGrey),
                         qPrintable(QStringLiteral("at %1,%2").arg(x).arg(y)));
        }
    }

    void focusFollowsTabColumn_data()
    {
        QTest::addColumn<View>("view");
        QTest::addColumn<bool>("settingsOpen");
        QTest::newRow("as the window opens") << View::Opened << false;
        QTest::newRow("settings frame open") << View::Opened << true;
        QTest::newRow("data-view button shown") << View::Full << false;
    }

    // Tab walks the controls in the design's order, in and out of frames, passing hidden ones;
    // Shift+Tab walks back.
    void focusFollowsTabColumn()
    {
        QFETCH(View, view);
        QFETCH(bool, settingsOpen);
        Panel p;
        p.view(view, settingsOpen);
        p.window->show();
        p.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(p.window.get()));

        // A group of option buttons is one stop, as on any desktop: the arrow keys choose
        // within it.
        QStringList expected;
        QSet<const QWidget *> optionGroups;
        for (const char *name : kFocusOrder) {
            const QWidget *w = p.w(name);
            if (!w->isVisibleTo(p.window.get()))
                continue;
            if (qobject_cast<const QRadioButton *>(w) && !optionGroups.contains(w->parentWidget()))
                optionGroups.insert(w->parentWidget());
            else if (qobject_cast<const QRadioButton *>(w))
                continue;
            expected << QString::fromLatin1(name);
        }
        QCOMPARE(expected.contains(QStringLiteral("data-view")), view != View::Opened);
        QCOMPARE(expected.contains(QStringLiteral("com1")), settingsOpen);
        p.w(kFocusOrder[0])->setFocus(Qt::TabFocusReason);

        QStringList forward;
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QWidget *focus = QApplication::focusWidget();
            QVERIFY(focus);
            forward << focus->objectName();
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        QCOMPARE(forward, expected);
        QCOMPARE(QApplication::focusWidget()->objectName(), expected.first());

        QStringList backward;
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
            backward.prepend(QApplication::focusWidget()->objectName());
        }
        QCOMPARE(backward, expected);
    }

    // How it looks -----------------------------------------------------------------------------

    void fonts_data()
    {
        QTest::addColumn<layout::Font>("code");
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("pixelSize");
        QTest::addColumn<double>("points");
        QTest::addColumn<int>("weight");
        using enum layout::Font;
        const QString gothic = QStringLiteral("IPAGothic"), pGothic = QStringLiteral("IPAPGothic");
        QTest::newRow("Gothic9Bold") << Gothic9Bold << gothic << 12 << 9.0 << 700;
        QTest::newRow("Gothic9") << Gothic9 << gothic << 12 << 9.0 << 400;
        QTest::newRow("PGothic9") << PGothic9 << pGothic << 12 << 9.0 << 400;
        QTest::newRow("PGothic9Bold") << PGothic9Bold << pGothic << 12 << 9.0 << 700;
        QTest::newRow("Gothic8Bold") << Gothic8Bold << gothic << 11 << 8.25 << 700;
        QTest::newRow("Gothic8") << Gothic8 << gothic << 11 << 8.25 << 400;
        QTest::newRow("PGothic7") << PGothic7 << pGothic << 10 << 7.5 << 400;
        QTest::newRow("Gothic10Bold") << Gothic10Bold << gothic << 13 << 9.75 << 700;
        QTest::newRow("Gothic10") << Gothic10 << gothic << 13 << 9.75 << 400;
        QTest::newRow("PGothic10Bold") << PGothic10Bold << pGothic << 13 << 9.75 << 700;
    }

    // Every control of a font code gets the stand-in face at the designed size and weight.
    void fonts()
    {
        QFETCH(layout::Font, code);
        QFETCH(QString, family);
        QFETCH(int, pixelSize);
        QFETCH(double, points);
        QFETCH(int, weight);
        Panel p;
        int controls = 0;
        for (const layout::Control &c : layout::controls()) {
            if (c.font != code)
                continue;
            const QWidget *w =
                p.window->control(QString::fromUtf8(c.name.data(), qsizetype(c.name.size())));
            const QFontInfo info(w->font());
            QCOMPARE(info.family(), family);
            QCOMPARE(info.pixelSize(), pixelSize);
            QCOMPARE(info.pointSizeF(), points);
            QCOMPARE(info.weight(), weight);
            QVERIFY(!info.italic() && !info.underline() && !info.strikeOut());
            ++controls;
        }
        QVERIFY(controls > 0);
        // The window's own font, for whatever has none of its own.
        if (code == layout::Font::Gothic9Bold)
            QCOMPARE(QFontInfo(p.window->font()).family(), family);
    }

    void captionsFit_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        for (const Expected &e : kPanel) {
            if (*e.caption)
                QTest::newRow(e.name) << QString::fromUtf8(e.name) << QString::fromUtf8(e.caption);
        }
        // The data-view button's other captions.
        QTest::newRow("data-view hiding the data")
            << "data-view" << QString::fromUtf8("データを表示しない");
        QTest::newRow("data-view closing") << "data-view"
                                           << "CLOSE";
    }

    // Every character has a glyph in the control's own font (no boxes), and the caption fits.
    void captionsFit()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        Panel p;
        QWidget *w = p.window->control(name);
        if (auto *b = qobject_cast<QPushButton *>(w))
            b->setText(caption);
        const QFontMetrics fm(w->font());
        for (const char32_t ch : caption.toUcs4()) {
            QVERIFY2(fm.inFontUcs4(ch), qPrintable(QStringLiteral("U+%1").arg(uint(ch), 4, 16)));
        }

        if (const auto *b = qobject_cast<const PanelButton *>(w)) {
            const QStringList lines = b->captionLines();
            QCOMPARE(lines.join(QString()).remove(QLatin1Char(' ')),
                     QString(caption).remove(QLatin1Char(' ')));
            for (const QString &line : lines)
                QVERIFY2(fm.horizontalAdvance(line) <= b->captionRect().width(), qPrintable(line));
            const int n = int(lines.size());
            QVERIFY((n - 1) * b->captionLineSpacing(n) + fm.height() <= b->height());
        } else if (const auto *l = qobject_cast<const PanelLabel *>(w)) {
            QVERIFY(fm.horizontalAdvance(caption) <= l->contentsRect().width() - 2);
            QVERIFY(fm.height() <= l->contentsRect().height());
        } else if (const auto *o = qobject_cast<const QRadioButton *>(w)) {
            QVERIFY(o->sizeHint().width() <= o->width());
        }
    }

    void buttonColours_data()
    {
        QTest::addColumn<QString>("style");
        for (const QString &style : {QStringLiteral("Fusion"), QStringLiteral("Windows")}) {
            if (QStyleFactory::keys().contains(style, Qt::CaseInsensitive))
                QTest::newRow(qPrintable(style)) << style;
        }
    }

    // Each button's face is its own colour, exactly, whatever the application's style; "COM"
    // keeps the style's ordinary button face.
    void buttonColours()
    {
        QFETCH(QString, style);
        QApplication::setStyle(style);
        Panel p;
        p.view(View::Full);
        for (const layout::Control &c : layout::controls()) {
            if (c.kind != layout::Kind::Button)
                continue;
            const QString name = QString::fromUtf8(c.name.data(), qsizetype(c.name.size()));
            QWidget *b = p.window->control(name);
            const QColor expected = c.back == layout::kButtonFace
                                        ? QApplication::palette().color(QPalette::Button)
                                        : QColor::fromRgb(c.back);
            const QImage face = b->grab().toImage();
            const QColor drawn = face.pixelColor(2, face.height() / 2);
            QVERIFY2(drawn == expected, qPrintable(name + QLatin1Char(' ') + drawn.name() +
                                                   QLatin1String(" != ") + expected.name()));
        }
    }

    void monitorLines_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QColor>("text");
        QTest::newRow("TXD line") << "transmit-line" << QColor(Qt::black);
        QTest::newRow("RXD line") << "receive-line" << QColor(Qt::black);
        QTest::newRow("status line") << "status-line" << QColor(0xFF, 0x00, 0x00);
    }

    // White, empty at start, a single black border, and text in its own colour only.
    void monitorLines()
    {
        QFETCH(QString, name);
        QFETCH(QColor, text);
        Panel p;
        auto *line = qobject_cast<PanelLabel *>(p.window->control(name));
        QVERIFY(line);
        QVERIFY(line->text().isEmpty());
        line->setText(QStringLiteral(" Power ON  0123"));
        const QImage shot = line->grab().toImage();
        const int right = shot.width() - 1, bottom = shot.height() - 1;
        for (const QPoint at : {QPoint(0, 0), QPoint(right, 0), QPoint(0, bottom),
                                QPoint(right, bottom), QPoint(right / 2, 0)})
            QCOMPARE(shot.pixelColor(at), QColor(Qt::black));
        QCOMPARE(shot.pixelColor(right - 2, bottom / 2), QColor(Qt::white));
        int inked = 0;
        for (int y = 1; y < bottom; ++y) {
            for (int x = 1; x < right; ++x) {
                const QColor px = shot.pixelColor(x, y);
                QVERIFY2(blendOfWhiteAnd(px, text), qPrintable(px.name()));
                inked += px == text;
            }
        }
        QVERIFY(inked > 20);
    }

    void decorLines_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("least");
        QTest::addColumn<double>("most");
        for (const layout::Line &l : layout::lines()) {
            double least = 1.0, most = 1.0; // solid and inside solid
            if (l.style == 2)
                least = 0.5, most = 0.8; // dashes
            else if (l.style == 3)
                least = 0.2, most = 0.5; // dots
            const QByteArray name(l.name.data(), qsizetype(l.name.size()));
            QTest::newRow(name.constData()) << QString::fromLatin1(name) << least << most;
        }
    }

    // Drawn in the lines' blue along their whole length in their style, behind every control,
    // and never in the mouse's way.
    void decorLines()
    {
        QFETCH(QString, name);
        QFETCH(double, least);
        QFETCH(double, most);
        Panel p;
        p.view(View::Full);
        const auto *line = p.window->findChild<DecorLine *>(name);
        QVERIFY(line);
        QVERIFY(line->testAttribute(Qt::WA_TransparentForMouseEvents));
        const QObjectList stack = p.window->children(); // bottom to top
        for (const Expected &e : kPanel) {
            if (!*e.container)
                QVERIFY(stack.indexOf(line) < stack.indexOf(p.w(e.name)));
        }

        // A 2-pixel pen on a pixel boundary covers the pixels either side of it.
        const QImage shot = p.window->grab().toImage();
        const QPoint from = line->from(), to = line->to();
        const bool vertical = from.x() == to.x();
        const int start = (vertical ? std::min(from.y(), to.y()) : std::min(from.x(), to.x())) + 2;
        const int end = (vertical ? std::max(from.y(), to.y()) : std::max(from.x(), to.x())) - 2;
        int blue = 0;
        for (int i = start; i < end; ++i) {
            const QPoint a = vertical ? QPoint(from.x() - 1, i) : QPoint(i, from.y() - 1);
            const QPoint b = vertical ? QPoint(from.x(), i) : QPoint(i, from.y());
            QCOMPARE(shot.pixel(a), shot.pixel(b));
            blue += shot.pixel(a) == (0xFF000000 | kLineBlue);
        }
        const double share = double(blue) / (end - start);
        QVERIFY2(share >= least && share <= most, qPrintable(QString::number(share)));
    }

    // The picture -------------------------------------------------------------------------------

    void pictureFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QSize>("size");
        QTest::newRow("picture") << pictureFile() << QSize(80, 26);
        QTest::newRow("twice as dense") << densePictureFile() << QSize(160, 52);
    }

    // 24 bits per pixel: 8-bit truecolour without alpha.
    void pictureFiles()
    {
        QFETCH(QString, file);
        QFETCH(QSize, size);
        QFile f(file);
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(file));
        const QByteArray head = f.read(26);
        QVERIFY(head.startsWith("\x89PNG\r\n\x1a\n"));
        QCOMPARE(head.mid(12, 4), QByteArray("IHDR"));
        QCOMPARE(int(quint8(head[24])), 8); // bits per channel
        QCOMPARE(int(quint8(head[25])), 2); // red, green, blue
        QCOMPARE(QImage(file).size(), size);
    }

    void pictureUnscaled_data()
    {
        QTest::addColumn<double>("ratio");
        QTest::addColumn<QString>("file");
        QTest::newRow("one device pixel per pixel") << 1.0 << pictureFile();
        QTest::newRow("two device pixels per pixel") << 2.0 << densePictureFile();
    }

    // Drawn pixel for pixel: the denser picture on a denser device, never a scaled one.
    void pictureUnscaled()
    {
        QFETCH(double, ratio);
        QFETCH(QString, file);
        Panel p;
        auto *image = p.widget<PanelImage>(QStringLiteral("picture"));
        QCOMPARE(image->size(), QSize(80, 26));
        QPixmap target(image->size() * ratio);
        target.setDevicePixelRatio(ratio);
        target.fill(Qt::black);
        image->render(&target);
        QCOMPARE(target.toImage().convertToFormat(QImage::Format_RGB32),
                 QImage(file).convertToFormat(QImage::Format_RGB32));
    }

    void pictureDoubleClick()
    {
        Panel p;
        p.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(p.window.get()));
        auto *image = p.widget<PanelImage>(QStringLiteral("picture"));
        QSignalSpy spy(image, &PanelImage::doubleClicked);
        QTest::mouseDClick(image, Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
    }

    // Run with QT_SCALE_FACTOR=2 (the tst_layout_x2 test): the window twice the size, drawn at
    // the screen's density rather than enlarged.
    void hiDpiWindow()
    {
        if (qApp->devicePixelRatio() < 2.0)
            QSKIP("needs a screen of twice the density (QT_SCALE_FACTOR=2)");
        Panel p;
        p.view(View::Full);
        p.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(p.window.get()));
        const QImage shot = p.window->grab().toImage();
        QCOMPARE(shot.size(), QSize(633, 582) * 2);

        const QRect picture = onWindow(p.w("picture"));
        QCOMPARE(shot.copy(QRect(picture.topLeft() * 2, picture.size() * 2))
                     .convertToFormat(QImage::Format_RGB32),
                 QImage(densePictureFile()).convertToFormat(QImage::Format_RGB32));

        // An enlarged picture repeats every pixel in 2 x 2 blocks; text drawn at the screen's
        // density does not.
        const QRect enter = onWindow(p.w("menu-enter"));
        int detailed = 0;
        for (int y = enter.top() * 2; y < enter.bottom() * 2; y += 2) {
            for (int x = enter.left() * 2; x < enter.right() * 2; x += 2) {
                const QRgb c = shot.pixel(x, y);
                detailed += shot.pixel(x + 1, y) != c || shot.pixel(x, y + 1) != c ||
                            shot.pixel(x + 1, y + 1) != c;
            }
        }
        QVERIFY(detailed > 20);
    }
};

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
