// SPDX-License-Identifier: MIT
// The request queue on the manual clock: one request in flight, the rest in order, each ended
// by its answer or its window; a lost line fails them all (the line owner's test has it back).
// How a single request ends (pieces, holds, timeouts) is odra's port run's table.
#include "session/request_queue.h"
#include "session_fixture.h"

#include <QtTest>

using Status = RequestResult::Status;

namespace {

const QByteArray kAck(1, 0x06);

void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

struct Queued
{
    SessionFixture f;
    RequestQueue queue{f.clock, *f.session};
    QList<RequestResult> done;
    QList<qint64> doneAt;

    quint64 submit(const char *name, int holdMs = 0)
    {
        return queue.submit(ProjectorRequest::of(SessionFixture::command(name), holdMs),
                            [this](const RequestResult &r) {
                                done << r;
                                doneAt << f.clock.nowMs();
                            });
    }
    QList<QByteArray> written() const
    {
        QList<QByteArray> out;
        for (const auto &w : f.line.writes)
            out << w.bytes;
        return out;
    }
};

} // namespace

class RequestQueueTest : public QObject
{
    Q_OBJECT
private slots:
    void oneAtATimeInOrder();
    void lostLineFailsAll();
};

void RequestQueueTest::oneAtATimeInOrder()
{
    Queued q;
    q.f.line.clearLog();
    const quint64 first = q.submit("status");
    q.submit("power-on");
    q.submit("lamp-time");
    QVERIFY(q.written().isEmpty()); // nothing from inside submit()
    settle();
    QCOMPARE(q.written(), QList<QByteArray>{"CR0\r"});

    q.f.advance(20);
    q.f.line.receive("80\r");
    settle();
    QCOMPARE(q.done.size(), 1);
    QCOMPARE(q.done[0].id, first);
    QCOMPARE(q.done[0].status, Status::Answered);
    QCOMPARE(q.done[0].answer.power, protocol::PowerState::StandBy);
    QCOMPARE(q.done[0].elapsedMs, 20);
    QCOMPARE(q.written(), QList<QByteArray>({"CR0\r", "C00\r"}));

    q.f.advance(5);
    q.f.line.receive(kAck);
    settle();
    QCOMPARE(q.done.size(), 2);
    QVERIFY(q.done[1].answer.acknowledged());
    QCOMPARE(q.written().size(), 3);

    // Noise without an end is no answer; the request ends with its window.
    q.f.line.receive("0x");
    q.f.advance(499);
    QCOMPARE(q.done.size(), 2);
    q.f.advance(1);
    QCOMPARE(q.done.size(), 3);
    QCOMPARE(q.done[2].status, Status::Partial);
    QCOMPARE(q.done[2].answer.bytes, QByteArray("0x"));
    QCOMPARE(q.doneAt, QList<qint64>({20, 25, 525}));
    settle();
    QVERIFY(q.queue.isIdle());
}

void RequestQueueTest::lostLineFailsAll()
{
    Queued q;
    q.submit("volume-up", 1000);
    q.submit("status");
    q.submit("power-off");
    settle();
    q.f.advance(300); // the hold's press and a repeat
    q.f.line.loseLine(QStringLiteral("adapter unplugged"));
    settle();
    QCOMPARE(q.done.size(), 3);
    for (const RequestResult &r : q.done) {
        QCOMPARE(r.status, Status::Failed);
        QVERIFY2(r.error.contains(QLatin1String("adapter unplugged")), qPrintable(r.error));
    }
    QCOMPARE(q.done[0].sends, 2);
    QCOMPARE(q.f.session->held(), nullptr);
}

QTEST_GUILESS_MAIN(RequestQueueTest)
#include "tst_request_queue.moc"
