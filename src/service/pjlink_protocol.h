// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

// The PJLink wire format, without sockets or projectors: the greeting, the login digest, one
// command line read into its parts, and the replies. Every function is pure, so that tables of
// bytes test it and a fuzzer can feed it anything.
namespace pjlink {

// A command line, its carriage return included, is at most this long; the login digest that
// may stand in front of the first one comes on top.
constexpr qsizetype kMaxLine = 136;
constexpr qsizetype kDigestLength = 32;  // MD5, in lowercase hex
constexpr qsizetype kRandomLength = 8;   // the greeting's random text, in hex
constexpr qsizetype kMaxParameter = 128; // bytes after the blank
constexpr qsizetype kMaxName = 64;       // NAME's answer

enum class Code : quint8 {
    Ok,
    UndefinedCommand, // ERR1
    OutOfParameter,   // ERR2
    UnavailableTime,  // ERR3
    ProjectorFailure, // ERR4
};

// One command line read: "%1POWR 1" is class 1, command POWR, parameter "1".
struct Command
{
    int version = 1;      // the class digit after '%'
    QByteArray name;      // four characters, as sent
    QByteArray parameter; // after the blank; "?" for a query
    bool isQuery() const { return parameter == "?"; }
};

// What a line says. Undefined: a header and a name that can be answered with ERR1 (an unknown
// or malformed command); Unreadable: not even that: no reply can name the command.
enum class LineKind : quint8 { Command, Undefined, OutOfParameter, Unreadable };

struct ParsedLine
{
    LineKind kind = LineKind::Unreadable;
    Command command; // header and name set for every kind but Unreadable
};

// One line, without its carriage return and without a login digest.
ParsedLine parseLine(QByteArrayView line);

// The greeting: "PJLINK 0\r" without a password, "PJLINK 1 <random>\r" with one.
QByteArray greeting(QByteArrayView random);
// The digest the client must send in front of its first command.
QByteArray digest(QByteArrayView random, QByteArrayView password);
// The first line of a session that needs a login, split into the digest in front and the rest:
// nothing when the line does not start with 32 hex digits.
struct Login
{
    QByteArray digest; // lowercased
    QByteArray rest;
};
std::optional<Login> splitLogin(QByteArrayView line);
constexpr char kLoginFailed[] = "PJLINK ERRA\r";

// "%1POWR=OK\r", "%1POWR=ERR2\r"
QByteArray reply(const Command &command, Code code);
// "%1LAMP=1234 1\r": a query's answer. Bytes outside printable ASCII are kept out of it (NAME
// may be UTF-8, which is let through).
QByteArray reply(const Command &command, QByteArrayView answer);

} // namespace pjlink
