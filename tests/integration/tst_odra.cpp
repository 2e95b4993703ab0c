// SPDX-License-Identifier: MIT
// odra as a user runs it: the built program against odra-projector-sim on pseudo-terminals, on
// real timers. Bounds on time are generous; the rhythm and the side-by-side service are what is
// proved, not the speed.
#include "projector_sim_process.h"
#include "ser2net_process.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

struct Ran
{
    int status = -1;
    QByteArray out, err;
    qint64 wallMs = 0;
};

Ran run(const QString &program, const QStringList &args,
        const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    Ran r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.wallMs = t.elapsed();
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

Ran odra(const QStringList &args)
{
    return run(QString::fromLocal8Bit(qgetenv("ODRA_BIN")), args);
}

// Milliseconds since the simulator started at which it received each command equal to `code`.
QList<qint64> receivedAt(const QByteArray &journal, const QByteArray &code)
{
    static const QRegularExpression line(QStringLiteral(R"(^\s*(\d+) ms  rx  (.*)$)"));
    QList<qint64> out;
    for (const QByteArray &l : journal.split('\n')) {
        const QRegularExpressionMatch m = line.match(QString::fromLatin1(l));
        if (m.hasMatch() && m.captured(2).toLatin1() == code + "<CR>")
            out << m.captured(1).toLongLong();
    }
    return out;
}

QString describe(const Ran &r)
{
    return QStringLiteral("status %1, out: %2, err: %3")
        .arg(r.status)
        .arg(QString::fromLocal8Bit(r.out), QString::fromLocal8Bit(r.err));
}

} // namespace

class OdraTest : public QObject
{
    Q_OBJECT
private slots:
    void answers_data();
    void answers();
    void jsonPerPort();
    void silentProjector();
    void missingDevice();
    void overTheNetwork();
    void unknownCommand();
    void holdRepeatsAtTheButtonsRhythm();
    void twentyProjectorsAtOnce();
    void logFile();
    void panelCommandLine_data();
    void panelCommandLine();
    void panelWithoutDisplay_data();
    void panelWithoutDisplay();
};

void OdraTest::answers_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("out");
    QTest::newRow("status") << QStringList{"status"} << QByteArray("Stand by\n");
    QTest::newRow("input mode") << QStringList{"input-mode"} << QByteArray("Input mode 1\n");
    QTest::newRow("setting") << QStringList{"setting"} << QByteArray("Normally\n");
    QTest::newRow("lamp time") << QStringList{"lamp-time"}
                               << QByteArray("0 1 2 3 4 CR  Hour Use\n");
    QTest::newRow("temperatures") << QStringList{"temp"}
                                  << QByteArray(
                                         "S1= 0 2 4 . 5 C  ,   S2=  2 5 . 0 C , S3= 0 2 6 . 0 C\n");
    QTest::newRow("P-FAIL, not decoded") << QStringList{"p-fail"} << QByteArray("0 0 CR\n");
    QTest::newRow("control command") << QStringList{"power-on"} << QByteArray("ACK\n");
    QTest::newRow("typed query") << QStringList{"send", "CR PRESSURE"} << QByteArray("650 hPa\n");
    QTest::newRow("typed, unknown to the projector")
        << QStringList{"send", "HELLO"} << QByteArray("? CR\n");
    QTest::newRow("at 9600 baud") << QStringList{"--speed", "9600", "status"}
                                  << QByteArray("Stand by\n");
}

void OdraTest::answers()
{
    QFETCH(QStringList, args);
    ProjectorSimProcess sim;
    QVERIFY(sim.start());
    const Ran r = odra(QStringList{"--port", sim.devicePath()} + args);
    QVERIFY2(r.status == 0, qPrintable(describe(r)));
    QTEST(r.out, "out");
    QVERIFY2(r.err.isEmpty(), r.err.constData());
}

void OdraTest::jsonPerPort()
{
    ProjectorSimProcess a, b;
    QVERIFY(a.start() && b.start());
    const QString gone = QStringLiteral("/dev/odra-test-no-such-device");
    const Ran r = odra(
        {"--json", "--port", a.devicePath(), "--port", gone, "--port", b.devicePath(), "status"});
    QCOMPARE(r.status, 2);
    const QList<QByteArray> lines = r.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 3);
    const QStringList ports{a.devicePath(), gone, b.devicePath()};
    for (int i = 0; i < 3; ++i) {
        QJsonParseError error{};
        const QJsonObject o = QJsonDocument::fromJson(lines[i], &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError, lines[i].constData());
        QCOMPARE(o["port"].toString(), ports[i]);
        QCOMPARE(o["command"].toString(), "status");
        QVERIFY(o.contains("elapsed_ms"));
        if (i == 1) {
            QCOMPARE(o["exit"].toInt(), 2);
            QVERIFY(o["status"].isNull() && o["sent"].isNull());
            continue;
        }
        QCOMPARE(o["sent"].toString(), "CR0\r");
        QCOMPARE(o["reply"].toString(), " 8 0 CR ");
        QCOMPARE(o["status"].toString(), "Stand by");
        QVERIFY(o["elapsed_ms"].toInt() >= 0);
    }
}

void OdraTest::silentProjector()
{
    ProjectorSimProcess sim;
    QVERIFY(sim.start({"--silent"}));
    const Ran r = odra({"--port", sim.devicePath(), "status"});
    QCOMPARE(r.status, 3);
    QCOMPARE(r.out, QByteArray("no reply\n"));
    QVERIFY2(r.wallMs >= 450, qPrintable(QString::number(r.wallMs))); // the whole window
    QVERIFY(receivedAt(sim.log(), "CR0").size() == 1);
}

void OdraTest::missingDevice()
{
    const Ran r = odra({"--port", "/dev/odra-test-no-such-device", "status"});
    QCOMPARE(r.status, 2);
    QCOMPARE(r.out, QByteArray("not open\n"));
    // Named as given: a device is no COM1.
    QVERIFY2(r.err.startsWith("odra: /dev/odra-test-no-such-device does not exist"),
             r.err.constData());
}

// Ports on device servers: odra waits for each connection before it sends, and a server that
// is not there is a port that cannot be opened.
void OdraTest::overTheNetwork()
{
    if (!Ser2netProcess::available())
        QSKIP("ser2net is not installed (scripts/install-deps)");
    ProjectorSimProcess sim;
    QVERIFY(sim.start());
    Ser2netProcess server;
    QVERIFY(server.start(sim.devicePath(), Ser2netProcess::Accepter::Rfc2217));
    const Ran r = odra({"--port", server.url(), "status"});
    QVERIFY2(r.status == 0, qPrintable(describe(r)));
    QCOMPARE(r.out, QByteArray("Stand by\n"));

    const quint16 nobody = server.port();
    server.stop();
    const QString gone = QStringLiteral("socket://127.0.0.1:%1").arg(nobody);
    const Ran refused = odra({"--port", gone, "status"});
    QCOMPARE(refused.status, 2);
    QCOMPARE(refused.out, QByteArray("not open\n"));
    QVERIFY2(refused.err.contains("Connection refused"), refused.err.constData());
}

void OdraTest::unknownCommand()
{
    ProjectorSimProcess sim;
    QVERIFY(sim.start());
    const Ran r = odra({"--port", sim.devicePath(), "powr-off"});
    QCOMPARE(r.status, 1);
    QVERIFY(r.out.isEmpty());
    QVERIFY2(r.err.contains("Did you mean power-off?"), r.err.constData());
    QTest::qWait(200);
    QVERIFY2(!sim.log().contains(" rx "), sim.log().constData()); // nothing was sent
}

void OdraTest::holdRepeatsAtTheButtonsRhythm()
{
    ProjectorSimProcess sim;
    QVERIFY(sim.start());
    const Ran r = odra({"--port", sim.devicePath(), "--hold", "1000", "volume-up"});
    QVERIFY2(r.status == 0, qPrintable(describe(r)));
    QCOMPARE(r.out, QByteArray("ACK ACK ACK ACK ACK\n"));
    const QList<qint64> at = receivedAt(sim.log(), "C09");
    QCOMPARE(at.size(), 5);
    for (qsizetype i = 1; i < at.size(); ++i) {
        const qint64 gap = at[i] - at[i - 1];
        QVERIFY2(gap >= 150 && gap <= 400, qPrintable(QStringLiteral("gap %1 ms").arg(gap)));
    }
    QVERIFY2(at.last() - at.first() >= 900 && at.last() - at.first() <= 1300,
             qPrintable(QString::number(at.last() - at.first())));
}

// Each projector takes 400 ms to answer: in turn, twenty would take eight seconds; side by side
// they take about as long as one.
void OdraTest::twentyProjectorsAtOnce()
{
    constexpr int kCount = 20;
    std::vector<std::unique_ptr<ProjectorSimProcess>> sims;
    QStringList all;
    for (int i = 0; i < kCount; ++i) {
        sims.push_back(std::make_unique<ProjectorSimProcess>());
        QVERIFY(sims.back()->start({"--latency", "400"}));
        all << "--port" << sims.back()->devicePath();
    }
    const Ran one = odra({"--port", sims[0]->devicePath(), "power-off"});
    QVERIFY2(one.status == 0, qPrintable(describe(one)));
    const Ran twenty = odra(all + QStringList{"power-off"});
    QVERIFY2(twenty.status == 0, qPrintable(describe(twenty)));

    const QList<QByteArray> lines = twenty.out.trimmed().split('\n');
    QCOMPARE(lines.size(), kCount);
    for (int i = 0; i < kCount; ++i) {
        QCOMPARE(lines[i], (sims[size_t(i)]->devicePath() + ": ACK").toLocal8Bit());
        QCOMPARE(receivedAt(sims[size_t(i)]->log(), "C01").size(), i == 0 ? 2 : 1);
    }
    QVERIFY2(
        twenty.wallMs < 2 * one.wallMs,
        qPrintable(QStringLiteral("one %1 ms, twenty %2 ms").arg(one.wallMs).arg(twenty.wallMs)));
}

void OdraTest::logFile()
{
    ProjectorSimProcess sim;
    QVERIFY(sim.start());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("odra.log"));
    const Ran status = odra({"--json", "--port", sim.devicePath(), "--log", path, "status"});
    QVERIFY(status.status == 0);
    QVERIFY(odra({"--port", sim.devicePath(), "--log", path, "power-on"}).status == 0);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 5); // two runs appended, two lines each, and the last line's end
    const QByteArray port = sim.devicePath().toLocal8Bit();
    const QList<QByteArray> expected = {
        port + "\tTXD\t43 52 30 0D\t C R 0 CR \t",
        port + "\tRXD\t38 30 0D\t 8 0 CR \tStand by",
        port + "\tTXD\t43 30 30 0D\t C 0 0 CR \t",
        port + "\tRXD\t06\t ACK \t",
    };
    for (int i = 0; i < 4; ++i)
        QCOMPARE(lines[i].mid(lines[i].indexOf('\t') + 1), expected[i]);
    // odra's output and the log read the reply from the same answer.
    const QJsonObject o = QJsonDocument::fromJson(status.out).object();
    QCOMPARE(o["status"].toString().toUtf8(), lines[1].split('\t').last());

    // A device named to forge a record: read back as TSV, one record of six fields per event,
    // and the name whole in its own field.
    const QString forger = dir.filePath(
        QStringLiteral("nl\n2099-01-01T00:00:00.000Z\tFAKE\tRXD\t38 30 0D\t 8 0 CR \tStand by"));
    QVERIFY(QFile::link(sim.devicePath(), forger));
    const QString forged = dir.filePath(QStringLiteral("forged.log"));
    QVERIFY(odra({"--port", forger, "--log", forged, "power-on"}).status == 0);
    QFile tsv(forged);
    QVERIFY(tsv.open(QIODevice::ReadOnly));
    const QList<QByteArray> records = tsv.readAll().split('\n');
    QCOMPARE(records.size(), 3); // the command, the reply, and the last line's end
    for (int i = 0; i < 2; ++i) {
        const QList<QByteArray> fields = records[i].split('\t');
        QCOMPARE(fields.size(), 6);
        QCOMPARE(fields[1], QByteArray(forger.toUtf8())
                                .replace('\\', "\\\\")
                                .replace('\n', "\\n")
                                .replace('\t', "\\t"));
        QCOMPARE(fields[2], QByteArray(i == 0 ? "TXD" : "RXD"));
    }

    const Ran refused = odra({"--log", dir.filePath(QStringLiteral("no/such/dir/odra.log")),
                              "--port", sim.devicePath(), "status"});
    QCOMPARE(refused.status, 1);
    QVERIFY2(refused.err.contains("no/such/dir/odra.log"), refused.err.constData());
}

void OdraTest::panelCommandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("says"); // on standard output, or on standard error for 1

    QTest::newRow("version") << QStringList{"--version"} << 0 << QByteArray("odra-control 1.");
    QTest::newRow("help") << QStringList{"--help"} << 0 << QByteArray("--com1 <DEVICE>");
    QTest::newRow("Qt's own option")
        << QStringList{"-platform", "offscreen", "--version"} << 0 << QByteArray("odra-control 1.");
    QTest::newRow("unknown option") << QStringList{"--colour"} << 1 << QByteArray("colour");
    QTest::newRow("stray argument") << QStringList{"status"} << 1 << QByteArray("status");
    QTest::newRow("log that cannot be opened") << QStringList{"--log", "/nonexistent/dir/panel.log"}
                                               << 1 << QByteArray("/nonexistent/dir/panel.log");
    QTest::newRow("device missing") << QStringList{"--com1"} << 1 << QByteArray("--com1");
    QTest::newRow("empty device") << QStringList{"--com2", " "} << 1 << QByteArray("--com2");
    QTest::newRow("device the panel cannot read")
        << QStringList{"--com1", "tcp://box:2000"} << 1 << QByteArray("tcp://box:2000");
}

// The panel answers its command line before a window opens, and needs no display for it.
void OdraTest::panelCommandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QByteArray, says);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    const Ran r = run(QString::fromLocal8Bit(qgetenv("ODRA_PANEL")), args, env);
    QCOMPARE(r.status, status);
    const QByteArray &text = status == 0 ? r.out : r.err;
    QVERIFY2(text.contains(says), qPrintable(describe(r)));
}

void OdraTest::panelWithoutDisplay_data()
{
    QTest::addColumn<QString>("display"); // "" for none at all
    QTest::addColumn<QByteArray>("says");

    QTest::newRow("no display at all") << "" << QByteArray("DISPLAY is not set");
    // No X server listens on so high a number.
    QTest::newRow("display that is not there") << ":65000" << QByteArray(":65000");
}

// Where no window can be opened: one line saying so and what to do, exit status 1, no abort.
void OdraTest::panelWithoutDisplay()
{
    QFETCH(QString, display);
    QFETCH(QByteArray, says);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    if (!display.isEmpty())
        env.insert(QStringLiteral("DISPLAY"), display);
    const Ran r = run(QString::fromLocal8Bit(qgetenv("ODRA_PANEL")), {}, env);
    QCOMPARE(r.status, 1);
    QCOMPARE(r.err.count('\n'), 1);
    QVERIFY2(r.err.startsWith("odra-control: ") && r.err.contains(says), r.err.constData());
    QVERIFY2(r.err.contains("QT_QPA_PLATFORM=offscreen"), r.err.constData());
}

QTEST_GUILESS_MAIN(OdraTest)
#include "tst_odra.moc"
