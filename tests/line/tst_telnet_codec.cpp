// SPDX-License-Identifier: MIT
// The telnet layer and the serial port control from tables of byte sequences, written out by
// hand as a device server sends and expects them.
#include "line/com_port_control.h"
#include "line/telnet_codec.h"

#include <QtTest>

namespace {

// "ff fb 03" -> the bytes; text in quotes goes in as it is: "'80' 0d".
QByteArray bytes(const char *written)
{
    QByteArray out;
    const QByteArray s(written);
    for (qsizetype i = 0; i < s.size();) {
        if (s[i] == ' ') {
            ++i;
        } else if (s[i] == '\'') {
            const qsizetype end = s.indexOf('\'', i + 1);
            out += s.mid(i + 1, end - i - 1);
            i = end + 1;
        } else {
            out += char(s.mid(i, 2).toInt(nullptr, 16));
            i += 2;
        }
    }
    return out;
}

// What ser2net sends first on a telnet(rfc2217) port, before anything is asked of it.
const char *const kServerOpening = "ff fb 03 ff fd 03 ff fb 01 ff fe 01 ff fd 00 ff fb 00 ff fd 2c";

// A codec after the client's offers and the server's opening, both ways binary.
telnet::Codec negotiated()
{
    telnet::Codec c;
    c.start();
    c.decode(bytes(kServerOpening));
    return c;
}

// A codec after the client's offers and a server that refuses binary both ways.
telnet::Codec withoutBinary()
{
    telnet::Codec c;
    c.start();
    c.decode(bytes("ff fc 00 ff fe 00 ff fb 03 ff fd 03 ff fd 2c"));
    return c;
}

QByteArray every256()
{
    QByteArray all(256, Qt::Uninitialized);
    for (int i = 0; i < 256; ++i)
        all[i] = char(i);
    return all;
}

} // namespace

class TelnetCodecTest : public QObject
{
    Q_OBJECT
private slots:
    void opening();
    void negotiation_data();
    void negotiation();
    void decode_data();
    void decode();
    void encode_data();
    void encode();
    void roundTripInEveryPieceSize_data();
    void roundTripInEveryPieceSize();
    void settingsRequest_data();
    void settingsRequest();
    void notices_data();
    void notices();
};

void TelnetCodecTest::opening()
{
    telnet::Codec c;
    QCOMPARE(c.start(), bytes("ff fb 00 ff fd 00 ff fb 03 ff fd 03 ff fb 2c"));
    QVERIFY(!c.settled());
    QVERIFY(!c.enabledHere(telnet::kBinary));
    // ser2net's opening answers every offer; only its echo is turned down.
    const telnet::Codec::Incoming in = c.decode(bytes(kServerOpening));
    QCOMPARE(in.answer, bytes("ff fe 01"));
    QVERIFY(in.data.isEmpty());
    QVERIFY(c.settled());
    QVERIFY(c.enabledHere(telnet::kBinary) && c.enabledThere(telnet::kBinary));
    QVERIFY(c.enabledHere(telnet::kComPort));
    QVERIFY(!c.enabledThere(telnet::kEcho));
}

void TelnetCodecTest::negotiation_data()
{
    QTest::addColumn<QByteArray>("received"); // after the client's offers
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("settled");
    QTest::addColumn<bool>("comPort");
    QTest::addColumn<bool>("binaryThere");

    QTest::newRow("nothing yet") << QByteArray() << QByteArray() << false << false << false;
    QTest::newRow("server refuses the port control")
        << bytes("ff fe 2c ff fd 00 ff fb 00 ff fd 03 ff fb 03") << QByteArray() << true << false
        << true;
    QTest::newRow("an offer still unanswered")
        << bytes("ff fd 00 ff fb 00 ff fd 03 ff fb 03") << QByteArray() << false << false << true;
    QTest::newRow("terminal type asked: refused")
        << bytes("ff fd 18") << bytes("ff fc 18") << false << false << false;
    QTest::newRow("unknown offer: refused")
        << bytes("ff fb 05") << bytes("ff fe 05") << false << false << false;
    QTest::newRow("a request repeated is not answered twice")
        << bytes(kServerOpening) + bytes(kServerOpening) << bytes("ff fe 01 ff fe 01") << true
        << true << true;
    QTest::newRow("binary switched off by the server afterwards")
        << bytes(kServerOpening) + bytes("ff fc 00") << bytes("ff fe 01 ff fe 00") << true << true
        << false;
    QTest::newRow("the port control switched off afterwards")
        << bytes(kServerOpening) + bytes("ff fe 2c") << bytes("ff fe 01 ff fc 2c") << true << false
        << true;
    QTest::newRow("an option already off, switched off: no answer")
        << bytes("ff fc 01 ff fe 05") << QByteArray() << false << false << false;
    QTest::newRow("negotiation inside data, split from its option")
        << bytes("'A' ff fd") + bytes("18 'B'") << bytes("ff fc 18") << false << false << false;
}

void TelnetCodecTest::negotiation()
{
    QFETCH(QByteArray, received);
    QFETCH(QByteArray, answer);
    QFETCH(bool, settled);
    QFETCH(bool, comPort);
    QFETCH(bool, binaryThere);
    telnet::Codec c;
    c.start();
    QByteArray answered;
    // One byte at a time: every state must hold across the pieces.
    for (const char b : received)
        answered += c.decode(QByteArrayView(&b, 1)).answer;
    QCOMPARE(answered, answer);
    QCOMPARE(c.settled(), settled);
    QCOMPARE(c.enabledHere(telnet::kComPort), comPort);
    QCOMPARE(c.enabledThere(telnet::kBinary), binaryThere);
}

void TelnetCodecTest::decode_data()
{
    QTest::addColumn<bool>("binary");
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QList<QByteArray>>("subs");
    using Subs = QList<QByteArray>;

    QTest::newRow("a reply") << true << bytes("'80' 0d") << bytes("'80' 0d") << Subs();
    QTest::newRow("0xFF doubled") << true << bytes("'a' ff ff 'b'") << bytes("'a' ff 'b'")
                                  << Subs();
    QTest::newRow("NOP, go-ahead, data mark carry no data")
        << true << bytes("'A' ff f1 'B' ff f9 'C' ff f2") << bytes("'ABC'") << Subs();
    QTest::newRow("a stray end of subnegotiation")
        << true << bytes("ff f0 'A'") << bytes("'A'") << Subs();
    QTest::newRow("a command byte that is none")
        << true << bytes("'A' ff 41 'B'") << bytes("'AB'") << Subs();
    QTest::newRow("modem state notice between data")
        << true << bytes("'8' ff fa 2c 6b 30 ff f0 '0' 0d") << bytes("'80' 0d")
        << Subs{bytes("2c 6b 30")};
    QTest::newRow("line state notice with 0xFF in it")
        << true << bytes("ff fa 2c 6a ff ff ff f0 'x'") << bytes("'x'") << Subs{bytes("2c 6a ff")};
    QTest::newRow("speed answer") << true << bytes("ff fa 2c 65 00 00 4b 00 ff f0") << QByteArray()
                                  << Subs{bytes("2c 65 00 00 4b 00")};
    QTest::newRow("another option's subnegotiation")
        << true << bytes("ff fa 18 01 ff f0 'x'") << bytes("'x'") << Subs{bytes("18 01")};
    QTest::newRow("subnegotiation cut short by a command")
        << true << bytes("ff fa 2c 65 00 ff f1 'x'") << bytes("'x'") << Subs();
    QTest::newRow("subnegotiation cut short by an escaped byte's look-alike")
        << true << bytes("ff fa 2c 6b ff 'y' 'x'") << bytes("'x'") << Subs();
    QTest::newRow("overlong subnegotiation skipped whole")
        << true << bytes("ff fa 2c") + QByteArray(200, 'z') + bytes("ff f0 'x'") << bytes("'x'")
        << Subs();
    QTest::newRow("a subnegotiation right after an overlong one")
        << true << bytes("ff fa") + QByteArray(100, 'z') + bytes("ff f0 ff fa 2c 6b 10 ff f0")
        << QByteArray() << Subs{bytes("2c 6b 10")};
    QTest::newRow("binary: CR NUL is two bytes")
        << true << bytes("0d 00 'A'") << bytes("0d 00 'A'") << Subs();
    QTest::newRow("not binary: CR NUL is a bare CR")
        << false << bytes("'80' 0d 00 'A'") << bytes("'80' 0d 'A'") << Subs();
    QTest::newRow("not binary: CR LF stays") << false << bytes("0d 0a") << bytes("0d 0a") << Subs();
    QTest::newRow("not binary: CR then 0xFF")
        << false << bytes("0d ff ff") << bytes("0d ff") << Subs();
}

void TelnetCodecTest::decode()
{
    QFETCH(bool, binary);
    QFETCH(QByteArray, received);
    QFETCH(QByteArray, data);
    QFETCH(QList<QByteArray>, subs);
    // Whole, and cut at every place: the same data and the same subnegotiations.
    for (qsizetype cut = 0; cut <= received.size(); ++cut) {
        telnet::Codec c = binary ? negotiated() : withoutBinary();
        telnet::Codec::Incoming a = c.decode(received.left(cut));
        const telnet::Codec::Incoming b = c.decode(received.mid(cut));
        a.data += b.data;
        a.subnegotiations += b.subnegotiations;
        QVERIFY2(a.data == data, qPrintable(QStringLiteral("cut at %1: %2")
                                                .arg(cut)
                                                .arg(QString::fromLatin1(a.data.toHex(' ')))));
        QCOMPARE(a.subnegotiations, subs);
    }
}

void TelnetCodecTest::encode_data()
{
    QTest::addColumn<bool>("binary");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("a command") << true << bytes("'C00' 0d") << bytes("'C00' 0d");
    QTest::newRow("typed 0xFF") << true << bytes("ff 0d") << bytes("ff ff 0d");
    QTest::newRow("typed 0xFF 0xFF") << true << bytes("ff ff") << bytes("ff ff ff ff");
    QTest::newRow("nothing") << true << QByteArray() << QByteArray();
    QTest::newRow("not binary: CR as CR NUL") << false << bytes("'C00' 0d") << bytes("'C00' 0d 00");
    QTest::newRow("not binary: CR LF") << false << bytes("0d 0a") << bytes("0d 00 0a");
}

void TelnetCodecTest::encode()
{
    QFETCH(bool, binary);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, wire);
    const telnet::Codec c = binary ? negotiated() : withoutBinary();
    QCOMPARE(c.encode(data), wire);
}

void TelnetCodecTest::roundTripInEveryPieceSize_data()
{
    QTest::addColumn<bool>("binary");
    QTest::newRow("binary") << true;
    QTest::newRow("not binary") << false;
}

void TelnetCodecTest::roundTripInEveryPieceSize()
{
    QFETCH(bool, binary);
    const QByteArray data = every256() + bytes("ff ff 0d 00 0d 0d ff 0d");
    const QByteArray wire = (binary ? negotiated() : withoutBinary()).encode(data);
    for (qsizetype piece = 1; piece <= 9; ++piece) {
        telnet::Codec far = binary ? negotiated() : withoutBinary();
        QByteArray got;
        for (qsizetype at = 0; at < wire.size(); at += piece) {
            const telnet::Codec::Incoming in = far.decode(wire.mid(at, piece));
            QVERIFY(in.answer.isEmpty() && in.subnegotiations.isEmpty());
            got += in.data;
        }
        QCOMPARE(got, data);
    }
}

void TelnetCodecTest::settingsRequest_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<QByteArray>("wire");
    // Speed (4 bytes, most significant first), 8 data bits, no parity, 1 stop bit, no flow
    // control.
    const QByteArray rest = bytes("ff fa 2c 02 08 ff f0 ff fa 2c 03 01 ff f0 ff fa 2c 04 01 ff f0 "
                                  "ff fa 2c 05 01 ff f0");
    QTest::newRow("19200") << 19200 << bytes("ff fa 2c 01 00 00 4b 00 ff f0") + rest;
    QTest::newRow("9600") << 9600 << bytes("ff fa 2c 01 00 00 25 80 ff f0") + rest;
    QTest::newRow("0xFF in the speed doubled")
        << 0x00FF00FF << bytes("ff fa 2c 01 00 ff ff 00 ff ff ff f0") + rest;
}

void TelnetCodecTest::settingsRequest()
{
    QFETCH(int, baud);
    QFETCH(QByteArray, wire);
    LineSettings s;
    s.baud = baud;
    QCOMPARE(comport::settingsRequest(s), wire);
    // ... and read back by the far end as five whole subnegotiations.
    telnet::Codec far = negotiated();
    QCOMPARE(far.decode(wire).subnegotiations.size(), 5);
}

void TelnetCodecTest::notices_data()
{
    QTest::addColumn<QByteArray>("payload"); // after the option byte
    QTest::addColumn<bool>("read");
    QTest::addColumn<int>("request");
    QTest::addColumn<uint>("value");
    QTest::addColumn<bool>("agreesWith19200N81");
    QTest::newRow("speed set") << bytes("65 00 00 4b 00") << true << int(comport::kSetBaudRate)
                               << 19200u << true;
    QTest::newRow("another speed set")
        << bytes("65 00 00 25 80") << true << int(comport::kSetBaudRate) << 9600u << false;
    QTest::newRow("speed cut short") << bytes("65 00 25") << false << 0 << 0u << true;
    QTest::newRow("data size") << bytes("66 08") << true << int(comport::kSetDataSize) << 8u
                               << true;
    QTest::newRow("parity none") << bytes("67 01") << true << int(comport::kSetParity) << 1u
                                 << true;
    QTest::newRow("line state") << bytes("6a 60") << true << int(comport::kNotifyLineState) << 0x60u
                                << true;
    QTest::newRow("modem state") << bytes("6b 30") << true << int(comport::kNotifyModemState)
                                 << 0x30u << true;
    QTest::newRow("signature") << bytes("64 'ser2net'") << true << int(comport::kSignature) << 0u
                               << true;
    QTest::newRow("a client's request, not a server's")
        << bytes("01 00 00 25 80") << false << 0 << 0u << true;
    QTest::newRow("beyond the last answer") << bytes("71 00") << false << 0 << 0u << true;
}

void TelnetCodecTest::notices()
{
    QFETCH(QByteArray, payload);
    QFETCH(bool, read);
    QFETCH(int, request);
    QFETCH(uint, value);
    QFETCH(bool, agreesWith19200N81);
    const auto notice = comport::readNotice(payload);
    QCOMPARE(notice.has_value(), read);
    if (!read)
        return;
    QCOMPARE(int(notice->request), request);
    QCOMPARE(notice->value, value);
    QCOMPARE(comport::disagreement(*notice, LineSettings{}).isEmpty(), agreesWith19200N81);
}

QTEST_APPLESS_MAIN(TelnetCodecTest)
#include "tst_telnet_codec.moc"
