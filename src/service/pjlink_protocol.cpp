// SPDX-License-Identifier: MIT
#include "service/pjlink_protocol.h"

#include <QCryptographicHash>

namespace pjlink {
namespace {

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isNameChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool isPrintable(char c)
{
    return c >= 0x20 && c <= 0x7e;
}

const char *codeText(Code code)
{
    switch (code) {
    case Code::Ok: return "OK";
    case Code::UndefinedCommand: return "ERR1";
    case Code::OutOfParameter: return "ERR2";
    case Code::UnavailableTime: return "ERR3";
    case Code::ProjectorFailure: return "ERR4";
    }
    return "ERR1";
}

QByteArray header(const Command &command)
{
    return '%' + QByteArray::number(command.version) + command.name.toUpper() + '=';
}

} // namespace

ParsedLine parseLine(QByteArrayView line)
{
    ParsedLine parsed;
    // "%", the class digit, four name characters: anything less cannot be answered by name.
    if (line.size() < 6 || line[0] != '%' || line[1] < '1' || line[1] > '9')
        return parsed;
    for (int i = 2; i < 6; ++i)
        if (!isNameChar(line[i]))
            return parsed;
    parsed.command.version = line[1] - '0';
    parsed.command.name = line.sliced(2, 4).toByteArray().toUpper();
    parsed.kind = LineKind::Undefined;
    if (line.size() < 8 || line[6] != ' ')
        return parsed; // no blank and parameter: not a command of any class
    const QByteArrayView parameter = line.sliced(7);
    parsed.kind = LineKind::OutOfParameter;
    if (parameter.size() > kMaxParameter)
        return parsed;
    for (const char c : parameter)
        if (!isPrintable(c))
            return parsed;
    parsed.command.parameter = parameter.toByteArray();
    parsed.kind = LineKind::Command;
    return parsed;
}

QByteArray greeting(QByteArrayView random)
{
    if (random.isEmpty())
        return QByteArrayLiteral("PJLINK 0\r");
    return "PJLINK 1 " + random.toByteArray() + '\r';
}

QByteArray digest(QByteArrayView random, QByteArrayView password)
{
    QCryptographicHash md5(QCryptographicHash::Md5);
    md5.addData(random);
    md5.addData(password);
    return md5.result().toHex();
}

std::optional<Login> splitLogin(QByteArrayView line)
{
    if (line.size() < kDigestLength)
        return std::nullopt;
    for (qsizetype i = 0; i < kDigestLength; ++i)
        if (!isHex(line[i]))
            return std::nullopt;
    return Login{line.first(kDigestLength).toByteArray().toLower(),
                 line.sliced(kDigestLength).toByteArray()};
}

QByteArray reply(const Command &command, Code code)
{
    return header(command) + codeText(code) + '\r';
}

QByteArray reply(const Command &command, QByteArrayView answer)
{
    QByteArray text = header(command);
    for (const char c : answer)
        text += (isPrintable(c) || (uchar(c) >= 0x80)) ? c : '?';
    return text + '\r';
}

} // namespace pjlink
