// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// The traffic line: how a command string or the received characters are shown on the monitor.
// A leading blank, then one token per character: "ACK " for 0x06, "&" (no blank) for 0x14,
// "CR " and "LF ", the character and a blank for " " to "z", and "? " for everything else.

// Appends the tokens of chars to line.
void appendTraffic(QString &line, QStringView chars);

// The whole traffic line of a string: " " followed by its tokens.
QString renderTraffic(QStringView chars);

// Bytes become characters one to one (byte value = character code), so that nothing received
// is lost or merged in the conversion.
inline QString bytesToChars(const QByteArray &bytes) { return QString::fromLatin1(bytes); }

// Typed text becomes bytes: Latin-1 where a character has a Latin-1 code, one "?" for every
// other character (a character outside the basic plane, written as two UTF-16 units, is one
// character and becomes one "?").
QByteArray charsToBytes(QStringView text);
