// SPDX-License-Identifier: MIT
#include "protocol/traffic.h"

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
