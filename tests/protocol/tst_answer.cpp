// SPDX-License-Identifier: MIT
// The answer to one command, framed and read once for every face: whatever pieces the line
// hands it over in, and whatever ACKs of earlier commands stand in front.
#include "protocol/answer.h"

#include <QtTest>

using namespace protocol;

namespace {

const QByteArray kAck(1, 0x06);

// The readings of an answer in a few words, so that a table can say what each reply reads as.
QString readingOf(const Answer &a)
{
    QStringList out;
    if (a.power)
        out << QStringLiteral("power %1").arg(int(*a.power));
    if (a.input)
        out << QStringLiteral("input %1").arg(*a.input);
    if (a.mute)
        out << QStringLiteral("mute %1").arg(int(*a.mute));
    if (a.lampHours)
        out << QStringLiteral("hours %1").arg(*a.lampHours);
    if (a.temperatures)
        out << QStringLiteral("temperatures %1 %2 %3")
                   .arg(a.temperatures->first)
                   .arg(a.temperatures->second)
                   .arg(a.temperatures->third);
    if (a.lamps)
        out << QStringLiteral("lamps %1 %2 %3")
                   .arg(int(a.lamps->mode))
                   .arg(a.lamps->firstLit)
                   .arg(a.lamps->secondLit);
    if (a.orientation)
        out << QStringLiteral("orientation %1").arg(int(*a.orientation));
    if (a.pressureHpa)
        out << QStringLiteral("pressure %1").arg(*a.pressureHpa);
    return out.join(u", ");
}

} // namespace

class AnswerTest : public QObject
{
    Q_OBJECT
private slots:
    void readings_data();
    void readings();
};

void AnswerTest::readings_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("reading");

    QTest::newRow("stand-by") << "CR0\r" << QByteArray("80\r") << "power 1";
    QTest::newRow("lamps failed") << "CR0\r" << QByteArray("81\r") << "power 12";
    QTest::newRow("unknown power code") << "CR0\r" << QByteArray("99\r") << "";
    QTest::newRow("input 3") << "CR1\r" << QByteArray("3\r") << "input 3";
    QTest::newRow("both muted") << "CRA\r" << QByteArray("03\r") << "mute 3";
    QTest::newRow("lamp hours") << "CR3\r" << QByteArray("01234\r") << "hours 1234";
    QTest::newRow("lamp hours garbled") << "CR3\r" << QByteArray("12x4\r") << "";
    QTest::newRow("temperatures") << "CR6\r" << QByteArray("035.5 036.0 038.5\r")
                                  << "temperatures 35.5 36 38.5";
    QTest::newRow("two temperatures") << "CR6\r" << QByteArray("035.5 036.0\r") << "";
    QTest::newRow("one lamp lit") << "CR7\r" << QByteArray("11\r") << "lamps 1 1 0";
    QTest::newRow("upside down") << "CR4\r" << QByteArray("10\r") << "orientation 1";
    QTest::newRow("pressure") << "CR PRESSURE\r" << QByteArray("512\r") << "pressure 650";
    QTest::newRow("copied, no reading") << "CR9\r" << QByteArray("12\r") << "";
    QTest::newRow("control command") << "C00\r" << kAck << "";
}

// Every split of the reply, behind up to two ACKs of commands sent before it, gives the answer
// of the reply in one piece: the same bytes, the same status text (the decoder's table has the
// texts), the same readings.
void AnswerTest::readings()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, reply);
    QFETCH(QString, reading);

    const Answer whole = readAnswer(command, reply, true);
    QCOMPARE(readingOf(whole), reading);
    QVERIFY(isWholeReply(reply));

    for (int earlier = 0; earlier <= 2; ++earlier) {
        const QByteArray stream = kAck.repeated(earlier) + reply;
        for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
            AnswerFramer framer;
            for (int i = 0; i <= earlier; ++i)
                framer.sent();
            framer.take(stream.first(cut));
            QCOMPARE(framer.complete(), cut == stream.size());
            framer.take(stream.sliced(cut));
            QVERIFY(framer.complete());
            QCOMPARE(framer.bytes(), reply);
            const Answer a = readAnswer(command, framer.bytes(), framer.complete());
            QCOMPARE(readingOf(a), reading);
            QCOMPARE(a.status, whole.status);
        }
    }
    // Half of it reads as nothing yet.
    const Answer half = readAnswer(command, reply.first(reply.size() - 1), false);
    QVERIFY(!half.complete);
    QVERIFY(!half.lampHours && !half.temperatures);
}

QTEST_APPLESS_MAIN(AnswerTest)
#include "tst_answer.moc"
