// Draws the panel's picture, the "ODRA" mark at the top right of the window, as an 80 x 26 pixel
// picture and its 160 x 52 twice-as-dense variant, both 24 bits per pixel. The mark is drawn
// from strokes, not from a font, so that both sizes come out the same on any machine and each is
// sharp at its own density.
//
//   cmake --build build --target odra-mark && build/odra-mark src/ui/images

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

constexpr int kWidth = 80;
constexpr int kHeight = 26;

// The strokes, in the picture's own pixels: the letters stand between kTop and kBottom,
// kLetter wide with kGap between them, drawn with a pen kStroke wide.
constexpr double kTop = 5;
constexpr double kBottom = 18;
constexpr double kLetter = 12;
constexpr double kGap = 4;
constexpr double kStroke = 2;
constexpr double kFirst = (kWidth - 4 * kLetter - 3 * kGap) / 2;

// The pen runs along the middle of each stroke: half a stroke inside the letter's box.
constexpr double kIn = kStroke / 2;

QPainterPath letterO(double x)
{
    QPainterPath p;
    p.addRoundedRect(QRectF(x + kIn, kTop + kIn, kLetter - kStroke, kBottom - kTop - kStroke), 4,
                     4);
    return p;
}

QPainterPath letterD(double x)
{
    const double l = x + kIn, r = x + kLetter - kIn, t = kTop + kIn, b = kBottom - kIn;
    QPainterPath p;
    p.moveTo(l, t);
    p.lineTo(r - 5, t);
    p.cubicTo(r + 0.5, t, r + 0.5, b, r - 5, b);
    p.lineTo(l, b);
    p.closeSubpath();
    return p;
}

QPainterPath letterR(double x)
{
    const double l = x + kIn, r = x + kLetter - kIn, t = kTop + kIn, b = kBottom - kIn;
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

QPainterPath letterA(double x)
{
    const double l = x + kIn, r = x + kLetter - kIn, t = kTop + kIn, b = kBottom;
    const double mid = x + kLetter / 2;
    // A flat top, as wide as a stroke, so the apex neither spikes nor thins out.
    QPainterPath p;
    p.moveTo(l, b);
    p.lineTo(mid - kIn, t);
    p.lineTo(mid + kIn, t);
    p.lineTo(r, b);
    p.moveTo(l + 2.5, b - 4.5);
    p.lineTo(r - 2.5, b - 4.5);
    return p;
}

QImage draw(int scale)
{
    QImage image(kWidth * scale, kHeight * scale, QImage::Format_RGB888);
    // The window's grey behind the badge's rounded corners.
    image.fill(QColor(0xC0, 0xC0, 0xC0));

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);

    // The badge: deep blue, a shade lighter at the top.
    QLinearGradient fill(0, 0, 0, kHeight);
    fill.setColorAt(0, QColor(0x2A, 0x3F, 0x9A));
    fill.setColorAt(1, QColor(0x12, 0x1E, 0x5C));
    p.setPen(QPen(QColor(0x0A, 0x10, 0x38), 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0.5, 0.5, kWidth - 1, kHeight - 1), 4, 4);

    // The letters in white.
    QPen pen(Qt::white, kStroke, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    double x = kFirst;
    for (const auto &letter : {letterO, letterD, letterR, letterA}) {
        p.drawPath(letter(x));
        x += kLetter + kGap;
    }

    // An orange rule beneath them, the colour of the panel's ENTER key.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xFF, 0x80, 0x00));
    p.drawRect(QRectF(kFirst, kBottom + 2, kWidth - 2 * kFirst, 2));
    return image;
}

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
    const bool ok = draw(1).save(dir.filePath(QStringLiteral("image1.png"))) &&
                    draw(2).save(dir.filePath(QStringLiteral("image1@2x.png")));
    if (!ok) {
        std::fprintf(stderr, "odra-mark: cannot write to %s\n", qPrintable(dir.path()));
        return 1;
    }
    return 0;
}
