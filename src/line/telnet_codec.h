// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QtGlobal>

#include <array>

// The telnet layer of a line to a serial device server, on the client's side: the data escaped
// and unescaped, the options negotiated, the subnegotiations taken out of the stream. Pure: it
// turns bytes into bytes and keeps the negotiation's state, so that any split of the stream into
// pieces gives the same result.
namespace telnet {

// The command bytes, each after an IAC.
enum Command : quint8 {
    kSe = 240, // end of a subnegotiation
    kNop = 241,
    kDataMark = 242,
    kGoAhead = 249,
    kSb = 250, // start of a subnegotiation
    kWill = 251,
    kWont = 252,
    kDo = 253,
    kDont = 254,
    kIac = 255,
};

// The options the client speaks of.
enum Option : quint8 {
    kBinary = 0,
    kEcho = 1,
    kSuppressGoAhead = 3,
    kComPort = 44,
};

class Codec
{
public:
    // What one piece of the server's stream held.
    struct Incoming
    {
        QByteArray data;   // the far serial port's bytes, as they were sent
        QByteArray answer; // the negotiation owed to the server: send it at once
        // Each complete subnegotiation: its option byte, then its payload, unescaped.
        QList<QByteArray> subnegotiations;
    };

    // The longest subnegotiation kept; a longer one (garbage, or an option we do not speak) is
    // skipped whole rather than grown without bound.
    static constexpr qsizetype kMaxSubnegotiation = 64;

    // Starts a new connection: every option off, and the client's opening offers to send:
    // binary both ways, no go-aheads both ways, and the serial port control.
    QByteArray start();

    Incoming decode(QByteArrayView bytes);
    // Data for the server: IAC doubled, and CR sent as CR NUL until binary is agreed.
    QByteArray encode(QByteArrayView data) const;
    // IAC SB option payload IAC SE, with IAC doubled in the payload.
    static QByteArray subnegotiation(quint8 option, QByteArrayView payload);

    // Whether the client has the option on (it offered, the server agreed) ...
    bool enabledHere(quint8 option) const { return here_[option] == State::Yes; }
    // ... or the server has it on.
    bool enabledThere(quint8 option) const { return there_[option] == State::Yes; }
    // Whether the server has answered every offer of start(), either way.
    bool settled() const;

private:
    enum class State : quint8 { No, Asked, Yes };
    enum class Parse : quint8 { Data, DataAfterCr, Iac, Option, Sub, SubIac };

    void negotiate(quint8 verb, quint8 option, QByteArray &answer);
    void afterIac(quint8 byte, Incoming &in);

    std::array<State, 256> here_{};
    std::array<State, 256> there_{};
    Parse parse_ = Parse::Data;
    quint8 verb_ = 0;
    QByteArray sub_;
    bool subTooLong_ = false;
};

} // namespace telnet
