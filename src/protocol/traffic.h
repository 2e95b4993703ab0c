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

// A field of a record that is read back a line at a time (the traffic log): a backslash becomes
// "\\\\", TAB, LF and CR become "\\t", "\\n" and "\\r", any other control character (C0, DEL,
// C1) "\\xHH" and the line and paragraph separators "\\u2028" and "\\u2029", so that text from
// outside (a device's name, a reply) can neither end the record nor shift its fields. Everything
// else is kept as it is; text without those characters comes back unchanged.
QString escapeField(QStringView text);

// Typed text becomes bytes: Latin-1 where a character has a Latin-1 code, one "?" for every
// other character (a character outside the basic plane, written as two UTF-16 units, is one
// character and becomes one "?").
QByteArray charsToBytes(QStringView text);
