// SPDX-License-Identifier: MIT
#pragma once

#include <QStringView>
#include <QtGlobal>

#include <limits>

// The pressure reading: the number at the start of the RXD line, and its conversion to hPa.
namespace status {

// The largest reading magnitude the conversion carries: its product by 5 still fits 64 bits, so
// every step after the reading is exact integer arithmetic or ordinary double arithmetic. Larger
// readings, up to infinitely many digits or an exponent of any size, are held at this bound
// with their sign; such a reading is a garbled reply, and a pinned value is the honest answer.
inline constexpr qint64 kReadingLimit = std::numeric_limits<qint64>::max() / 5;

// The number that text starts with, rounded to the nearest integer (halves to the even
// neighbour) and held within -kReadingLimit..kReadingLimit. Blanks, tabs and line feeds are
// skipped wherever they stand, so " 5 1 2 CR " reads 512. The number is an optional sign, decimal
// digits with at most one point, and an optional exponent: E, an optional sign and digits.
// Reading stops at the first character that cannot continue it; with no digit at all it is 0.
// The rounding is exact on the decimal digits, whatever their count, in one pass.
qint64 readNumber(QStringView text);

// A reading converted to hPa and rounded (halves to the even neighbour): 5 * reading / 1024,
// less 0.204, divided by 0.00459, plus 150, in double arithmetic and in exactly this order, so
// that every reading of the sensor's range gives the figure the projector's tables expect.
// Readings beyond kReadingLimit are held at it.
qint64 convertPressure(qint64 reading);

} // namespace status
