// SPDX-License-Identifier: MIT
// odra-control as a separate process on a pseudo-terminal, ended from outside as a session
// ends it: by a signal (a shutdown, Ctrl+C, a logout) or by losing its display. Whichever way it
// goes, the port must be let go: no lock file left behind, the line free for the next program.
#include "projector_sim_process.h"
#include "pseudo_terminal.h"
#include "ser2net_process.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QtTest>

#include <csignal>

namespace {

constexpr int kWait = 20000; // generous: a busy machine, or a sanitizer build, must not fail these

QString panelProgram()
{
    return QString::fromLocal8Bit(qgetenv("ODRA_CONTROL"));
}

// The lock file QSerialPort takes for a device, wherever it is now; empty when there is none.
QString lockFileOf(const QString &device)
{
    QString name = device;
    if (name.startsWith(QLatin1String("/dev/")))
        name = name.mid(5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const char *dir : {"/var/lock", "/run/lock", "/etc/locks", "/var/spool/locks",
                            "/var/spool/uucp", "/tmp", "/var/tmp"}) {
        const QString path = QString::fromLatin1(dir) + QStringLiteral("/LCK..") + name;
        if (QFileInfo::exists(path))
            return path;
    }
    return QString();
}

// Whether the process holds the device open.
bool holds(qint64 pid, const QString &device)
{
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    const QStringList entries = fds.entryList(QDir::System | QDir::NoDotAndDotDot);
    for (const QString &fd : entries) {
        if (QFileInfo(fds.filePath(fd)).symLinkTarget() == device)
            return true;
    }
    return false;
}

// The panel started on the device, until it holds the port open.
bool startPanel(QProcess &panel, const QString &device, QProcessEnvironment env,
                QTemporaryFile &log)
{
    env.insert(QStringLiteral("ODRA_COM1"), device);
    panel.setProcessEnvironment(env);
    if (log.open())
        panel.setStandardErrorFile(log.fileName());
    panel.start(panelProgram(), {});
    if (!panel.waitForStarted(kWait))
        return false;
    QElapsedTimer t;
    t.start();
    while (!holds(panel.processId(), device) && panel.state() == QProcess::Running &&
           t.elapsed() < kWait)
        QTest::qWait(20);
    return panel.state() == QProcess::Running && holds(panel.processId(), device);
}

QByteArray contents(QTemporaryFile &file)
{
    QFile f(file.fileName());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// After the panel has gone: no lock file, and another program opens the port.
void checkPortFree(const QString &device)
{
    QVERIFY2(lockFileOf(device).isEmpty(), qPrintable(lockFileOf(device)));
    QSerialPort next(device);
    QVERIFY2(next.open(QIODevice::ReadWrite), qPrintable(next.errorString()));
}

} // namespace

class StopTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void stopSignal_data();
    void stopSignal();
    void displayLost();
    void odraStopSignal_data() { stopSignal_data(); }
    void odraStopSignal();
    void odraReaderGone_data();
    void odraReaderGone();
};

void StopTest::initTestCase()
{
    QVERIFY2(QFileInfo(panelProgram()).isExecutable(), "ODRA_CONTROL names no program");
}

void StopTest::stopSignal_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void StopTest::stopSignal()
{
    QFETCH(int, signal);
    PseudoTerminal pty;
    QVERIFY(pty.isValid());
    QProcess panel;
    QTemporaryFile log;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QVERIFY(startPanel(panel, pty.devicePath(), env, log));
    // The port is locked while the panel runs (where this system keeps lock files at all).
    const bool locks = !lockFileOf(pty.devicePath()).isEmpty();

    QElapsedTimer stopping;
    stopping.start();
    QCOMPARE(::kill(pid_t(panel.processId()), signal), 0);
    QVERIFY(panel.waitForFinished(kWait));
    qInfo("ended %lld ms after the signal", stopping.elapsed());
    // It ended on its own, in order: not killed by the signal.
    QCOMPARE(panel.exitStatus(), QProcess::NormalExit);
    QVERIFY2(panel.exitCode() == 0, contents(log).constData());
    if (!locks)
        qInfo("this system keeps no serial lock files");
    checkPortFree(pty.devicePath());
}

void StopTest::displayLost()
{
    // The X server goes away under a running panel. Qt ends the program at once with exit(),
    // past every destructor on the stack: the port must be let go all the same.
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty())
        QSKIP("Xvfb is not installed (scripts/install-deps)");
    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // -displayfd: the server picks a free display and writes its number when it is ready.
    server.start(xvfb,
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                  QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                  QStringLiteral("tcp")});
    QVERIFY(server.waitForStarted(kWait));
    QElapsedTimer t;
    t.start();
    while (!server.canReadLine() && server.state() == QProcess::Running && t.elapsed() < kWait)
        server.waitForReadyRead(200);
    const QByteArray display = server.readLine().trimmed();
    QVERIFY2(!display.isEmpty(), "Xvfb named no display");

    PseudoTerminal pty;
    QProcess panel;
    QTemporaryFile log;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":") + QString::fromLatin1(display));
    QVERIFY2(startPanel(panel, pty.devicePath(), env, log), contents(log).constData());

    server.kill();
    QVERIFY(server.waitForFinished(kWait));
    QVERIFY2(panel.waitForFinished(kWait), "the panel outlived its display");
    checkPortFree(pty.devicePath());
}

// odra holding a button for a minute, stopped by each signal: the button comes up, every command
// it sent reaches the line whole, the port is let go, and it ends in order.
void StopTest::odraStopSignal()
{
    QFETCH(int, signal);
    const QString program = QString::fromLocal8Bit(qgetenv("ODRA_BIN"));
    QVERIFY2(QFileInfo(program).isExecutable(), "ODRA_BIN names no program");
    PseudoTerminal pty;
    QVERIFY(pty.isValid());
    QProcess odra;
    odra.start(program, {QStringLiteral("--port"), pty.devicePath(), QStringLiteral("--hold"),
                         QStringLiteral("60000"), QStringLiteral("volume-up")});
    QVERIFY(odra.waitForStarted(kWait));
    // Held once the first repeat has gone out.
    const QByteArray first = pty.readAtLeast(8, kWait);
    QVERIFY2(first.startsWith("C09\rC09\r"), first.constData());
    QCOMPARE(::kill(pid_t(odra.processId()), signal), 0);
    QVERIFY(odra.waitForFinished(kWait));
    QCOMPARE(odra.exitStatus(), QProcess::NormalExit);
    QCOMPARE(odra.exitCode(), 128 + signal); // interrupted, as a shell would report it
    const QByteArray all = first + pty.readFor(200);
    QCOMPARE(all, QByteArray("C09\r").repeated(all.size() / 4));
    checkPortFree(pty.devicePath());
}

void StopTest::odraReaderGone_data()
{
    QTest::addColumn<bool>("network"); // the last projector behind a device server
    QTest::newRow("serial ports") << false;
    QTest::newRow("a network port among them") << true;
}

// odra ... | head -n1: the reader has its line and goes while a silent port still waits. The
// run ends as a stop signal ends it, every port let go, with the status documented for it.
void StopTest::odraReaderGone()
{
    QFETCH(bool, network);
    if (network && !Ser2netProcess::available())
        QSKIP("ser2net is not installed (scripts/install-deps)");
    ProjectorSimProcess first, last;
    QVERIFY(first.start() && last.start());
    Ser2netProcess server;
    QString lastPort = last.devicePath();
    if (network) {
        QVERIFY(server.start(last.devicePath(), Ser2netProcess::Accepter::Raw));
        lastPort = server.url();
    }
    PseudoTerminal silent;
    QVERIFY(silent.isValid());
    // As a user types it; the shell reports odra's own status, 128 + 13 had SIGPIPE killed it.
    QProcess shell;
    shell.start(QStringLiteral("bash"),
                {"-c", R"("$0" "$@" | head -n1; exit "${PIPESTATUS[0]}")",
                 QString::fromLocal8Bit(qgetenv("ODRA_BIN")), "--timeout", "60000", "--port",
                 first.devicePath(), "--port", silent.devicePath(), "--port", lastPort, "status"});
    QVERIFY(shell.waitForStarted(kWait));
    QVERIFY2(shell.waitForFinished(kWait), "odra went on without a reader");
    QCOMPARE(shell.readAllStandardOutput(),
             (first.devicePath() + QStringLiteral(": Stand by\n")).toLocal8Bit());
    QCOMPARE(shell.exitCode(), 128 + SIGPIPE);
    QVERIFY2(shell.readAllStandardError().isEmpty(), "killed, or a warning");
    checkPortFree(silent.devicePath());
}

QTEST_MAIN(StopTest)
#include "tst_stop.moc"
