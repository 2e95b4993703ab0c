// SPDX-License-Identifier: MIT
// Draws the panel's picture, the "ODRA" mark at the top right of the window, as an 80 x 26 pixel
// picture and its 160 x 52 twice-as-dense variant, both 24 bits per pixel; and the program's
// icon, the same badge made square, as scalable vector graphics and in the icon sizes the
// window and the desktop use. The mark is drawn
// from strokes, not from a font, so that both sizes come out the same on any machine and each is
// sharp at its own density.
//
//   cmake --build build --target odra-mark && build/odra-mark src/ui/images

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>

#include <cstdio>

namespace {

constexpr int kWidth = 80;
constexpr int kHeight = 26;

// How the letters are drawn: they stand between top and bottom, letter wide with gap between
// them, the first at first, drawn with a pen stroke wide.
struct Glyphs
{
    double top, bottom, letter, gap, stroke, first;
    // The pen runs along the middle of each stroke: half a stroke inside the letter's box.
    double in() const { return stroke / 2; }
    double width() const { return 4 * letter + 3 * gap; }
};

// The picture's letters, in its own pixels.
constexpr Glyphs kPicture{5, 18, 12, 4, 2, (kWidth - 4 * 12 - 3 * 4) / 2.0};

// The program's icon: the same badge made square, on a 64-unit canvas, with taller letters so
// that the word fills it.
constexpr int kIconUnits = 64;
constexpr Glyphs kIcon{17, 39, 11, 3, 3, (kIconUnits - 4 * 11 - 3 * 3) / 2.0};
constexpr double kIconCorner = 10;

QPainterPath letterO(const Glyphs &g, double x)
{
    QPainterPath p;
    p.addRoundedRect(
        QRectF(x + g.in(), g.top + g.in(), g.letter - g.stroke, g.bottom - g.top - g.stroke), 4, 4);
    return p;
}

QPainterPath letterD(const Glyphs &g, double x)
{
    const double l = x + g.in(), r = x + g.letter - g.in(), t = g.top + g.in(),
                 b = g.bottom - g.in();
    QPainterPath p;
    p.moveTo(l, t);
    p.lineTo(r - 5, t);
    p.cubicTo(r + 0.5, t, r + 0.5, b, r - 5, b);
    p.lineTo(l, b);
    p.closeSubpath();
    return p;
}

QPainterPath letterR(const Glyphs &g, double x)
{
    const double l = x + g.in(), r = x + g.letter - g.in(), t = g.top + g.in(),
                 b = g.bottom - g.in();
    const double m = (t + b) / 2 + 0.5;
    QPainterPath p;
    p.moveTo(l, b);
    p.lineTo(l, t);
    p.lineTo(r - 4, t);
    p.cubicTo(r + 0.5, t, r + 0.5, m, r - 4, m);
    p.lineTo(l, m);
    p.moveTo(r - 4.5, m);
    p.lineTo(r, b);
    return p;
}

QPainterPath letterA(const Glyphs &g, double x)
{
    const double l = x + g.in(), r = x + g.letter - g.in(), t = g.top + g.in(), b = g.bottom;
    const double mid = x + g.letter / 2;
    // A flat top, as wide as a stroke, so the apex neither spikes nor thins out.
    QPainterPath p;
    p.moveTo(l, b);
    p.lineTo(mid - g.in(), t);
    p.lineTo(mid + g.in(), t);
    p.lineTo(r, b);
    p.moveTo(l + 2.5, b - 4.5);
    p.lineTo(r - 2.5, b - 4.5);
    return p;
}

// The four letters as one path.
QPainterPath word(const Glyphs &g)
{
    QPainterPath all;
    double x = g.first;
    for (const auto &letter : {letterO, letterD, letterR, letterA}) {
        all.addPath(letter(g, x));
        x += g.letter + g.gap;
    }
    return all;
}

// The orange rule beneath the letters, the colour of the panel's ENTER key.
QRectF rule(const Glyphs &g)
{
    return QRectF(g.first, g.bottom + 2, g.width(), g.stroke);
}

const QColor kBadgeTop(0x2A, 0x3F, 0x9A);
const QColor kBadgeBottom(0x12, 0x1E, 0x5C);
const QColor kBadgeEdge(0x0A, 0x10, 0x38);
const QColor kRule(0xFF, 0x80, 0x00);

// The badge and its letters on a canvas of the given size in units, already scaled.
void paintBadge(QPainter &p, const Glyphs &g, QSizeF units, double corner)
{
    p.setRenderHint(QPainter::Antialiasing);
    // The badge: deep blue, a shade lighter at the top.
    QLinearGradient fill(0, 0, 0, units.height());
    fill.setColorAt(0, kBadgeTop);
    fill.setColorAt(1, kBadgeBottom);
    p.setPen(QPen(kBadgeEdge, 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0.5, 0.5, units.width() - 1, units.height() - 1), corner, corner);

    // The letters in white, each stroke drawn on its own, as the picture always was.
    p.setPen(QPen(Qt::white, g.stroke, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    double x = g.first;
    for (const auto &letter : {letterO, letterD, letterR, letterA}) {
        p.drawPath(letter(g, x));
        x += g.letter + g.gap;
    }

    p.setPen(Qt::NoPen);
    p.setBrush(kRule);
    p.drawRect(rule(g));
}

QImage draw(int scale)
{
    QImage image(kWidth * scale, kHeight * scale, QImage::Format_RGB888);
    // The window's grey behind the badge's rounded corners.
    image.fill(QColor(0xC0, 0xC0, 0xC0));
    QPainter p(&image);
    p.scale(scale, scale);
    paintBadge(p, kPicture, QSizeF(kWidth, kHeight), 4);
    return image;
}

QImage drawIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.scale(double(size) / kIconUnits, double(size) / kIconUnits);
    paintBadge(p, kIcon, QSizeF(kIconUnits, kIconUnits), kIconCorner);
    return image;
}

QString number(double v)
{
    return QString::number(v, 'f', 3).remove(QRegularExpression("\\.?0+$"));
}

QString svgPath(const QPainterPath &path)
{
    QStringList d;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement: d << QStringLiteral("M"); break;
        case QPainterPath::LineToElement: d << QStringLiteral("L"); break;
        case QPainterPath::CurveToElement: d << QStringLiteral("C"); break;
        case QPainterPath::CurveToDataElement: break;
        }
        d << number(e.x) + QLatin1Char(',') + number(e.y);
    }
    return d.join(QLatin1Char(' '));
}

// The icon as scalable vector graphics, from the same strokes as the pixels.
QByteArray iconSvg()
{
    const QRectF r = rule(kIcon);
    const QString n = number(kIconUnits);
    const QString svg =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
            "viewBox=\"0 0 %1 %1\">\n"
            "  <title>ODRA control</title>\n"
            "  <defs>\n"
            "    <linearGradient id=\"badge\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"%1\" "
            "gradientUnits=\"userSpaceOnUse\">\n"
            "      <stop offset=\"0\" stop-color=\"%2\"/>\n"
            "      <stop offset=\"1\" stop-color=\"%3\"/>\n"
            "    </linearGradient>\n"
            "  </defs>\n"
            "  <rect x=\"0.5\" y=\"0.5\" width=\"%4\" height=\"%4\" rx=\"%5\" fill=\"url(#badge)\" "
            "stroke=\"%6\" stroke-width=\"1\"/>\n"
            "  <path d=\"%7\" fill=\"none\" stroke=\"#ffffff\" stroke-width=\"%8\" "
            "stroke-linecap=\"butt\" stroke-linejoin=\"miter\"/>\n"
            "  <rect x=\"%9\" y=\"%10\" width=\"%11\" height=\"%12\" fill=\"%13\"/>\n"
            "</svg>\n")
            .arg(n, kBadgeTop.name(), kBadgeBottom.name(), number(kIconUnits - 1),
                 number(kIconCorner), kBadgeEdge.name(), svgPath(word(kIcon)), number(kIcon.stroke),
                 number(r.x()))
            .arg(number(r.y()), number(r.width()), number(r.height()), kRule.name());
    return svg.toUtf8();
}

// The sizes the icon is drawn in for the window and the desktop's icon theme.
constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: odra-mark <directory>\n");
        return 2;
    }
    const QDir dir(args.at(1));
    bool ok = draw(1).save(dir.filePath(QStringLiteral("image1.png"))) &&
              draw(2).save(dir.filePath(QStringLiteral("image1@2x.png")));
    for (const int size : kIconSizes)
        ok = ok &&
             drawIcon(size).save(dir.filePath(QStringLiteral("odra-control-%1.png").arg(size)));
    QFile svg(dir.filePath(QStringLiteral("odra-control.svg")));
    ok = ok && svg.open(QIODevice::WriteOnly | QIODevice::Truncate) && svg.write(iconSvg()) > 0 &&
         svg.flush();
    if (!ok) {
        std::fprintf(stderr, "odra-mark: cannot write to %s\n", qPrintable(dir.path()));
        return 1;
    }
    return 0;
}
