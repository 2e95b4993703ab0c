// SPDX-License-Identifier: MIT
// The reply decoder over arbitrary (last command, RXD line) pairs: no crash, and a result of the
// shape each rule allows. The status texts are written out here a second time, from the
// projector's tables, so that a slip in either copy shows.
//
// Input: byte 0 chooses the last command (one of the queries, a near miss, or text taken from
// the input up to a zero byte); byte 1 chooses the RXD line's form (the rendering of the rest as
// received bytes, as the session produces it, or the rest as raw UTF-16).
#include "fuzz_check.h"
#include "protocol/decoder.h"
#include "protocol/pressure.h"
#include "protocol/traffic.h"

#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

using Rows = std::vector<std::pair<QString, QString>>;

struct Query
{
    QString command;
    enum Kind { Table, LampTime, Temperatures, Copy, Pressure } kind;
    qsizetype keyLength = 0;
    Rows rows = {};
};

const std::vector<Query> &queries()
{
    // clang-format off
    static const std::vector<Query> all = {
        {"CR0\r", Query::Table, 4,
         {{" 0 0", " Power ON"},
          {" 8 0", " Stand by"},
          {" 4 0", " Count down"},
          {" 2 0", " Cooling down"},
          {" 1 0", " Power Fail"},
          {" 0 8", " Temperature Warning(Power ON)"},
          {" 0 2", " NO Key input "},
          {" 0 4", " Lamp OFF by PWR Management"},
          {" 2 8", " Temperature Warning & cooling down"},
          {" 2 4", " Lamp OFF & Tempereture Warning by PWR Management"},
          {" 8 8", " Temperature Warning and recoverd"},
          {" 2 1", " Cooling down (All Lamp FAIL)"},
          {" 8 1", " Cooling down & sutandby (All Lamp FAIL)"}}},
        {"CR1\r", Query::Table, 2,
         {{" 1", " Input mode 1"},
          {" 2", " Input mode 2"},
          {" 3", " Input mode 3"},
          {" 4", " Input mode 4"}}},
        {"CR4\r", Query::Table, 4,
         {{" 1 1", " Normally"},
          {" 1 0", " Top/Bottom reversal"},
          {" 0 1", " Left/Right reversal"},
          {" 0 0", " Top/Bottom , Left/Right reversal"}}},
        {"CR3\r", Query::LampTime},
        {"CR6\r", Query::Temperatures},
        {"CRA\r", Query::Table, 4,
         {{" 0 0", " Video & Audio mute OFF"},
          {" 0 1", " Video mute ON"},
          {" 0 2", " Audio mute ON"},
          {" 0 3", " Video & Audio mute ON"},
          {" 8 0", " No signal"},
          {" F F", " Stand by"}}},
        {"CR9\r", Query::Copy},
        {"CR PRESSURE\r", Query::Pressure},
        {"CR7\r", Query::Table, 4,
         {{" 0 0", " All OFF : 2 Lamp mode"},
          {" 0 1", " No1 ON  : 2 Lamp mode"},
          {" 0 2", " No2 ON  : 2 Lamp mode"},
          {" 0 3", " No1,2 ON  : 2 Lamp mode"},
          {" 1 0", " All OFF : 1 Lamp mode(No1 USE)"},
          {" 1 1", " No1 ON  : 1 Lamp mode(No1 USE)"},
          {" 2 0", " All OFF : 1 Lamp mode(No2 USE)"},
          {" 2 2", " No2 ON  : 1 Lamp mode(No2 USE)"}}},
    };
    // clang-format on
    return all;
}

// Commands that look like queries and are not: never decoded.
const QStringList kNearMisses = {"CR INFPFAIL\r", "cr0\r", "CR0",         "CR0 \r",
                                 "CR0\r\r",       "",      "CR PRESSURE", "C00\r"};

QString command(const uint8_t *&data, size_t &size)
{
    const uint8_t choice = data[0];
    ++data;
    --size;
    const auto &q = queries();
    const size_t named = q.size() + size_t(kNearMisses.size());
    if (choice % 4 != 0 || size == 0) {
        const size_t i = (choice / 4) % named;
        return i < q.size() ? q[i].command : kNearMisses[qsizetype(i - q.size())];
    }
    QString typed;
    while (size > 0 && data[0] != 0) {
        typed += QChar(char16_t(data[0]));
        ++data;
        --size;
    }
    if (size > 0) { // the separator
        ++data;
        --size;
    }
    return typed;
}

// The number the line starts with, read by the C library where that is exact enough: at most
// 15 significant digits and a magnitude below 10^15, so that no reading lands on a false half.
// Returns false where it cannot say.
bool referenceReading(QStringView line, qint64 *out)
{
    static const QRegularExpression number(
        QStringLiteral("^([+-]?)([0-9]*)(?:\\.([0-9]*))?(?:E([+-]?[0-9]+))?"));
    // Blanks go; anything beyond ASCII only ends the number (and a lone surrogate would make
    // the text invalid for the expression).
    QString compact;
    for (const QChar c : line)
        if (c != u' ' && c != u'\t' && c != u'\n')
            compact += c.unicode() < 0x80 ? c : QChar(u'?');
    const QRegularExpressionMatch m = number.match(compact);
    const QString whole = m.captured(2), fraction = m.captured(3);
    if (whole.isEmpty() && fraction.isEmpty()) {
        *out = 0;
        return true;
    }
    QString digits = whole + fraction;
    while (digits.startsWith(QLatin1Char('0')))
        digits.remove(0, 1);
    while (digits.endsWith(QLatin1Char('0')))
        digits.chop(1);
    if (digits.isEmpty()) {
        *out = 0;
        return true;
    }
    if (digits.size() > 15 || m.captured(4).size() > 6)
        return false;
    const QString text = m.captured(1) + (whole.isEmpty() ? QStringLiteral("0") : whole) +
                         QLatin1Char('.') + fraction + QLatin1Char('e') +
                         (m.captured(4).isEmpty() ? QStringLiteral("0") : m.captured(4));
    const double value = std::strtod(text.toLatin1().constData(), nullptr);
    if (!std::isfinite(value) || std::fabs(value) >= 1e15)
        return false;
    *out = static_cast<qint64>(std::nearbyint(value)); // ties to even in the default mode
    return true;
}

void checkPressure(QStringView rxd, const QString &text, qint64 value)
{
    static const QRegularExpression shape(QStringLiteral("^(-?[0-9]+) hPa$"));
    const QRegularExpressionMatch m = shape.match(text);
    FUZZ_CHECK(m.hasMatch(), "pressure text of the wrong shape");
    bool ok = false;
    FUZZ_CHECK(m.captured(1).toLongLong(&ok) == value && ok, "pressure text differs from value");

    const qint64 reading = status::readNumber(rxd);
    FUZZ_CHECK(std::llabs(reading) <= status::kReadingLimit, "reading beyond its bound");
    FUZZ_CHECK(status::convertPressure(reading) == value, "value is not the converted reading");
    qint64 reference = 0;
    if (referenceReading(rxd, &reference))
        FUZZ_CHECK(reading == reference, "reading %lld, the C library reads %lld",
                   static_cast<long long>(reading), static_cast<long long>(reference));
    // Within the sensor's range the conversion is plain double arithmetic.
    if (std::llabs(reading) <= 6553) {
        const double hpa = (double(reading * 5) / 1024 - 0.204) / 0.00459 + 150;
        FUZZ_CHECK(value == static_cast<qint64>(std::nearbyint(hpa)), "conversion of %lld",
                   static_cast<long long>(reading));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const QString lastCommand = command(data, size);
    if (size == 0)
        return 0;
    const bool rendered = data[0] % 2 == 0;
    ++data;
    --size;
    QString rxd;
    if (rendered) {
        rxd = renderTraffic(
            bytesToChars(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size))));
    } else {
        for (size_t i = 0; i + 1 < size; i += 2)
            rxd += QChar(char16_t(data[i] | (data[i + 1] << 8)));
    }

    constexpr qint64 kUntouched = 0x5A5A5A5A5A5A;
    const status::Decoded decoded = status::decodeReply(lastCommand, rxd);
    const std::optional<QString> &text = decoded.text;
    const qint64 pressureValue = decoded.pressure.value_or(kUntouched);

    const Query *query = nullptr;
    for (const Query &q : queries())
        if (q.command == lastCommand)
            query = &q;
    if (!query) {
        FUZZ_CHECK(!text, "a reply to a command that is no query was decoded");
        FUZZ_CHECK(pressureValue == kUntouched, "PressureValue changed by a non-pressure reply");
        return 0;
    }
    if (query->kind != Query::Pressure)
        FUZZ_CHECK(pressureValue == kUntouched, "PressureValue changed by a non-pressure reply");

    switch (query->kind) {
    case Query::Table: {
        const QStringView key = QStringView(rxd).left(query->keyLength);
        const QString *expected = nullptr;
        for (const auto &[k, t] : query->rows)
            if (k == key)
                expected = &t;
        if (expected)
            FUZZ_CHECK(text == *expected, "table query: wrong text for a listed key");
        else
            FUZZ_CHECK(!text, "table query: a text for an unlisted key");
        break;
    }
    case Query::LampTime:
        FUZZ_CHECK(text == rxd.left(38) + QStringLiteral(" Hour Use"), "lamp time text");
        break;
    case Query::Temperatures:
        FUZZ_CHECK(text == QStringLiteral("  S1=") + rxd.mid(0, 10) +
                               QStringLiteral(" C  ,   S2= ") + rxd.mid(14, 8) +
                               QStringLiteral(" C , S3=") + rxd.mid(24, 10) + QStringLiteral(" C"),
                   "temperature text");
        break;
    case Query::Copy: FUZZ_CHECK(text == rxd, "copy of the RXD line"); break;
    case Query::Pressure:
        FUZZ_CHECK(text.has_value(), "pressure query without a text");
        checkPressure(rxd, *text, pressureValue);
        break;
    }
    return 0;
}
