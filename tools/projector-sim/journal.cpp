// SPDX-License-Identifier: MIT
#include "journal.h"

#include <cstdio>

Journal::Journal(const QByteArray &label) : label_(label)
{
    clock_.start();
}

void Journal::traffic(const char *direction, const QByteArray &bytes) const
{
    write(QByteArray(direction) + "  " + printable(bytes));
}

void Journal::note(const QString &text) const
{
    write("--  " + text.toLocal8Bit());
}

QByteArray Journal::printable(const QByteArray &bytes)
{
    QByteArray out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == 0x0D)
            out += "<CR>";
        else if (b == 0x0A)
            out += "<LF>";
        else if (b == 0x06)
            out += "<ACK>";
        else if (b >= 0x20 && b < 0x7F)
            out += c;
        else
            out += '<' + QByteArray::number(b, 16).rightJustified(2, '0').toUpper() + '>';
    }
    return out;
}

void Journal::write(const QByteArray &text) const
{
    // One write per line, so that lines from a --run program on the same terminal do not
    // cut through ours.
    const QByteArray line =
        QByteArray::number(now()).rightJustified(8, ' ') + " ms  " + label_ + text + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
}
