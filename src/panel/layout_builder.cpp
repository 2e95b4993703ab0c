#include "panel/layout_builder.h"

#include "app/twips.h"
#include "panel/widgets.h"

#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace layout {
namespace {

struct FontRow
{
    const char *face;
    double points;
    int weight;
};

// clang-format off
constexpr FontRow kFonts[] = {
    {kGothic,  9.0,  700}, // F0, the window's font
    {kGothic,  9.0,  400}, // F1
    {kPGothic, 9.0,  400}, // F2
    {kPGothic, 9.0,  700}, // F3
    {kGothic,  8.25, 700}, // F4
    {kGothic,  8.25, 400}, // F5
    {kPGothic, 7.5,  400}, // F6
    {kGothic,  9.75, 700}, // F7
    {kGothic,  9.75, 400}, // F8
    {kPGothic, 9.75, 700}, // F9
};
// clang-format on

QColor toColour(Colour c) { return QColor::fromRgb(c & 0xFFFFFF); }

QString toQString(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

QRect toRect(const Control &c)
{
    return QRect(twips::toPixels(c.left), twips::toPixels(c.top), twips::toPixels(c.width),
                 twips::toPixels(c.height));
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

QWidget *make(const Control &c, QWidget *parent)
{
    const QString caption = QString::fromUtf8(c.caption);
    switch (c.kind) {
    case Kind::Frame: {
        auto *f = new QFrame(parent);
        f->setFrameStyle(QFrame::Box | QFrame::Sunken);
        f->setAutoFillBackground(true);
        return f;
    }
    case Kind::Label: {
        auto *l = new PanelLabel(parent);
        l->setText(caption);
        l->setAlignment(c.align == Align::Center  ? Qt::AlignHCenter
                        : c.align == Align::Right ? Qt::AlignRight
                                                  : Qt::AlignLeft);
        if (c.border)
            l->setFrameStyle(QFrame::Box | QFrame::Plain);
        return l;
    }
    case Kind::Button: {
        auto *b = new QPushButton(caption, parent);
        b->setAutoDefault(false);
        b->setDefault(false);
        return b;
    }
    case Kind::Option: {
        auto *o = new QRadioButton(caption, parent);
        o->setAutoFillBackground(true);
        return o;
    }
    case Kind::TextBox: {
        auto *t = new QLineEdit(parent);
        t->setMaxLength(std::numeric_limits<int>::max());
        return t;
    }
    case Kind::Image:
        return new PanelImage(parent);
    }
    return nullptr;
}

} // namespace

void installFontSubstitutions()
{
    QFont::insertSubstitution(QString::fromUtf8(kGothic), QString::fromUtf8(kGothicStandIn));
    QFont::insertSubstitution(QString::fromUtf8(kPGothic), QString::fromUtf8(kPGothicStandIn));
}

QFont font(Font code)
{
    const FontRow &r = kFonts[static_cast<int>(code)];
    QFont f(QString::fromUtf8(r.face));
    // Sizes are set in pixels at the design's 96 dots per inch (15 twips to the pixel), so
    // that text keeps its place among controls laid out in twips whatever the screen reports.
    f.setPixelSize(static_cast<int>(std::lround(r.points * 96.0 / 72.0)));
    f.setWeight(r.weight >= 700 ? QFont::Bold : QFont::Normal);
    f.setStyleHint(QFont::SansSerif);
    return f;
}

QHash<QString, QWidget *> build(QWidget *window)
{
    QHash<QString, QWidget *> built;
    std::vector<std::pair<int, QWidget *>> focusOrder;

    for (const Control &c : controls()) {
        QWidget *parent = c.parent.empty() ? window : built.value(toQString(c.parent));
        Q_ASSERT_X(parent, "layout::build", "a frame must come before what it holds");
        if (!parent)
            continue;
        QWidget *w = make(c, parent);
        w->setObjectName(toQString(c.name));
        w->setGeometry(toRect(c));
        w->setFont(font(c.font));
        paint(w, c);
        if (!c.visible)
            w->hide();
        built.insert(w->objectName(), w);
        if (c.tab >= 0 && c.kind != Kind::Frame && c.kind != Kind::Label && c.kind != Kind::Image)
            focusOrder.emplace_back(c.tab, w);
    }

    for (const Line &l : lines()) {
        auto *w = new DecorLine(window, QPoint(twips::toPixels(l.x1), twips::toPixels(l.y1)),
                                QPoint(twips::toPixels(l.x2), twips::toPixels(l.y2)), l.style);
        w->setObjectName(toQString(l.name));
        w->lower();
    }

    std::stable_sort(focusOrder.begin(), focusOrder.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (size_t i = 1; i < focusOrder.size(); ++i)
        QWidget::setTabOrder(focusOrder[i - 1].second, focusOrder[i].second);
    return built;
}

} // namespace layout
