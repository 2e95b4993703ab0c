// SPDX-License-Identifier: MIT
#include "ui/widgets.h"

#include <QAccessible>
#include <QFileInfo>
#include <QFontInfo>
#include <QImageReader>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QPen>
#include <QTextLayout>
#include <qdrawutil.h>

#include <algorithm>
#include <utility>

namespace {
// No label of the panel is wider than a few hundred pixels; no glyph is narrower than a few.
constexpr qsizetype kMostVisibleChars = 400;

// The bevels and borders are the classic greys, whatever the desktop's palette says, so that
// they sit right on the panel's grey.
constexpr QRgb kHighlight = 0xFFFFFF;
constexpr QRgb kShadow = 0x808080;
constexpr QRgb kDarkShadow = 0x000000;
constexpr QRgb kGreyText = 0x808080;

// The bevel is two pixels on each side.
constexpr int kBevel = 2;

// The device pixels per logical pixel of what is being painted on: the screen when painting a
// widget on it, the target when rendering into a denser pixmap.
qreal paintedDevicePixelRatio(QPainter &p, const QWidget *w)
{
    if (const QPaintEngine *engine = p.paintEngine(); engine && engine->paintDevice())
        return engine->paintDevice()->devicePixelRatio();
    return w->devicePixelRatio();
}
} // namespace

// PanelLabel ---------------------------------------------------------------------------------

PanelLabel::PanelLabel(QWidget *parent) : QFrame(parent)
{
    setAutoFillBackground(true);
}

void PanelLabel::setText(const QString &text)
{
    if (text_ == text)
        return;
    const QString before = std::exchange(text_, text);
    ++revision_;
    update();
    if (QAccessible::isActive()) {
        QAccessibleTextUpdateEvent replaced(this, 0, before, text_);
        QAccessible::updateAccessibility(&replaced);
        QAccessibleEvent renamed(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&renamed);
        announce();
    }
}

void PanelLabel::appendText(QStringView more)
{
    if (more.isEmpty())
        return;
    // A long left-aligned line that grows at its end looks the same, since only its first
    // characters can be seen: it is not repainted. Under a flood of received characters the RXD
    // line grows at every notification, and repainting it each time would cost far more than
    // the receiving.
    const bool unchanged = (align_ & Qt::AlignLeft) && text_.size() >= kMostVisibleChars;
    const qsizetype at = text_.size();
    text_ += more;
    ++revision_;
    if (!unchanged)
        update();
    // Assistive technology hears of the new characters alone, however long the line has grown.
    if (QAccessible::isActive()) {
        QAccessibleTextInsertEvent inserted(this, int(at), more.toString());
        QAccessible::updateAccessibility(&inserted);
        QAccessibleEvent renamed(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&renamed);
        announce();
    }
}

void PanelLabel::setAlignment(Qt::Alignment a)
{
    align_ = a;
    update();
}

void PanelLabel::setBorder(bool on)
{
    border_ = on;
    const int m = on ? 1 : 0;
    setContentsMargins(m, m, m, m);
    update();
}

void PanelLabel::announce()
{
    // News appears as a notification does: screen readers speak a notification that shows,
    // wherever the focus is, and pass over a label whose text changes away from the focus.
    if (news_ && !text_.isEmpty()) {
        QAccessibleEvent shown(this, QAccessible::ObjectShow);
        QAccessible::updateAccessibility(&shown);
    }
}

QString PanelLabel::shownText() const
{
    return align_ & Qt::AlignLeft ? text_.left(kMostVisibleChars) : text_;
}

QRect PanelLabel::textRect() const
{
    return contentsRect().adjusted(1, 0, -1, 0);
}

int PanelLabel::shownLeft(const QString &shown) const
{
    const QRect r = textRect();
    const int width = fontMetrics().horizontalAdvance(shown);
    if (align_ & Qt::AlignHCenter)
        return r.left() + (r.width() - width) / 2;
    if (align_ & Qt::AlignRight)
        return r.right() + 1 - width;
    return r.left();
}

QRect PanelLabel::characterRect(qsizetype offset) const
{
    const QString shown = shownText();
    if (offset < 0 || offset >= shown.size())
        return {};
    const QFontMetrics fm = fontMetrics();
    const int x = shownLeft(shown) + fm.horizontalAdvance(shown.left(offset));
    return QRect(x, textRect().top(), fm.horizontalAdvance(shown.at(offset)), fm.height());
}

qsizetype PanelLabel::characterAt(QPoint point) const
{
    const QString shown = shownText();
    const QFontMetrics fm = fontMetrics();
    const int top = textRect().top();
    if (point.y() < top || point.y() >= top + fm.height())
        return -1;
    int x = shownLeft(shown);
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const int next = x + fm.horizontalAdvance(shown.at(i));
        if (point.x() >= x && point.x() < next)
            return i;
        x = next;
    }
    return -1;
}

void PanelLabel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (border_) {
        p.setPen(QColor(kDarkShadow));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    if (text_.isEmpty())
        return;
    p.setPen(palette().color(QPalette::WindowText));
    p.setFont(font());
    p.drawText(textRect(), int(align_ | Qt::AlignTop | Qt::TextSingleLine), shownText());
}

// PanelButton --------------------------------------------------------------------------------

PanelButton::PanelButton(const QString &caption, QWidget *parent) : QPushButton(caption, parent)
{
    setAutoDefault(false);
    setDefault(false);
}

QRect PanelButton::captionRect() const { return rect().adjusted(kBevel, kBevel, -kBevel, -kBevel); }

QStringList PanelButton::captionLines() const
{
    const QString caption = text();
    const int width = captionRect().width();
    if (caption.isEmpty() || fontMetrics().horizontalAdvance(caption) <= width)
        return {caption};

    // Break where the script allows it: between words, and between Japanese characters.
    QTextLayout layout(caption, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines << caption.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return lines;
}

int PanelButton::captionLineSpacing(int lineCount) const
{
    // Lines sit a font height apart; where that is too tall for the button they close up to the
    // em, which still keeps the glyphs of two lines apart.
    const int height = fontMetrics().height();
    if (lineCount * height <= captionRect().height())
        return height;
    return std::min(height, QFontInfo(font()).pixelSize());
}

void PanelButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const bool sunken = isDown() || isChecked();

    QPalette bevel = palette();
    bevel.setColor(QPalette::Light, QColor(kHighlight));
    bevel.setColor(QPalette::Dark, QColor(kShadow));
    bevel.setColor(QPalette::Shadow, QColor(kDarkShadow));
    const QBrush face(palette().color(QPalette::Button));
    qDrawWinButton(&p, rect(), bevel, sunken, &face);

    QRect text = captionRect();
    if (sunken)
        text.translate(1, 1);
    const QStringList lines = captionLines();
    const QFontMetrics fm = fontMetrics();
    const int spacing = captionLineSpacing(int(lines.size()));
    const int total = int(lines.size() - 1) * spacing + fm.height();
    int baseline = text.top() + (text.height() - total) / 2 + fm.ascent();
    p.setFont(font());
    p.setPen(isEnabled() ? palette().color(QPalette::ButtonText) : QColor(kGreyText));
    for (const QString &line : lines) {
        const int x = text.left() + (text.width() - fm.horizontalAdvance(line)) / 2;
        p.drawText(QPoint(x, baseline), line);
        baseline += spacing;
    }

    if (hasFocus()) {
        QPen dotted(palette().color(QPalette::ButtonText), 1, Qt::DotLine);
        p.setPen(dotted);
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(3, 3, -4, -4));
    }
}

// PanelFrame ---------------------------------------------------------------------------------

PanelFrame::PanelFrame(QWidget *parent) : QFrame(parent)
{
    setAutoFillBackground(true);
}

int PanelFrame::borderTop() const { return fontMetrics().height() / 2; }

void PanelFrame::paintEvent(QPaintEvent *)
{
    // Etched: a shadow line with a highlight line one pixel inside it.
    QPainter p(this);
    const QRect r = rect().adjusted(0, borderTop(), 0, 0);
    p.setBrush(Qt::NoBrush);
    p.setPen(QColor(kShadow));
    p.drawRect(r.adjusted(0, 0, -2, -2));
    p.setPen(QColor(kHighlight));
    p.drawRect(r.adjusted(1, 1, -1, -1));
}

// PanelImage ---------------------------------------------------------------------------------

PanelImage::PanelImage(QWidget *parent) : QFrame(parent) {}

QPixmap readPicture(const QString &path)
{
    // Read as the PNG it is: left to guess, the reader would load every image plugin to ask it.
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

void PanelImage::setPictureFile(const QString &path)
{
    picture_ = readPicture(path);
    const QFileInfo file(path);
    const QString denser = file.path() + QLatin1Char('/') + file.completeBaseName() +
                           QStringLiteral("@2x.") + file.suffix();
    picture2x_ = QFileInfo::exists(denser) ? readPicture(denser) : QPixmap();
    if (!picture2x_.isNull())
        picture2x_.setDevicePixelRatio(2.0);
    update();
}

void PanelImage::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter p(this);
    const bool dense = paintedDevicePixelRatio(p, this) > 1.0 && !picture2x_.isNull();
    const QPixmap &shown = dense ? picture2x_ : picture_;
    if (shown.isNull())
        return;
    // Unscaled: one picture pixel per logical pixel, or two per logical pixel from the denser
    // variant.
    p.drawPixmap(QPoint(0, 0), shown);
}

void PanelImage::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
    emit doubleClicked();
}

// DecorLine ----------------------------------------------------------------------------------

DecorLine::DecorLine(QWidget *parent, QPoint from, QPoint to, int style, QColor colour, int width)
    : QWidget(parent), style_(style), colour_(colour), width_(width)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    const int pad = width;
    const QRect box = QRect(from, to).normalized().adjusted(-pad, -pad, pad, pad);
    setGeometry(box);
    from_ = from - box.topLeft();
    to_ = to - box.topLeft();
}

void DecorLine::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    Qt::PenStyle pen = Qt::SolidLine;
    if (style_ == 2)
        pen = Qt::DashLine;
    else if (style_ == 3)
        pen = Qt::DotLine;
    // Solid lines reach half their width past their ends, so that two meeting at a corner close
    // it; dashes and dots keep their own lengths.
    const Qt::PenCapStyle cap = pen == Qt::SolidLine ? Qt::SquareCap : Qt::FlatCap;
    p.setPen(QPen(colour_, width_, pen, cap));
    p.drawLine(from_, to_);
}
