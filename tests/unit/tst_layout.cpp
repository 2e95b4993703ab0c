// The panel as built on a real window: every control once, in its place, with its caption, font
// and colours; nothing overlapping; each view cut off cleanly; the focus order; the picture.

#include "app/form1.h"
#include "core/manual_scheduler.h"
#include "fake_serial_port.h"
#include "panel/layout.h"
#include "panel/layout_builder.h"
#include "panel/widgets.h"

#include <QApplication>
#include <QFontInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace {

// Every control with its caption and the frame it sits in, as the design names them.
struct Expected
{
    const char *name;
    const char *caption;
    const char *container; // "" for the window
};

// clang-format off
const Expected kPanel[] = {
    // on the window
    {"Image1", "", ""}, {"Frame1", "", ""}, {"Frame2", "", ""}, {"Frame6", "", ""},
    {"Frame10", "", ""}, {"Frame3", "", ""}, {"Frame4", "", ""}, {"Frame7", "", ""},
    {"Frame5", "", ""}, {"Command5", "↑", ""}, {"Label3", "VOL", ""}, {"Label13", "Zoom", ""},
    {"Label14", "Focus", ""}, {"Label17", "D.Zoom", ""}, {"Label18", "Keystone", ""},
    {"Command13", "A-IMAGE", ""}, {"Command1", "+", ""}, {"Command15", "+", ""},
    {"Command36", "+", ""}, {"Command48", "+", ""}, {"Command50", "+", ""}, {"Command9", "←", ""},
    {"Command6", "ENTER", ""}, {"Command8", "→", ""}, {"Command30", "IMAGE", ""},
    {"Command2", "-", ""}, {"Command35", "-", ""}, {"Command37", "-", ""}, {"Command49", "-", ""},
    {"Command51", "-", ""}, {"Command14", "P-TIMER", ""}, {"Command7", "↓", ""},
    {"Frame8", "", ""}, {"Command3", "DISPLAY CLEAR", ""}, {"Label19", "R/C KEY OFF", ""},
    {"Command56", "NONE", ""}, {"Command4", "STAND", ""}, {"Command10", "REAL", ""},
    {"Command11", "CINEMA", ""}, {"Command33", "COM", ""}, {"Command39", "IMAGE1", ""},
    {"Command40", "IMAGE2", ""}, {"Command41", "IMAGE3", ""}, {"Command57", "R/C", ""},
    {"Command58", "KEY", ""}, {"Command16", "END", ""}, {"Command42", "IMAGE4", ""},
    {"Frame9", "", ""}, {"Command34", "データを表示する", ""}, {"Command52", "P-FAIL", ""},
    {"Command44", "STATUS", ""}, {"Command46", "L-TIME", ""}, {"Command54", "TEMP", ""},
    {"Command45", "MODE", ""}, {"Command47", "SETTING", ""}, {"Frame14", "", ""},
    {"Frame16", "", ""}, {"Frame15", "", ""},
    // Frame1
    {"Label1", "POWER", "Frame1"}, {"Command17", "ON", "Frame1"}, {"Command18", "OFF", "Frame1"},
    // Frame2
    {"Label2", "INPUT MODE SET", "Frame2"}, {"Command27", "1", "Frame2"},
    {"Command28", "2", "Frame2"}, {"Command29", "3", "Frame2"}, {"Command43", "LAN", "Frame2"},
    // Frame6
    {"Label7", "MENU", "Frame6"}, {"Command23", "ON", "Frame6"}, {"Command24", "OFF", "Frame6"},
    // Frame10
    {"Label20", "LENS SHIFT", "Frame10"}, {"Command59", "↑", "Frame10"},
    {"Command62", "↓", "Frame10"},
    // Frame3
    {"Label4", "SOUND MUTE", "Frame3"}, {"Command19", "ON", "Frame3"},
    {"Command20", "OFF", "Frame3"},
    // Frame4
    {"Label5", "NO SHOW", "Frame4"}, {"Command21", "ON", "Frame4"}, {"Command22", "OFF", "Frame4"},
    // Frame7
    {"Label8", "FREEZE", "Frame7"}, {"Command25", "ON", "Frame7"}, {"Command26", "OFF", "Frame7"},
    // Frame5
    {"Label6", "AV Size", "Frame5"}, {"Command31", "Regular", "Frame5"},
    {"Command32", "Wide", "Frame5"},
    // Frame8
    {"Option1", "COM1", "Frame8"}, {"Option2", "COM2", "Frame8"}, {"Frame13", "", "Frame8"},
    // Frame13
    {"Option9", "19200", "Frame13"}, {"Option10", "9600", "Frame13"},
    // Frame9
    {"Label11", "", "Frame9"}, {"Label9", "TXD", "Frame9"}, {"Label12", "", "Frame9"},
    {"Label10", "RXD", "Frame9"}, {"Label22", "", "Frame9"}, {"Label23", "STATUS", "Frame9"},
    // Frame14
    {"Label15", "1", "Frame14"}, {"Command64", "RGB", "Frame14"},
    {"Command65", "SCART", "Frame14"}, {"Command38", "DVI", "Frame14"},
    {"Command53", "HDCP", "Frame14"}, {"Command76", "Monitor OUT", "Frame14"},
    {"Label16", "2", "Frame14"}, {"Command72", "RGB", "Frame14"},
    {"Command12", "VIDEO", "Frame14"}, {"Command80", "Y,Pb/Cb,Pr/Cr", "Frame14"},
    {"Label24", "3", "Frame14"}, {"Command81", "VIDEO", "Frame14"},
    {"Command84", "S-VIDEO", "Frame14"}, {"Command82", "Y,Pb/Cb,Pr/Cr", "Frame14"},
    // Frame16
    {"Label27", "FAN SPEED", "Frame16"}, {"Command97", "MAX", "Frame16"},
    {"Command98", "NOR", "Frame16"},
    // Frame15
    {"Label26", "CMD", "Frame15"}, {"Text1", "", "Frame15"}, {"Command95", "SEND", "Frame15"},
    {"Command96", "CLS", "Frame15"},
};

// The controls that take the focus, in the order of the design's tab indexes.
const char *const kFocusOrder[] = {
    "Command17", "Command1", "Command2", "Command3", "Command5", "Command6", "Command7",
    "Command8", "Command9", "Command13", "Command14", "Command16", "Command18", "Command19",
    "Command20", "Command21", "Command22", "Command23", "Command24", "Command25", "Command26",
    "Command27", "Command28", "Command29", "Command31", "Command32", "Command33", "Option1",
    "Option2", "Command34", "Command15", "Command35", "Command36", "Command37", "Command44",
    "Command45", "Command46", "Command47", "Command48", "Command49", "Command50", "Command51",
    "Command54", "Command56", "Command57", "Command58", "Command59", "Command62", "Command30",
    "Option9", "Option10", "Command4", "Command10", "Command11", "Command39", "Command40",
    "Command41", "Command42", "Command52", "Command64", "Command65", "Command72", "Command76",
    "Command80", "Command81", "Command82", "Command84", "Text1", "Command95", "Command96",
    "Command97", "Command98", "Command43", "Command12", "Command38", "Command53",
};
// clang-format on

constexpr QRgb kWindowGrey = 0xC0C0C0;
constexpr QRgb kLineBlue = 0x8080FF;

// A real window on a manual clock and a fake port; warnings are recorded, not shown.
struct Panel
{
    ManualScheduler clock;
    FakeSerialPort port{&clock};
    QStringList warnings;
    std::unique_ptr<Form1> window;

    Panel()
    {
        Form1::Platform platform;
        platform.warning = [this](Form1 *, const QString &text) { warnings << text; };
        platform.endProgram = [] {};
        window = std::make_unique<Form1>(clock, port, platform);
    }
    QWidget *w(const char *name) const { return window->control(QString::fromUtf8(name)); }

    // The window as it looks at a height, with the data-view button shown as it is in every
    // view but the first.
    void view(int outerTwips, bool dataView, bool settingsOpen = false)
    {
        window->setHeight(outerTwips);
        w("Command34")->setVisible(dataView);
        if (settingsOpen)
            window->Command33_Click();
        else
            window->Frame8->hide();
    }
};

QRect onWindow(const QWidget *w) { return QRect(w->mapTo(w->window(), QPoint()), w->size()); }

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

const char *classFor(const QString &name)
{
    if (name.startsWith(QLatin1String("Command")))
        return "PanelButton";
    if (name.startsWith(QLatin1String("Label")))
        return "PanelLabel";
    if (name.startsWith(QLatin1String("Frame")))
        return "PanelFrame";
    if (name.startsWith(QLatin1String("Option")))
        return "QRadioButton";
    if (name.startsWith(QLatin1String("Text")))
        return "QLineEdit";
    return "PanelImage";
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
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("container");
        for (const Expected &e : kPanel)
            QTest::newRow(e.name) << QString::fromUtf8(e.name) << QString::fromUtf8(e.caption)
                                  << QString::fromUtf8(e.container);
    }

    void everyControlOnce()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, container);
        Panel p;
        const QList<QWidget *> found = p.window->findChildren<QWidget *>(name);
        QCOMPARE(found.size(), 1);
        QWidget *w = found.first();
        QCOMPARE(p.window->control(name), w);
        QCOMPARE(w->metaObject()->className(), classFor(name));
        QCOMPARE(captionOf(w), caption);
        const QWidget *expectedParent =
            container.isEmpty() ? p.window.get() : p.window->control(container);
        QCOMPARE(w->parentWidget(), expectedParent);
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
            twelve << QStringLiteral("Line%1").arg(i);
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

    // Handlers find buttons by name; a caption shared by several buttons must not hide one.
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
        p.view(9100, true, settingsOpen);
        const QWidget *settings = p.w("Frame8");
        const QWidget *com = p.w("Command33");
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
        QCOMPARE(p.window->Height(), 5350);
        p.window->Command33_Click();
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
        QCOMPARE(lowest, (QStringList{"Command42", "Frame8", "Command16"}));
        QVERIFY(onWindow(showing.first()).bottom() < cut);

        // The monitor, the data-view button and the status queries wait below the cut.
        for (const char *below : {"Frame9", "Command34", "Command52", "Command44"})
            QVERIFY2(visibleTop(p.w(below)) >= cut, below);
    }

    void viewsCutCleanly_data()
    {
        QTest::addColumn<int>("outerTwips");
        QTest::addColumn<int>("clientPixels");
        QTest::newRow("compact") << 5350 << 332;
        QTest::newRow("data view") << 6645 << 418;
        QTest::newRow("extended") << 7200 << 455;
        QTest::newRow("full") << 9100 << 582;
    }

    // No view shows a control cut in half, and below the last whole control there is only the
    // window's grey (no edge of a frame peeking in).
    void viewsCutCleanly()
    {
        QFETCH(int, outerTwips);
        QFETCH(int, clientPixels);
        Panel p;
        p.view(outerTwips, outerTwips != 5350);
        QCOMPARE(p.window->Height(), outerTwips);
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
        QTest::addColumn<bool>("settingsOpen");
        QTest::addColumn<bool>("dataView");
        QTest::newRow("as the window opens") << false << false;
        QTest::newRow("settings frame open") << true << false;
        QTest::newRow("data-view button shown") << false << true;
    }

    // Tab walks the controls in the design's order, in and out of frames, passing hidden ones;
    // Shift+Tab walks back.
    void focusFollowsTabColumn()
    {
        QFETCH(bool, settingsOpen);
        QFETCH(bool, dataView);
        Panel p;
        p.view(9100, dataView, settingsOpen);
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
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("pixelSize");
        QTest::addColumn<double>("points");
        QTest::addColumn<int>("weight");
        const QString gothic = QStringLiteral("IPAGothic"), pGothic = QStringLiteral("IPAPGothic");
        QTest::newRow("F0") << 0 << gothic << 12 << 9.0 << 700;
        QTest::newRow("F1") << 1 << gothic << 12 << 9.0 << 400;
        QTest::newRow("F2") << 2 << pGothic << 12 << 9.0 << 400;
        QTest::newRow("F3") << 3 << pGothic << 12 << 9.0 << 700;
        QTest::newRow("F4") << 4 << gothic << 11 << 8.25 << 700;
        QTest::newRow("F5") << 5 << gothic << 11 << 8.25 << 400;
        QTest::newRow("F6") << 6 << pGothic << 10 << 7.5 << 400;
        QTest::newRow("F7") << 7 << gothic << 13 << 9.75 << 700;
        QTest::newRow("F8") << 8 << gothic << 13 << 9.75 << 400;
        QTest::newRow("F9") << 9 << pGothic << 13 << 9.75 << 700;
    }

    // Every control of a font code gets the stand-in face at the designed size and weight.
    void fonts()
    {
        QFETCH(int, code);
        QFETCH(QString, family);
        QFETCH(int, pixelSize);
        QFETCH(double, points);
        QFETCH(int, weight);
        Panel p;
        int controls = 0;
        for (const layout::Control &c : layout::controls()) {
            if (int(c.font) != code)
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
        if (code == 0)
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
        QTest::newRow("Command34 hiding the data")
            << "Command34" << QString::fromUtf8("データを表示しない");
        QTest::newRow("Command34 closing") << "Command34"
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
        p.view(9100, true);
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
        QTest::newRow("TXD line") << "Label11" << QColor(Qt::black);
        QTest::newRow("RXD line") << "Label12" << QColor(Qt::black);
        QTest::newRow("status line") << "Label22" << QColor(0xFF, 0x00, 0x00);
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
        p.view(9100, true);
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
        QTest::newRow("picture") << ":/panel/image1.png" << QSize(80, 26);
        QTest::newRow("twice as dense") << ":/panel/image1@2x.png" << QSize(160, 52);
    }

    // 24 bits per pixel: 8-bit truecolour without alpha.
    void pictureFiles()
    {
        QFETCH(QString, file);
        QFETCH(QSize, size);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
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
        QTest::newRow("one device pixel per pixel") << 1.0 << ":/panel/image1.png";
        QTest::newRow("two device pixels per pixel") << 2.0 << ":/panel/image1@2x.png";
    }

    // Drawn pixel for pixel: the denser picture on a denser device, never a scaled one.
    void pictureUnscaled()
    {
        QFETCH(double, ratio);
        QFETCH(QString, file);
        Panel p;
        PanelImage *image = p.window->Image1;
        QVERIFY(image);
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
        QSignalSpy spy(p.window->Image1, &PanelImage::doubleClicked);
        QTest::mouseDClick(p.window->Image1, Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
    }

    // Run with QT_SCALE_FACTOR=2 (the tst_layout_x2 test): the window twice the size, drawn at
    // the screen's density rather than enlarged.
    void hiDpiWindow()
    {
        if (qApp->devicePixelRatio() < 2.0)
            QSKIP("needs a screen of twice the density (QT_SCALE_FACTOR=2)");
        Panel p;
        p.view(9100, true);
        p.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(p.window.get()));
        const QImage shot = p.window->grab().toImage();
        QCOMPARE(shot.size(), QSize(633, 582) * 2);

        const QRect picture = onWindow(p.window->Image1);
        QCOMPARE(shot.copy(QRect(picture.topLeft() * 2, picture.size() * 2))
                     .convertToFormat(QImage::Format_RGB32),
                 QImage(":/panel/image1@2x.png").convertToFormat(QImage::Format_RGB32));

        // An enlarged picture repeats every pixel in 2 x 2 blocks; text drawn at the screen's
        // density does not.
        const QRect enter = onWindow(p.w("Command6"));
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
