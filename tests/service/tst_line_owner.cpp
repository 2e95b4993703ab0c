// SPDX-License-Identifier: MIT
// The line's owner and the PJLink mapping on the manual clock and the fake line: when the line
// is tried again, when the state is asked, and what reaches the projector for a client.
#include "fake_line.h"
#include "manual_clock.h"
#include "service/config.h"
#include "service/line_owner.h"
#include "service/pjlink_device.h"

#include <QLoggingCategory>
#include <QtTest>

namespace {

const QString kDevice = QStringLiteral("/dev/fake-projector");

struct Service
{
    ManualClock clock;
    FakeLine *line = nullptr;
    std::unique_ptr<LineOwner> owner;
    std::unique_ptr<PjlinkDevice> device;

    explicit Service(int pollStatusS = 10, const QStringList &missing = {})
    {
        ProjectorConfig config;
        config.id = config.name = QStringLiteral("hall");
        config.device = kDevice;
        config.pollStatusS = pollStatusS;
        config.pollLampS = 0;
        auto fake = std::make_unique<FakeLine>(&clock);
        line = fake.get();
        line->missing = missing;
        owner = std::make_unique<LineOwner>(clock, config, std::move(fake));
        device = std::make_unique<PjlinkDevice>(clock, *owner);
        owner->start();
        settle();
    }
    // Everything due now, and what the event loop holds.
    void settle()
    {
        for (int i = 0; i < 5; ++i) {
            QCoreApplication::processEvents();
            clock.advance(0);
        }
    }
    void advance(qint64 ms)
    {
        clock.advance(ms);
        settle();
    }
    // The projector answers the command just written.
    void answer(const QByteArray &reply)
    {
        line->receive(reply);
        settle();
    }
    // The reply, when it came by the time everything due now has run.
    QByteArray ask(const QByteArray &text)
    {
        auto reply = std::make_shared<QByteArray>();
        device->handle(pjlink::parseLine(text).command,
                       [reply](const QByteArray &r) { *reply = r; });
        settle();
        return *reply;
    }
};

} // namespace

class TestLineOwner : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // The owner logs what becomes of the line; the session's own warnings are noise here.
        QLoggingCategory::setFilterRules(QStringLiteral("odra.session.warning=false"));
    }
    void retriesWithBackoff();
    void pollsWhenIdle();
    void answersFromFreshState();
    void mapsSettings_data();
    void mapsSettings();
};

// A missing device is tried again after 1 s, then twice as long each time up to 60 s; once it is
// there, it is used, and the next loss starts at 1 s again.
void TestLineOwner::retriesWithBackoff()
{
    Service s(10, {kDevice});
    QList<qint64> opens;
    QSignalSpy up(s.owner.get(), &LineOwner::lineUpChanged);
    qint64 last = 0;
    for (int i = 0; i < 9; ++i) {
        const qsizetype before = s.line->calls.count();
        while (s.line->calls.count() == before)
            s.advance(std::max<qint64>(1, s.clock.nextDueMs() - s.clock.nowMs()));
        opens << s.clock.nowMs() - last;
        last = s.clock.nowMs();
    }
    QCOMPARE(opens, (QList<qint64>{1000, 2000, 4000, 8000, 16000, 32000, 60000, 60000, 60000}));
    QVERIFY(!s.owner->lineUp());
    QCOMPARE(up.count(), 0);

    s.line->missing.clear();
    s.advance(60000);
    QVERIFY(s.owner->lineUp());
    QCOMPARE(up.count(), 1);
    s.line->loseLine();
    s.settle();
    QVERIFY(!s.owner->lineUp());
    QCOMPARE(s.ask("%1POWR ?"), QByteArray("%1POWR=ERR4\r")); // at once while down
    s.advance(1000);
    QVERIFY(s.owner->lineUp());
    QCOMPARE(up.count(), 3);
}

// The state is asked at start and every poll interval, only while nobody else uses the line.
void TestLineOwner::pollsWhenIdle()
{
    Service s(10);
    QCOMPARE(s.line->written(), QByteArray("CR0\r"));
    s.answer("80\r");
    QCOMPARE(s.owner->state().power.value, protocol::PowerState::StandBy);
    QVERIFY(s.owner->state().available);
    s.line->clearLog();
    // A client's request is in flight when the poll falls due: the poll waits for it.
    s.advance(9990);
    s.owner->submit(ProjectorRequest::of(*protocol::findCommand("freeze-on")));
    s.advance(20);
    QCOMPARE(s.line->written(), QByteArray("C43\r"));
    s.answer("\x06");
    QCOMPARE(s.line->written(), QByteArray("C43\rCR0\r"));
    // On: the input and the mute are asked too.
    s.answer("00\r");
    QCOMPARE(s.line->written(), QByteArray("C43\rCR0\rCR1\r"));
    s.answer("2\r");
    QCOMPARE(s.line->written(), QByteArray("C43\rCR0\rCR1\rCRA\r"));
    s.answer("03\r");
    QCOMPARE(s.owner->state().input.value, 2);
    QCOMPARE(s.owner->state().mute.value, protocol::MuteState::PictureAndSound);
    QCOMPARE(s.owner->state().freeze.value, true);
    // A projector that stops answering is unavailable, once.
    QSignalSpy changed(s.owner.get(), &LineOwner::stateChanged);
    s.advance(10000);
    s.advance(2000);
    QVERIFY(!s.owner->state().available);
    QCOMPARE(changed.count(), 1);
}

// Queries are answered from what the last poll heard while it is fresh, else asked first.
void TestLineOwner::answersFromFreshState()
{
    Service s(10);
    s.answer("40\r");
    s.line->clearLog();
    QCOMPARE(s.ask("%1POWR ?"), QByteArray("%1POWR=3\r"));
    QCOMPARE(s.ask("%1ERST ?"), QByteArray("%1ERST=000000\r"));
    QVERIFY(s.line->writes.isEmpty());
    // The poll due at 10 s goes unanswered: at 14 s what was heard at 0 is stale.
    s.advance(10000);
    s.advance(2000 + PjlinkDevice::kPollGraceMs);
    s.line->clearLog();
    QByteArray reply;
    s.device->handle(pjlink::parseLine("%1POWR ?").command,
                     [&](const QByteArray &r) { reply = r; });
    s.settle();
    QCOMPARE(s.line->written(), QByteArray("CR0\r"));
    s.answer("21\r");
    QCOMPARE(reply, QByteArray("%1POWR=2\r"));
    QCOMPARE(s.ask("%1ERST ?"), QByteArray("%1ERST=020000\r"));
}

void TestLineOwner::mapsSettings_data()
{
    QTest::addColumn<QByteArray>("power"); // the projector's "CR0" answer
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QByteArray>("reply");
    // Cooling down may have ended since: asked again before the answer.
    QTest::newRow("on while cooling") << QByteArray("20") << QByteArray("%1POWR 1")
                                      << QByteArray("CR0\r") << QByteArray("%1POWR=ERR3\r");
    QTest::newRow("input in stand-by") << QByteArray("80") << QByteArray("%1INPT 11")
                                       << QByteArray() << QByteArray("%1INPT=ERR3\r");
    QTest::newRow("unknown input") << QByteArray("00") << QByteArray("%1INPT 99") << QByteArray()
                                   << QByteArray("%1INPT=ERR2\r");
    QTest::newRow("both mutes") << QByteArray("00") << QByteArray("%1AVMT 31")
                                << QByteArray("C0D\rC0B\r") << QByteArray("%1AVMT=OK\r");
    QTest::newRow("freeze") << QByteArray("00") << QByteArray("%2FREZ 1") << QByteArray("C43\r")
                            << QByteArray("%2FREZ=OK\r");
    QTest::newRow("volume") << QByteArray("00") << QByteArray("%2SVOL 1") << QByteArray("C09\r")
                            << QByteArray("%2SVOL=OK\r");
    QTest::newRow("class 2 other") << QByteArray("00") << QByteArray("%2POWR ?") << QByteArray()
                                   << QByteArray("%2POWR=ERR1\r");
}

// What a client's setting sends to the projector, acknowledged each, and what it answers.
void TestLineOwner::mapsSettings()
{
    QFETCH(QByteArray, power);
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, written);
    QFETCH(QByteArray, reply);
    Service s(10);
    s.answer(power + '\r');
    if (s.line->written().endsWith("CR1\r")) {
        s.answer("1\r");
        s.answer("00\r");
    }
    s.line->clearLog();
    QByteArray got;
    s.device->handle(pjlink::parseLine(command).command, [&](const QByteArray &r) { got = r; });
    s.settle();
    // The projector acknowledges each command and tells its power state again when asked.
    for (int i = 0; i < 3 && !s.line->writes.isEmpty() && got.isEmpty(); ++i)
        s.answer(s.line->writes.last().bytes == "CR0\r" ? power + '\r' : QByteArray("\x06"));
    s.advance(600); // a hold button's release
    QCOMPARE(s.line->written(), written);
    QCOMPARE(got, reply);
}

QTEST_GUILESS_MAIN(TestLineOwner)
#include "tst_line_owner.moc"
