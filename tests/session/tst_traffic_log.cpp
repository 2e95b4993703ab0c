// SPDX-License-Identifier: MIT
// The traffic log on the manual clock: a line per send and per reply, a reply in pieces as one
// line, nothing held back for long, every line in the file as soon as it is written.
#include "session/traffic_log.h"
#include "session_fixture.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray kAck(1, 0x06);

struct Logged
{
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("traffic.log"));

    // The file's lines as they are now, each split into its fields.
    QList<QStringList> lines() const
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QList<QStringList> out;
        for (const QByteArray &line : file.readAll().split('\n'))
            if (!line.isEmpty())
                out << QString::fromUtf8(line).split(u'\t');
        return out;
    }
    // Fields 2 to 5 of each line: direction, hex, monitor, status.
    QList<QStringList> traffic() const
    {
        QList<QStringList> out;
        for (const QStringList &fields : lines())
            out << fields.mid(2);
        return out;
    }
};

} // namespace

class TrafficLogTest : public QObject
{
    Q_OBJECT
private slots:
    void sendsAndReplies();
    void unfinishedReplyWrittenAtTheNextSend();
    void chattyLineIsNotHeldBack();
    void pendingReplyWrittenWhenTheSessionGoes();
    void fullDiskWarnsOnce();
};

void TrafficLogTest::sendsAndReplies()
{
    Logged logged;
    SessionFixture f;
    TrafficLog log;
    QVERIFY(log.open(logged.path));
    log.follow(*f.session);

    f.send("status");
    f.advance(10);
    f.line.receive("8");
    f.advance(10);
    f.line.receive("0\r");
    f.advance(1000);
    f.send("power-on");
    f.line.receive(kAck);

    // In the file at once, while the log is still open.
    const QList<QStringList> lines = logged.lines();
    QCOMPARE(lines.size(), 4);
    const QRegularExpression stamp(
        QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}(Z|[+-]\d\d:\d\d)$)"));
    for (const QStringList &fields : lines) {
        QCOMPARE(fields.size(), 6);
        QVERIFY2(stamp.match(fields[0]).hasMatch(), qPrintable(fields[0]));
        QCOMPARE(fields[1], QStringLiteral("COM1 (/dev/fake-com1)"));
    }
    QCOMPARE(logged.traffic(), QList<QStringList>({
                                   {"TXD", "43 52 30 0D", " C R 0 CR ", ""},
                                   {"RXD", "38 30 0D", " 8 0 CR ", "Stand by"},
                                   {"TXD", "43 30 30 0D", " C 0 0 CR ", ""},
                                   {"RXD", "06", " ACK ", ""},
                               }));

    // POWER ON, then STATUS at once, and POWER ON's ACK arrives with the status: the record
    // says what the status line says.
    f.advance(1000);
    f.send("power-on");
    f.send("status");
    f.line.receive(kAck + "80\r");
    QCOMPARE(f.session->statusLine(), QStringLiteral(" Stand by"));
    QCOMPARE(logged.traffic().last(),
             QStringList({"RXD", "06 38 30 0D", " ACK 8 0 CR ", "Stand by"}));
}

// A reply that never ends as a reply does is written when the next command goes out, and is
// decoded against the command it followed.
void TrafficLogTest::unfinishedReplyWrittenAtTheNextSend()
{
    Logged logged;
    SessionFixture f;
    TrafficLog log;
    QVERIFY(log.open(logged.path));
    log.follow(*f.session);
    f.send("input-mode");
    f.line.receive("2");
    QCOMPARE(logged.lines().size(), 1);
    f.advance(600);
    f.send("status");
    QCOMPARE(logged.traffic(), QList<QStringList>({
                                   {"TXD", "43 52 31 0D", " C R 1 CR ", ""},
                                   {"RXD", "32", " 2 ", "Input mode 2"},
                                   {"TXD", "43 52 30 0D", " C R 0 CR ", ""},
                               }));
}

void TrafficLogTest::chattyLineIsNotHeldBack()
{
    Logged logged;
    SessionFixture f;
    TrafficLog log;
    QVERIFY(log.open(logged.path));
    log.follow(*f.session);
    const QByteArray noise(TrafficLog::kPendingLimit / 4, 'x');
    for (int i = 0; i < 5; ++i)
        f.line.receive(noise);
    const QList<QStringList> lines = logged.lines();
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines[0][2], QStringLiteral("RXD"));
    QCOMPARE(lines[0][3].size(), TrafficLog::kPendingLimit * 3 - 1); // "78 78 ... 78"
}

void TrafficLogTest::pendingReplyWrittenWhenTheSessionGoes()
{
    Logged logged;
    TrafficLog log;
    QVERIFY(log.open(logged.path));
    {
        SessionFixture f;
        log.follow(*f.session);
        f.send("status");
        f.line.receive("8");
        QCOMPARE(logged.lines().size(), 1);
    }
    QCOMPARE(logged.traffic().value(1), QStringList({"RXD", "38", " 8 ", ""}));
}

// A log that stops taking lines (a full disk) says so once; the panel goes on.
void TrafficLogTest::fullDiskWarnsOnce()
{
    SessionFixture f;
    TrafficLog log;
    QVERIFY(log.open(QStringLiteral("/dev/full")));
    log.follow(*f.session);
    const QRegularExpression warning(QStringLiteral("cannot be written"));
    QTest::ignoreMessage(QtWarningMsg, warning);
    QTest::failOnWarning(warning);
    f.send("status");
    f.line.receive("80\r");
    QCOMPARE(f.statusLine(), QStringLiteral(" Stand by"));
    f.advance(1000);
    f.send("power-on");
    QCOMPARE(f.line.writes.size(), 2);
}

QTEST_GUILESS_MAIN(TrafficLogTest)
#include "tst_traffic_log.moc"
