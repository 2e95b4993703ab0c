// SPDX-License-Identifier: MIT
// How characters look on the monitor, and how typed text becomes bytes.
#include "protocol/traffic.h"

#include <QtTest>

class TrafficTest : public QObject
{
    Q_OBJECT
private slots:
    void render_data();
    void render();
    void appendingInPiecesMatchesWhole();
    void bytesOneToOne();
    void typedText_data();
    void typedText();
    void escapedField_data();
    void escapedField();
};

void TrafficTest::render_data()
{
    QTest::addColumn<QString>("chars");
    QTest::addColumn<QString>("line");
    auto s = [](std::initializer_list<char16_t> cs) {
        QString out;
        for (char16_t c : cs)
            out += QChar(c);
        return out;
    };
    QTest::newRow("empty") << QString() << " ";
    QTest::newRow("command") << "C00\r" << " C 0 0 CR ";
    QTest::newRow("reply") << "00\r" << " 0 0 CR ";
    QTest::newRow("mixed") << s({'A', 0x14, 'B', 0x06, 0x0A, '{', 'z', ' '}) << " A &B ACK LF ? z   ";
    QTest::newRow("ack") << s({0x06}) << " ACK ";
    QTest::newRow("0x14 has no blank") << s({0x14, 0x14, 'X'}) << " &&X ";
    QTest::newRow("NUL") << s({0x00}) << " ? ";
    QTest::newRow("other controls") << s({0x01, 0x09, 0x1B, 0x1F}) << " ? ? ? ? ";
    QTest::newRow("blank") << " " << "   ";
    QTest::newRow("printable bounds") << " !@Z[`az" << "   ! @ Z [ ` a z ";
    QTest::newRow("above z") << "{|}~" << " ? ? ? ? ";
    QTest::newRow("DEL and high bytes") << s({0x7F, 0x80, 0xFF}) << " ? ? ? ";
    QTest::newRow("non-ASCII") << QString::fromUtf8("é€") << " ? ? ";
    QTest::newRow("case kept") << "cr0" << " c r 0 ";
    QTest::newRow("CR LF") << "\r\n" << " CR LF ";
}

void TrafficTest::render()
{
    QFETCH(QString, chars);
    QFETCH(QString, line);
    QCOMPARE(renderTraffic(chars), line);
}

void TrafficTest::appendingInPiecesMatchesWhole()
{
    const QString all = QStringLiteral("8\x14\x06\r\n0{z ");
    for (int cut = 0; cut <= all.size(); ++cut) {
        QString line = QStringLiteral(" ");
        appendTraffic(line, QStringView(all).left(cut));
        appendTraffic(line, QStringView(all).mid(cut));
        QCOMPARE(line, renderTraffic(all));
    }
}

void TrafficTest::bytesOneToOne()
{
    QByteArray every(256, Qt::Uninitialized);
    for (int i = 0; i < 256; ++i)
        every[i] = char(i);
    const QString chars = bytesToChars(every);
    QCOMPARE(chars.size(), 256);
    for (int i = 0; i < 256; ++i)
        QCOMPARE(int(chars[i].unicode()), i);
    QCOMPARE(charsToBytes(chars), every); // and back, unchanged
}

void TrafficTest::typedText_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ASCII") << "CR PRESSURE" << QByteArray("CR PRESSURE");
    QTest::newRow("Latin-1") << QString::fromUtf8("Ä°") << QByteArray("\xC4\xB0");
    QTest::newRow("beyond Latin-1") << QString::fromUtf8("C€0") << QByteArray("C?0");
    QTest::newRow("Japanese") << QString::fromUtf8("データ") << QByteArray("???");
    QTest::newRow("outside the basic plane is one character")
        << QString::fromUtf8("A😀B") << QByteArray("A?B");
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QByteArray("?");
}

void TrafficTest::typedText()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, bytes);
    QCOMPARE(charsToBytes(typed), bytes);
}

void TrafficTest::escapedField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");
    QTest::newRow("plain, kept") << "COM1 (/dev/ttyS0) é"
                                 << "COM1 (/dev/ttyS0) é";
    QTest::newRow("backslash first") << "a\\t"
                                     << "a\\\\t";
    QTest::newRow("record breakers") << "a\tb\nc\rd"
                                     << "a\\tb\\nc\\rd";
    QTest::newRow("other controls")
        << QStringLiteral("\x01\x1B\x7F\u0085") << "\\x01\\x1B\\x7F\\x85";
    QTest::newRow("line separators") << QStringLiteral("\u2028\u2029") << "\\u2028\\u2029";
}

void TrafficTest::escapedField()
{
    QFETCH(QString, text);
    QFETCH(QString, field);
    QCOMPARE(escapeField(text), field);
}

QTEST_APPLESS_MAIN(TrafficTest)
#include "tst_traffic.moc"
