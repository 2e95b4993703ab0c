#include "panel/widgets.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPen>

#include <algorithm>

namespace {
// No label of the panel is wider than a few hundred pixels; no glyph is narrower than a few.
constexpr qsizetype kMostVisibleChars = 400;
} // namespace

PanelLabel::PanelLabel(QWidget *parent) : QFrame(parent)
{
    setAutoFillBackground(true);
}

void PanelLabel::setText(const QString &text)
{
    if (text_ == text)
        return;
    text_ = text;
    update();
}

void PanelLabel::setAlignment(Qt::Alignment a)
{
    align_ = a;
    update();
}

void PanelLabel::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    if (text_.isEmpty())
        return;
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    p.setFont(font());
    const QRect r = contentsRect().adjusted(1, 0, -1, 0);
    const QString shown = align_ & Qt::AlignLeft ? text_.left(kMostVisibleChars) : text_;
    p.drawText(r, int(align_ | Qt::AlignTop | Qt::TextSingleLine), shown);
}

PanelImage::PanelImage(QWidget *parent) : QFrame(parent) {}

void PanelImage::setPictureFile(const QString &path)
{
    picture_ = QPixmap(path);
    update();
}

void PanelImage::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    if (picture_.isNull())
        return;
    QPainter p(this);
    // Unscaled: one picture pixel per logical pixel (the @2x variant fills a dense screen).
    p.drawPixmap(QPoint(0, 0), picture_);
}

void PanelImage::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
    emit doubleClicked();
}

DecorLine::DecorLine(QWidget *parent, QPoint from, QPoint to, int style)
    : QWidget(parent), style_(style)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    const int pad = 2;
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
    p.setPen(QPen(QColor(0x80, 0x80, 0xFF), 2, pen, Qt::FlatCap));
    p.drawLine(from_, to_);
}
