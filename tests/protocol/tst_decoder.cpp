// SPDX-License-Identifier: MIT
// The reply decoder on RXD lines built from raw replies, as the window builds them.
#include "protocol/traffic.h"
#include "protocol/decoder.h"
#include "protocol/pressure.h"

#include <QtTest>

namespace {

constexpr qint64 kHigh = 1962352778810673664;  // the hPa of +kReadingLimit
constexpr qint64 kLow = -1962352778810673152;  // the hPa of -kReadingLimit

// last command, raw reply, status text (nullptr: left unchanged)
struct Row
{
    const char *command, *reply, *expected;
};

constexpr Row kDecodeRows[] = {
    {"CR0\r", "00\r", " Power ON"},
    {"CR0\r", "80\r", " Stand by"},
    {"CR0\r", "40\r", " Count down"},
    {"CR0\r", "20\r", " Cooling down"},
    {"CR0\r", "10\r", " Power Fail"},
    {"CR0\r", "08\r", " Temperature Warning(Power ON)"},
    {"CR0\r", "02\r", " NO Key input "},
    {"CR0\r", "04\r", " Lamp OFF by PWR Management"},
    {"CR0\r", "28\r", " Temperature Warning & cooling down"},
    {"CR0\r", "24\r", " Lamp OFF & Tempereture Warning by PWR Management"},
    {"CR0\r", "88\r", " Temperature Warning and recoverd"},
    {"CR0\r", "21\r", " Cooling down (All Lamp FAIL)"},
    {"CR0\r", "81\r", " Cooling down & sutandby (All Lamp FAIL)"},
    {"CR1\r", "1\r", " Input mode 1"},
    {"CR1\r", "2\r", " Input mode 2"},
    {"CR1\r", "3\r", " Input mode 3"},
    {"CR1\r", "4\r", " Input mode 4"},
    {"CR1\r", "31\r", " Input mode 3"},
    {"CR4\r", "11\r", " Normally"},
    {"CR4\r", "10\r", " Top/Bottom reversal"},
    {"CR4\r", "01\r", " Left/Right reversal"},
    {"CR4\r", "00\r", " Top/Bottom , Left/Right reversal"},
    {"CRA\r", "00\r", " Video & Audio mute OFF"},
    {"CRA\r", "01\r", " Video mute ON"},
    {"CRA\r", "02\r", " Audio mute ON"},
    {"CRA\r", "03\r", " Video & Audio mute ON"},
    {"CRA\r", "80\r", " No signal"},
    {"CRA\r", "FF\r", " Stand by"},
    {"CR7\r", "00\r", " All OFF : 2 Lamp mode"},
    {"CR7\r", "01\r", " No1 ON  : 2 Lamp mode"},
    {"CR7\r", "02\r", " No2 ON  : 2 Lamp mode"},
    {"CR7\r", "03\r", " No1,2 ON  : 2 Lamp mode"},
    {"CR7\r", "10\r", " All OFF : 1 Lamp mode(No1 USE)"},
    {"CR7\r", "11\r", " No1 ON  : 1 Lamp mode(No1 USE)"},
    {"CR7\r", "20\r", " All OFF : 1 Lamp mode(No2 USE)"},
    {"CR7\r", "22\r", " No2 ON  : 1 Lamp mode(No2 USE)"},
    // Replies in pieces, behind a stale reply, or unknown.
    {"CR0\r", "8", nullptr}, // the first piece of "80"+CR: key " 8 "
    {"CR0\r", "80", " Stand by"},
    {"CR0\r", "00\r80\r", " Power ON"}, // a stale reply in front decides
    {"CR0\r", "\x06" "80\r", nullptr},
    {"CR1\r", "\x06" "3\r", nullptr},
    {"CR0\r", "99\r", nullptr},
    {"CR0\r", "", nullptr},
    {"CR1\r", "5\r", nullptr},
    {"CRA\r", "ff\r", nullptr},
    // Commands that are not status queries, or not exactly.
    {"cr0\r", "80\r", nullptr},
    {"CR0 \r", "80\r", nullptr},
    {" CR0\r", "80\r", nullptr},
    {"CR INFPFAIL\r", "80\r", nullptr},
    {"C00\r", "00\r", nullptr},
    {"CR PRESSURE \r", "512\r", nullptr},
    {"CR0", "80\r", nullptr},
    {"CR0\r\r", "80\r", nullptr},
    {"", "80\r", nullptr},
    // Lamp time, temperatures, copy.
    {"CR3\r", "0123\r", " 0 1 2 3 CR  Hour Use"},
    {"CR3\r", "12345678901234567890123\r", " 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9 Hour Use"},
    {"CR3\r", "", "  Hour Use"},
    {"CR6\r", "12345678901234567\r", "  S1= 1 2 3 4 5 C  ,   S2=  8 9 0 1 C , S3= 3 4 5 6 7 C"},
    {"CR6\r", "12345\r", "  S1= 1 2 3 4 5 C  ,   S2=  C , S3= C"},
    {"CR6\r", "1234567890123\r", "  S1= 1 2 3 4 5 C  ,   S2=  8 9 0 1 C , S3= 3 CR  C"},
    {"CR6\r", "", "  S1=  C  ,   S2=  C , S3= C"},
    {"CR9\r", "12\r", " 1 2 CR "},
    {"CR9\r", "\x06" "A\x14" "B", " ACK A &B "},
};

} // namespace

class TestDecoder : public QObject
{
    Q_OBJECT
private slots:
    void decode_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("expected");
        for (const Row &r : kDecodeRows) {
            const QString command = QString::fromLatin1(r.command);
            const QString reply = QString::fromLatin1(r.reply);
            QTest::addRow("%s |%s", qPrintable(renderTraffic(command)),
                          qPrintable(renderTraffic(reply)))
                << command << reply
                << (r.expected ? QString::fromLatin1(r.expected) : QString());
        }
    }
    void decode()
    {
        QFETCH(QString, command);
        QFETCH(QString, reply);
        QFETCH(QString, expected);
        const status::Decoded decoded = status::decodeReply(command, renderTraffic(reply));
        QCOMPARE(decoded.text.has_value(), !expected.isNull());
        if (decoded.text)
            QCOMPARE(*decoded.text, expected);
        QVERIFY(!decoded.pressure);
    }

    void pressure_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<qint64>("value");
        QTest::newRow("0") << "0\r" << qint64(106);
        QTest::newRow("100") << "100\r" << qint64(212);
        QTest::newRow("512") << "512\r" << qint64(650);
        QTest::newRow("1023") << "1023\r" << qint64(1194);
        QTest::newRow("NG") << "NG\r" << qint64(106);
        QTest::newRow("-6553") << "-6553\r" << qint64(-6865);
        // Beyond 16 bits: computed, not overflowed.
        QTest::newRow("7000") << "7000\r" << qint64(7552);
        QTest::newRow("32767") << "32767\r" << qint64(34963);
        QTest::newRow("40000") << "40000\r" << qint64(42657);
        QTest::newRow("-40000") << "-40000\r" << qint64(-42446);
        QTest::newRow("1E30") << "1E30\r" << kHigh;
        QTest::newRow("1E400") << "1E400\r" << kHigh;
        QTest::newRow("-1E400") << "-1E400\r" << kLow;
        QTest::newRow("30 digits") << QString(30, u'9') << kHigh;
    }
    void pressure()
    {
        QFETCH(QString, reply);
        QFETCH(qint64, value);
        const QString command = QStringLiteral("CR PRESSURE\r");
        const status::Decoded decoded = status::decodeReply(command, renderTraffic(reply));
        QCOMPARE(decoded.text, QString::number(value) + QLatin1String(" hPa"));
        QCOMPARE(decoded.pressure, value);
    }

    void readNumber_data()
    {
        constexpr qint64 kMax = status::kReadingLimit;
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("value");
        QTest::newRow("RXD line") << " 5 1 2 CR " << qint64(512);
        QTest::newRow("tabs, LF") << "\t\n4\t2\n" << qint64(42);
        QTest::newRow("plus") << "+7" << qint64(7);
        QTest::newRow("minus, blanks") << " - 7" << qint64(-7);
        QTest::newRow("sign only") << "-" << qint64(0);
        QTest::newRow("point") << "12.7" << qint64(13);
        QTest::newRow("two points") << "1.2.9" << qint64(1);
        QTest::newRow("2.5") << "2.5" << qint64(2);
        QTest::newRow("3.5") << "3.5" << qint64(4);
        QTest::newRow("-2.5") << "-2.5" << qint64(-2);
        QTest::newRow("just above half") << "2.5000000000000000000000001" << qint64(3);
        QTest::newRow("exponent") << " 1 E 3 CR " << qint64(1000);
        QTest::newRow("E+") << "1E+2" << qint64(100);
        QTest::newRow("E-") << "25E-1" << qint64(2);
        QTest::newRow("E, no digits") << "1E" << qint64(1);
        QTest::newRow("E only") << "E5" << qint64(0);
        QTest::newRow("small e") << "1e3" << qint64(1);
        QTest::newRow("exponent shifts digits")
            << "123456789012345678901234567890E-20" << qint64(1234567890);
        QTest::newRow("point and exponent") << "0.000000000000000000000000015E26" << qint64(2);
        QTest::newRow("limit") << "1844674407370955161" << kMax;
        QTest::newRow("half below limit") << "1844674407370955160.5" << kMax - 1;
        QTest::newRow("huge exponent") << "1E99999999999999999999" << kMax;
        QTest::newRow("-huge exponent") << "-1E99999999999" << -kMax;
        QTest::newRow("100000 digits") << QString(100000, u'9') << kMax;
    }
    void readNumber()
    {
        QFETCH(QString, text);
        QFETCH(qint64, value);
        QCOMPARE(status::readNumber(text), value);
    }
};

QTEST_GUILESS_MAIN(TestDecoder)
#include "tst_decoder.moc"
