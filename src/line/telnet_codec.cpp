// SPDX-License-Identifier: MIT
#include "line/telnet_codec.h"

namespace telnet {

namespace {

// What the client takes on itself, and what it lets the server take on. Everything else is
// refused, echo among it: the projector's replies must arrive exactly as it sent them.
bool clientDoes(quint8 option)
{
    return option == kBinary || option == kSuppressGoAhead || option == kComPort;
}
bool serverMayDo(quint8 option)
{
    return option == kBinary || option == kSuppressGoAhead;
}

void put(QByteArray &out, quint8 verb, quint8 option)
{
    out += char(kIac);
    out += char(verb);
    out += char(option);
}

} // namespace

QByteArray Codec::start()
{
    here_.fill(State::No);
    there_.fill(State::No);
    parse_ = Parse::Data;
    sub_.clear();
    subTooLong_ = false;

    QByteArray offers;
    for (const quint8 option : {kBinary, kSuppressGoAhead}) {
        here_[option] = State::Asked;
        put(offers, kWill, option);
        there_[option] = State::Asked;
        put(offers, kDo, option);
    }
    here_[kComPort] = State::Asked;
    put(offers, kWill, kComPort);
    return offers;
}

bool Codec::settled() const
{
    for (std::size_t option = 0; option < here_.size(); ++option)
        if (here_[option] == State::Asked || there_[option] == State::Asked)
            return false;
    return true;
}

// Each side answers only a change it did not ask for itself, so that two agreeing parties never
// answer each other's answers.
void Codec::negotiate(quint8 verb, quint8 option, QByteArray &answer)
{
    State &here = here_[option];
    State &there = there_[option];
    switch (verb) {
    case kDo:
        if (here == State::No)
            put(answer, clientDoes(option) ? kWill : kWont, option);
        if (here != State::No || clientDoes(option))
            here = State::Yes;
        break;
    case kDont:
        if (here == State::Yes)
            put(answer, kWont, option);
        here = State::No; // an offer of ours refused, or an option switched off
        break;
    case kWill:
        if (there == State::No)
            put(answer, serverMayDo(option) ? kDo : kDont, option);
        if (there != State::No || serverMayDo(option))
            there = State::Yes;
        break;
    case kWont:
        if (there == State::Yes)
            put(answer, kDont, option);
        there = State::No;
        break;
    }
}

void Codec::afterIac(quint8 byte, Incoming &in)
{
    switch (byte) {
    case kIac:
        in.data += char(kIac);
        parse_ = Parse::Data;
        break;
    case kWill:
    case kWont:
    case kDo:
    case kDont:
        verb_ = byte;
        parse_ = Parse::Option;
        break;
    case kSb:
        sub_.clear();
        subTooLong_ = false;
        parse_ = Parse::Sub;
        break;
    default:
        // NOP, go-ahead, data mark, a stray SE, or a byte that is no command at all: none of
        // them carries data.
        parse_ = Parse::Data;
        break;
    }
}

Codec::Incoming Codec::decode(QByteArrayView bytes)
{
    Incoming in;
    in.data.reserve(bytes.size());
    for (const char c : bytes) {
        const quint8 byte = quint8(c);
        switch (parse_) {
        case Parse::DataAfterCr:
            parse_ = Parse::Data;
            if (byte == 0)
                break; // CR NUL: a bare CR outside binary mode
            [[fallthrough]];
        case Parse::Data:
            if (byte == kIac) {
                parse_ = Parse::Iac;
            } else {
                in.data += c;
                if (byte == '\r' && !enabledThere(kBinary))
                    parse_ = Parse::DataAfterCr;
            }
            break;
        case Parse::Iac: afterIac(byte, in); break;
        case Parse::Option:
            negotiate(verb_, byte, in.answer);
            parse_ = Parse::Data;
            break;
        case Parse::Sub:
            if (byte == kIac)
                parse_ = Parse::SubIac;
            else if (sub_.size() < kMaxSubnegotiation)
                sub_ += c;
            else
                subTooLong_ = true;
            break;
        case Parse::SubIac:
            if (byte == kIac) {
                if (sub_.size() < kMaxSubnegotiation)
                    sub_ += c;
                else
                    subTooLong_ = true;
                parse_ = Parse::Sub;
            } else if (byte == kSe) {
                if (!subTooLong_ && !sub_.isEmpty())
                    in.subnegotiations << sub_;
                parse_ = Parse::Data;
            } else {
                // A subnegotiation cut short by another command: it is dropped, the command
                // read as one.
                afterIac(byte, in);
            }
            break;
        }
    }
    return in;
}

QByteArray Codec::encode(QByteArrayView data) const
{
    const bool binary = enabledHere(kBinary);
    QByteArray out;
    out.reserve(data.size() + data.size() / 8 + 1);
    for (const char c : data) {
        out += c;
        if (quint8(c) == kIac)
            out += c;
        else if (c == '\r' && !binary)
            out += '\0';
    }
    return out;
}

QByteArray Codec::subnegotiation(quint8 option, QByteArrayView payload)
{
    QByteArray out;
    out += char(kIac);
    out += char(kSb);
    out += char(option);
    if (option == kIac)
        out += char(kIac); // inside a subnegotiation every 0xFF is doubled, its option too
    for (const char c : payload) {
        out += c;
        if (quint8(c) == kIac)
            out += c;
    }
    out += char(kIac);
    out += char(kSe);
    return out;
}

} // namespace telnet
