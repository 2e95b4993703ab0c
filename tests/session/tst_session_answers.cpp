// SPDX-License-Identifier: MIT
// What the status line decodes: the answer to the latest command, on the manual clock. Only the
// characters that arrived after the latest send are its answer, less a lone ACK in front that
// acknowledges an earlier command; the RXD line still shows everything that arrived.
#include "session_fixture.h"

#include <QtTest>

class SessionAnswersTest : public QObject
{
    Q_OBJECT
private slots:
    void latestQuery_data();
    void latestQuery();
};

void SessionAnswersTest::latestQuery_data()
{
    // Steps: "send:NAME" (a button), "type:TEXT" (the command box), "receive:BYTES",
    // "advance:MS". Then the RXD line and the status line.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("rxd");
    QTest::addColumn<QString>("status");

    // STATUS answered, then POWER ON and STATUS again within the first reply window; POWER ON's
    // ACK and the new state arrive together.
    const QStringList countDown{"send:status",   "receive:80\r", "advance:100",
                                "send:power-on", "advance:50",   "send:status"};
    QTest::newRow("ACK and the new state in one piece") << (countDown + QStringList{"receive:\x06"
                                                                                    "40\r"})
                                                        << " 8 0 CR ACK 4 0 CR "
                                                        << " Count down";
    QTest::newRow("the ACK, then 4, then 0 CR")
        << (countDown + QStringList{"receive:\x06", "receive:4", "receive:0\r"})
        << " 8 0 CR ACK 4 0 CR "
        << " Count down";
    // Until the new answer is there the status line shows nothing, not the old state.
    QTest::newRow("the ACK alone") << (countDown + QStringList{"receive:\x06"}) << " 8 0 CR ACK "
                                   << "";
    QTest::newRow("the ACK and half the state")
        << (countDown + QStringList{"receive:\x06", "receive:4"}) << " 8 0 CR ACK 4 "
        << "";
    QTest::newRow("an unknown state") << (countDown + QStringList{"receive:\x06"
                                                                  "47\r"})
                                      << " 8 0 CR ACK 4 7 CR "
                                      << "";
    // ACKs of two commands in front: both skipped.
    QTest::newRow("two earlier commands")
        << QStringList{"send:status", "receive:80\r",     "send:power-on", "send:input-1",
                       "send:status", "receive:\x06\x06", "receive:00\r"}
        << " 8 0 CR ACK ACK 0 0 CR "
        << " Power ON";
    // No earlier command waits for its ACK: an ACK in front is the query's own answer, which
    // decodes to nothing.
    QTest::newRow("a query answered by ACK") << QStringList{"send:status", "receive:\x06"
                                                                           "80\r"}
                                             << " ACK 8 0 CR "
                                             << "";
    QTest::newRow("ACK already in before the query")
        << QStringList{"send:power-on", "receive:\x06", "send:status",
                       "receive:\x06"
                       "20\r"}
        << " ACK ACK 2 0 CR "
        << "";
    // The first half of a reply came before the second query: it is no part of the answer.
    QTest::newRow("half a reply before the next query")
        << QStringList{"send:status", "receive:8", "advance:100", "send:status", "receive:0\r"}
        << " 8 0 CR "
        << "";
    // A query repeated after the first answer arrived: the second answer alone decides.
    QTest::newRow("a second query in the same window")
        << QStringList{"send:status", "receive:80\r", "send:status", "receive:00\r"}
        << " 8 0 CR 0 0 CR "
        << " Power ON";
    // A new query blanks the earlier answer at once; a control command leaves it.
    QTest::newRow("a new query, no answer yet")
        << QStringList{"send:status", "receive:80\r", "advance:500", "send:input-mode"}
        << " 8 0 CR "
        << "";
    QTest::newRow("a control command, no answer yet")
        << QStringList{"send:status", "receive:80\r", "advance:500", "send:power-on"} << " 8 0 CR "
        << " Stand by";
    // Typed queries follow the same rule; the copy rule copies the answer only.
    QTest::newRow("typed copy query")
        << QStringList{"send:power-on", "send:status", "receive:\x06", "type:CR9", "receive:12\r"}
        << " ACK 1 2 CR "
        << " 1 2 CR ";
    // A late answer, after the reply window, is still the latest query's.
    QTest::newRow("late answer after an ACK")
        << QStringList{"send:power-on", "send:status", "advance:500", "receive:\x06",
                       "receive:40\r"}
        << " ACK 4 0 CR "
        << " Count down";
}

void SessionAnswersTest::latestQuery()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, rxd);
    QFETCH(QString, status);
    SessionFixture f;
    for (const QString &step : steps) {
        const QString what = step.section(':', 0, 0);
        const QString arg = step.section(':', 1);
        if (what == "send")
            f.send(arg.toLatin1().constData());
        else if (what == "type")
            f.session->sendText(arg);
        else if (what == "receive")
            f.line.receive(arg.toLatin1());
        else if (what == "advance")
            f.advance(arg.toInt());
        else
            QFAIL(qPrintable(step));
    }
    QCOMPARE(f.rxd(), rxd);
    QCOMPARE(f.statusLine(), status);
}

QTEST_GUILESS_MAIN(SessionAnswersTest)
#include "tst_session_answers.moc"
