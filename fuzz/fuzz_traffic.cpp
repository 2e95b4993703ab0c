// SPDX-License-Identifier: MIT
// The traffic line under arbitrary characters: every character gives exactly one token from the
// monitor's small set, appending in pieces gives what rendering the whole gives, and the
// conversions between bytes and characters lose nothing they promise to keep.
//
// Input: byte 0 chooses how the rest becomes characters (Latin-1 bytes, or UTF-16 code units
// with lone surrogates and non-Latin-1 characters); byte 1 seeds the places where the
// characters are cut into pieces.
#include "fuzz_check.h"
#include "protocol/traffic.h"

#include <QString>

#include <cstddef>
#include <cstdint>

namespace {

// The token of one character, written out independently of the code under test.
QString tokenOf(char16_t c)
{
    if (c == 0x06)
        return QStringLiteral("ACK ");
    if (c == 0x14)
        return QStringLiteral("&");
    if (c == 0x0D)
        return QStringLiteral("CR ");
    if (c == 0x0A)
        return QStringLiteral("LF ");
    if (c >= 0x20 && c <= 0x7A)
        return QString(QChar(c)) + QLatin1Char(' ');
    return QStringLiteral("? ");
}

bool isAllowedToken(QStringView t)
{
    if (t == u"ACK " || t == u"&" || t == u"CR " || t == u"LF " || t == u"? ")
        return true;
    return t.size() == 2 && t[0].unicode() >= 0x20 && t[0].unicode() <= 0x7A && t[1] == u' ';
}

QString charsFrom(const uint8_t *data, size_t size, bool wide)
{
    if (!wide)
        return QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    QString out;
    for (size_t i = 0; i + 1 < size; i += 2)
        out += QChar(char16_t(data[i] | (data[i + 1] << 8)));
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const bool wide = data[0] & 1;
    unsigned cutSeed = data[1];
    const QString chars = charsFrom(data + 2, size - 2, wide);

    // Whole: a leading blank, then one allowed token per character, in order.
    const QString line = renderTraffic(chars);
    FUZZ_CHECK(line.startsWith(QLatin1Char(' ')), "line does not start with a blank");
    FUZZ_CHECK(line.size() <= 1 + 4 * chars.size(), "line longer than four per character");
    qsizetype at = 1;
    for (qsizetype i = 0; i < chars.size(); ++i) {
        const QString token = tokenOf(chars[i].unicode());
        FUZZ_CHECK(isAllowedToken(token), "oracle token outside the set");
        FUZZ_CHECK(QStringView(line).mid(at, token.size()) == token, "character %lld: wrong token",
                   static_cast<long long>(i));
        at += token.size();
    }
    FUZZ_CHECK(at == line.size(), "tokens and characters differ in number");

    // In pieces, cut wherever the seed says: the same line as the whole.
    QString pieces = QStringLiteral(" ");
    qsizetype from = 0;
    while (from < chars.size()) {
        cutSeed = cutSeed * 1103515245u + 12345u;
        const qsizetype len = qsizetype((cutSeed >> 8) % 17); // empty pieces too
        appendTraffic(pieces, QStringView(chars).mid(from, len));
        from += len;
    }
    FUZZ_CHECK(pieces == line, "appending in pieces differs from rendering whole");

    // Bytes to characters one to one, and back unchanged.
    const QByteArray raw(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString asChars = bytesToChars(raw);
    FUZZ_CHECK(asChars.size() == raw.size(), "bytes to characters changed the count");
    FUZZ_CHECK(charsToBytes(asChars) == raw, "bytes did not survive the round trip");

    // Typed text to bytes: one byte per character (a surrogate pair is one character), the
    // Latin-1 code where there is one, "?" for every other character.
    const QByteArray typed = charsToBytes(chars);
    qsizetype out = 0;
    for (qsizetype i = 0; i < chars.size(); ++i, ++out) {
        FUZZ_CHECK(out < typed.size(), "typed text lost characters");
        const char16_t c = chars[i].unicode();
        char expected = '?';
        if (QChar::isHighSurrogate(c) && i + 1 < chars.size() && chars[i + 1].isLowSurrogate())
            ++i;
        else if (c <= 0xFF)
            expected = char(c);
        FUZZ_CHECK(typed[out] == expected, "typed character %lld became the wrong byte",
                   static_cast<long long>(i));
    }
    FUZZ_CHECK(out == typed.size(), "typed text gained bytes");
    return 0;
}
