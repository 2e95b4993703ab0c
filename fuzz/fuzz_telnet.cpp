// SPDX-License-Identifier: MIT
// The telnet layer under arbitrary bytes. Whatever a device server sends: the codec's result does
// not depend on how the stream is cut into pieces, it never yields more data than it was given,
// keeps no subnegotiation beyond its limit, and answers only with whole negotiations, never more
// than it was asked. And whatever the panel sends: escaped, mixed with any commands a server may
// put between, and cut anyhow, it arrives exactly, not a byte lost or invented.
//
// Input: byte 0 chooses binary or not for each direction, byte 1 seeds the cuts and the commands
// put between; the rest is the stream, and the data.
#include "fuzz_check.h"
#include "line/telnet_codec.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace {

using telnet::Codec;

struct Cuts
{
    unsigned seed;
    qsizetype next(qsizetype most)
    {
        seed = seed * 1103515245u + 12345u;
        return qsizetype((seed >> 8) % unsigned(most + 1));
    }
};

// A codec as the other side of a connection sees it, binary or not in the direction it reads.
Codec reader(bool binary)
{
    Codec c;
    if (binary)
        c.decode(QByteArray::fromHex("fffb00")); // the far side will send binary
    return c;
}
Codec writer(bool binary)
{
    Codec c;
    if (binary)
        c.decode(QByteArray::fromHex("fffd00")); // the far side lets us send binary
    return c;
}

// Commands a server may put between data that carry none: no-ops, go-aheads, negotiations of
// options other than binary, subnegotiations with any payload.
QByteArray commandBetween(Cuts &cuts, const QByteArray &payload)
{
    switch (cuts.next(4)) {
    case 0: return QByteArray::fromHex("fff1");
    case 1: return QByteArray::fromHex("fff9");
    case 2: {
        const char verbs[] = {char(telnet::kWill), char(telnet::kWont), char(telnet::kDo),
                              char(telnet::kDont)};
        QByteArray out(1, char(telnet::kIac));
        out += verbs[cuts.next(3)];
        out += char(1 + cuts.next(254)); // never binary
        return out;
    }
    default:
        return Codec::subnegotiation(quint8(cuts.next(255)),
                                     payload.left(cuts.next(Codec::kMaxSubnegotiation)));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const bool binaryIn = data[0] & 1, binaryOut = data[0] & 2;
    const QByteArray stream(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));

    // Any stream from a server, whole and in pieces.
    // The server may have agreed to send binary before this stream began.
    const QByteArray binaryAgreed = binaryIn ? QByteArray::fromHex("fffb00") : QByteArray();
    Codec whole;
    whole.start();
    whole.decode(binaryAgreed);
    const Codec::Incoming all = whole.decode(stream);
    FUZZ_CHECK(all.data.size() <= stream.size(), "more data out than bytes in");
    FUZZ_CHECK(all.answer.size() % 3 == 0, "an answer that is no whole negotiation");
    FUZZ_CHECK(all.answer.size() <= stream.size(), "answered more than was asked");
    for (qsizetype i = 0; i < all.answer.size(); i += 3) {
        const quint8 verb = quint8(all.answer[i + 1]);
        FUZZ_CHECK(quint8(all.answer[i]) == telnet::kIac && verb >= telnet::kWill &&
                       verb <= telnet::kDont,
                   "answer %lld is not a negotiation", static_cast<long long>(i / 3));
    }
    for (const QByteArray &sub : all.subnegotiations)
        FUZZ_CHECK(!sub.isEmpty() && sub.size() <= Codec::kMaxSubnegotiation,
                   "subnegotiation of %lld bytes kept", static_cast<long long>(sub.size()));

    Codec pieces;
    pieces.start();
    pieces.decode(binaryAgreed);
    Codec::Incoming cut;
    Cuts cuts{data[1]};
    for (qsizetype at = 0; at < stream.size();) {
        const qsizetype n = cuts.next(7);
        const Codec::Incoming in = pieces.decode(stream.mid(at, n));
        cut.data += in.data;
        cut.answer += in.answer;
        cut.subnegotiations += in.subnegotiations;
        at += n;
    }
    FUZZ_CHECK(cut.data == all.data, "data depends on where the stream is cut");
    FUZZ_CHECK(cut.answer == all.answer, "answers depend on where the stream is cut");
    FUZZ_CHECK(cut.subnegotiations == all.subnegotiations,
               "subnegotiations depend on where the stream is cut");
    FUZZ_CHECK(pieces.settled() == whole.settled(), "negotiation depends on the cuts");

    // The same bytes as data: escaped piece by piece, commands put between the pieces, cut
    // anew on the way, and read back exactly.
    const Codec out = writer(binaryOut);
    FUZZ_CHECK(out.encode(stream).size() >= stream.size(), "escaping lost bytes");
    QByteArray mixed;
    for (qsizetype at = 0; at < stream.size();) {
        const qsizetype n = cuts.next(9);
        mixed += out.encode(stream.mid(at, n));
        at += n;
        if (cuts.next(1))
            mixed += commandBetween(cuts, stream);
    }
    Codec far = reader(binaryOut);
    QByteArray got;
    for (qsizetype at = 0; at < mixed.size();) {
        const qsizetype n = cuts.next(11);
        got += far.decode(mixed.mid(at, n)).data;
        at += n;
    }
    FUZZ_CHECK(got == stream, "data changed on the way: %lld bytes in, %lld out",
               static_cast<long long>(stream.size()), static_cast<long long>(got.size()));
    return 0;
}
