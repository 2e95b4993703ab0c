// SPDX-License-Identifier: MIT
#include "ui/layout_builder.h"

#include "protocol/catalogue.h"
#include "ui/command_box.h"
#include "ui/twips.h"
#include "ui/widgets.h"

#include <QButtonGroup>
#include <QFontDatabase>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <cmath>
#include <vector>

Q_LOGGING_CATEGORY(lcUi, "odra.ui")

namespace layout {
namespace {

// In the order of layout::Font.
struct FontRow
{
    const char *face;
    double points;
    int weight;
};

// clang-format off
constexpr FontRow kFonts[] = {
    {kGothic,  9.0,  700}, // Gothic9Bold, the window's font
    {kGothic,  9.0,  400}, // Gothic9
    {kPGothic, 9.0,  400}, // PGothic9
    {kPGothic, 9.0,  700}, // PGothic9Bold
    {kGothic,  8.25, 700}, // Gothic8Bold
    {kGothic,  8.25, 400}, // Gothic8
    {kPGothic, 7.5,  400}, // PGothic7
    {kGothic,  9.75, 700}, // Gothic10Bold
    {kGothic,  9.75, 400}, // Gothic10
    {kPGothic, 9.75, 700}, // PGothic10Bold
};
// clang-format on

QColor toColour(Colour c) { return QColor::fromRgb(c & 0xFFFFFF); }

// Edges are rounded, not sizes, so that controls designed edge to edge stay edge to edge.
QRect toRect(const Control &c)
{
    const QPoint topLeft(twips::toPixels(c.left), twips::toPixels(c.top));
    const QPoint end(twips::toPixels(c.left + c.width), twips::toPixels(c.top + c.height));
    return QRect(topLeft, QSize(end.x() - topLeft.x(), end.y() - topLeft.y()));
}

void paint(QWidget *w, const Control &c)
{
    QPalette pal = w->palette();
    if (c.back != kButtonFace && c.back != kSystemWindow) {
        const QColor back = toColour(c.back);
        pal.setColor(QPalette::Window, back);
        pal.setColor(QPalette::Button, back);
    }
    pal.setColor(QPalette::WindowText, toColour(c.fore));
    pal.setColor(QPalette::ButtonText, toColour(c.fore));
    w->setPalette(pal);
}

Qt::Alignment toAlignment(Align a)
{
    switch (a) {
    case Align::Center:
        return Qt::AlignHCenter;
    case Align::Right:
        return Qt::AlignRight;
    case Align::Left:
        break;
    }
    return Qt::AlignLeft;
}

QWidget *make(const Control &c, QWidget *parent)
{
    const QString caption = QString::fromUtf8(c.caption);
    switch (c.kind) {
    case Kind::Frame:
        return new PanelFrame(parent);
    case Kind::Label: {
        auto *l = new PanelLabel(parent);
        l->setText(caption);
        l->setAlignment(toAlignment(c.align));
        l->setBorder(c.border);
        return l;
    }
    case Kind::Button:
        return new PanelButton(caption, parent);
    case Kind::Option: {
        auto *o = new QRadioButton(caption, parent);
        o->setAutoFillBackground(true);
        return o;
    }
    case Kind::TextBox: return new CommandBox(parent);
    case Kind::Image: {
        auto *i = new PanelImage(parent);
        i->setPictureFile(QString::fromLatin1(kPictureFile));
        return i;
    }
    }
    return nullptr;
}

// What assistive technology says of the control: its name where the caption alone does not say
// what it does, and in a few words what it does (a command's words come from the catalogue).
void describe(QWidget *w, const Control &c)
{
    if (*c.spoken)
        w->setAccessibleName(QString::fromUtf8(c.spoken));
    const protocol::Command *command =
        c.kind == Kind::Button ? protocol::findCommand(c.name) : nullptr;
    if (command)
        w->setAccessibleDescription(QString::fromUtf8(command->what));
    else if (const char *what = purpose(c.name))
        w->setAccessibleDescription(QString::fromUtf8(what));
}

bool takesFocus(Kind k)
{
    return k == Kind::Button || k == Kind::Option || k == Kind::TextBox;
}

// The option buttons of one container form a group of their own. Qt's automatic grouping counts
// the buttons of nested frames in too when it moves a group's Tab stop: once a port button had
// the focus, Tab would no longer reach the speed buttons.
QButtonGroup *optionGroup(QWidget *container)
{
    auto *group = container->findChild<QButtonGroup *>(QString(), Qt::FindDirectChildrenOnly);
    if (!group)
        group = new QButtonGroup(container);
    return group;
}

} // namespace

void installFontSubstitutions()
{
    QFont::insertSubstitution(QString::fromUtf8(kGothic), QString::fromUtf8(kGothicStandIn));
    QFont::insertSubstitution(QString::fromUtf8(kPGothic), QString::fromUtf8(kPGothicStandIn));
    static bool checked = false;
    if (checked)
        return;
    checked = true;
    // Only the two faces are looked up: listing every family would make the font database read
    // the styles of every font installed, at start-up.
    QStringList present;
    for (const char *face : {kGothicStandIn, kPGothicStandIn})
        if (QFontDatabase::hasFamily(QString::fromLatin1(face)))
            present << QString::fromLatin1(face);
    if (const QString note = missingFontsNote(present); !note.isEmpty())
        qCWarning(lcUi).noquote() << note;
}

QString missingFontsNote(const QStringList &installedFamilies)
{
    QStringList missing;
    for (const char *face : {kGothicStandIn, kPGothicStandIn}) {
        const QString name = QString::fromLatin1(face);
        if (!installedFamilies.contains(name, Qt::CaseInsensitive))
            missing << name;
    }
    if (missing.isEmpty())
        return QString();
    return QStringLiteral("The font%1 %2 %3 not installed: the captions are drawn in another "
                          "face, or as boxes. Install the Debian package %4.")
        .arg(missing.size() > 1 ? QStringLiteral("s") : QString(),
             missing.join(QLatin1String(" and ")),
             missing.size() > 1 ? QStringLiteral("are") : QStringLiteral("is"),
             QString::fromLatin1(kStandInPackage));
}

QFont font(Font code)
{
    const FontRow &r = kFonts[static_cast<int>(code)];
    QFont f(QString::fromUtf8(r.face));
    // Sizes are set in pixels at the design's 96 dots per inch (15 twips to the pixel), so
    // that text keeps its place among controls laid out in twips whatever the screen reports.
    f.setPixelSize(static_cast<int>(std::lround(r.points * 96.0 / 72.0)));
    f.setWeight(static_cast<QFont::Weight>(r.weight));
    // Should the stand-ins be missing too, fall back on a face of the same kind.
    const bool fixedPitch = std::string_view(r.face) == kGothic;
    f.setStyleHint(fixedPitch ? QFont::TypeWriter : QFont::SansSerif);
    f.setFixedPitch(fixedPitch);
    return f;
}

QHash<QString, QWidget *> build(QWidget *window)
{
    QHash<QString, QWidget *> built;
    std::vector<std::pair<int, QWidget *>> focusOrder;

    for (const Control &c : controls()) {
        QWidget *parent = c.parent.empty() ? window : built.value(QString::fromUtf8(c.parent));
        Q_ASSERT_X(parent, "layout::build", "a frame must come before what it holds");
        if (!parent)
            continue;
        QWidget *w = make(c, parent);
        w->setObjectName(QString::fromUtf8(c.name));
        w->setGeometry(toRect(c));
        w->setFont(font(c.font));
        paint(w, c);
        if (!c.visible)
            w->hide();
        describe(w, c);
        built.insert(w->objectName(), w);
        if (c.kind == Kind::Option)
            optionGroup(parent)->addButton(static_cast<QRadioButton *>(w));
        if (c.tab >= 0 && takesFocus(c.kind))
            focusOrder.emplace_back(c.tab, w);
    }

    for (const Line &l : lines()) {
        auto *w = new DecorLine(window, QPoint(twips::toPixels(l.x1), twips::toPixels(l.y1)),
                                QPoint(twips::toPixels(l.x2), twips::toPixels(l.y2)), l.style,
                                toColour(kLineColour), kLineWidthPx);
        w->setObjectName(QString::fromUtf8(l.name));
        w->lower();
    }

    // Hidden controls stay in the chain; Qt passes over them while they are hidden.
    std::stable_sort(focusOrder.begin(), focusOrder.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (size_t i = 1; i < focusOrder.size(); ++i)
        QWidget::setTabOrder(focusOrder[i - 1].second, focusOrder[i].second);
    return built;
}

} // namespace layout
