// SPDX-License-Identifier: MIT
#include "protocol/pressure.h"

#include <QChar>

#include <algorithm>
#include <array>
#include <cmath>

namespace status {
namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\n'; }
bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Walks text one character at a time, stepping over blanks wherever they stand.
class Cursor
{
public:
    explicit Cursor(QStringView text) : text_(text) {}

    // The next character that is not a blank; a null character at the end.
    QChar peek()
    {
        while (pos_ < text_.size() && isBlank(text_[pos_]))
            ++pos_;
        return pos_ < text_.size() ? text_[pos_] : QChar();
    }
    void take() { ++pos_; }

private:
    QStringView text_;
    qsizetype pos_ = 0;
};

// A rounded reading has at most 19 digits before the point (more is beyond kReadingLimit), and
// one more digit decides the rounding; whatever follows only tells whether it is exactly half.
constexpr int kMaxWholeDigits = 19;
constexpr int kKeptDigits = kMaxWholeDigits + 1;

// Exponents beyond this size move the number out of range either way; holding them here keeps
// the arithmetic on them far from overflow.
constexpr qint64 kExponentCap = 1'000'000'000'000'000;

qint64 roundHalfEven(double value)
{
    constexpr double kTwoPow63 = 9223372036854775808.0;
    if (std::isnan(value))
        return 0;
    if (value >= kTwoPow63)
        return std::numeric_limits<qint64>::max();
    if (value < -kTwoPow63)
        return std::numeric_limits<qint64>::min();
    double whole = std::floor(value);
    const double fraction = value - whole; // exact for every double
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0))
        whole += 1.0;
    return static_cast<qint64>(whole);
}

} // namespace

qint64 readNumber(QStringView text)
{
    Cursor in(text);

    bool negative = false;
    if (in.peek() == u'+' || in.peek() == u'-') {
        negative = in.peek() == u'-';
        in.take();
    }

    // The significant digits (from the first non-zero one) as 0.d1d2d3... * 10^exponent.
    std::array<quint8, kKeptDigits> digits{};
    int kept = 0;
    bool nonZeroBeyondKept = false;
    bool anyDigit = false;
    bool significant = false;
    bool afterPoint = false;
    qint64 exponent = 0;
    for (QChar c = in.peek();; c = in.peek()) {
        if (c == u'.' && !afterPoint) {
            afterPoint = true;
        } else if (isDigit(c)) {
            const auto d = static_cast<quint8>(c.unicode() - u'0');
            anyDigit = true;
            if (!significant && d == 0) {
                if (afterPoint)
                    --exponent;
            } else {
                significant = true;
                if (kept < kKeptDigits)
                    digits[kept++] = d;
                else if (d != 0)
                    nonZeroBeyondKept = true;
                if (!afterPoint)
                    ++exponent;
            }
        } else {
            break;
        }
        in.take();
    }
    if (!anyDigit)
        return 0;

    if (in.peek() == u'E') {
        in.take();
        bool negativeExponent = false;
        if (in.peek() == u'+' || in.peek() == u'-') {
            negativeExponent = in.peek() == u'-';
            in.take();
        }
        // An E without digits is no exponent; the number ends before it.
        qint64 e = 0;
        while (isDigit(in.peek())) {
            if (e < kExponentCap)
                e = e * 10 + (in.peek().unicode() - u'0');
            in.take();
        }
        e = std::min(e, kExponentCap);
        exponent += negativeExponent ? -e : e;
    }

    if (!significant || exponent < 0)
        return 0; // below 0.1: rounds to 0
    if (exponent > kMaxWholeDigits)
        return negative ? -kReadingLimit : kReadingLimit;

    const auto wholeDigits = static_cast<int>(exponent);
    quint64 whole = 0; // at most 19 digits: fits
    for (int i = 0; i < wholeDigits; ++i)
        whole = whole * 10 + (i < kept ? digits[i] : 0);
    const int roundingDigit = wholeDigits < kept ? digits[wholeDigits] : 0;
    bool beyondHalf = nonZeroBeyondKept;
    for (int i = wholeDigits + 1; i < kept; ++i)
        beyondHalf = beyondHalf || digits[i] != 0;
    if (roundingDigit > 5 || (roundingDigit == 5 && (beyondHalf || whole % 2 == 1)))
        ++whole;

    const auto magnitude = static_cast<qint64>(std::min<quint64>(whole, kReadingLimit));
    return negative ? -magnitude : magnitude;
}

qint64 convertPressure(qint64 reading)
{
    const qint64 product = std::clamp(reading, -kReadingLimit, kReadingLimit) * 5;
    return roundHalfEven((static_cast<double>(product) / 1024 - 0.204) / 0.00459 + 150);
}

} // namespace status
