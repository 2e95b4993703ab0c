// SPDX-License-Identifier: MIT
#include "protocol/traffic.h"

#include <algorithm>

void appendTraffic(QString &line, QStringView chars)
{
    line.reserve(line.size() + 3 * chars.size());
    for (const QChar qc : chars) {
        const char16_t c = qc.unicode();
        switch (c) {
        case 0x06: line += QLatin1String("ACK "); break;
        case 0x14: line += QLatin1Char('&'); break;
        case 0x0D: line += QLatin1String("CR "); break;
        case 0x0A: line += QLatin1String("LF "); break;
        default:
            if (c >= u' ' && c <= u'z') {
                line += qc;
                line += QLatin1Char(' ');
            } else {
                line += QLatin1String("? ");
            }
        }
    }
}

QString renderTraffic(QStringView chars)
{
    QString line(QLatin1Char(' '));
    appendTraffic(line, chars);
    return line;
}

QString escapeField(QStringView text)
{
    const auto special = [](char16_t c) {
        return c < 0x20 || c == u'\\' || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
    };
    if (std::none_of(text.begin(), text.end(), [&](QChar c) { return special(c.unicode()); }))
        return text.toString();
    QString out;
    out.reserve(text.size() + 8);
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        switch (c) {
        case u'\\': out += QLatin1String("\\\\"); break;
        case u'\t': out += QLatin1String("\\t"); break;
        case u'\n': out += QLatin1String("\\n"); break;
        case u'\r': out += QLatin1String("\\r"); break;
        default:
            if (!special(c)) {
                out += qc;
                break;
            }
            out += c > 0xFF ? QLatin1String("\\u") : QLatin1String("\\x");
            for (int shift = c > 0xFF ? 12 : 4; shift >= 0; shift -= 4)
                out += QLatin1Char("0123456789ABCDEF"[(c >> shift) & 0xF]);
        }
    }
    return out;
}

QByteArray charsToBytes(QStringView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += '?';
            ++i;
        } else if (c.unicode() <= 0xFF) {
            out += static_cast<char>(c.unicode());
        } else {
            out += '?';
        }
    }
    return out;
}
