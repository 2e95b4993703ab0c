// SPDX-License-Identifier: MIT
// Every program's command line as its --help advertises it: each option listed there does what
// an option of its kind does (help and version answer and end, an option left without its value
// is a usage error, a flag is known), and a device name that cannot be used is a usage error
// before any port opens. The options are read from --help itself, so that an option added later
// is tried too.
#include "pseudo_terminal.h"

#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

namespace {

constexpr int kWait = 20000; // generous: a busy machine or a sanitizer build must not fail these

struct Ran
{
    int status = -1; // -1: killed, or still running after kWait
    QByteArray out, err;
};

QString program(const char *variable)
{
    return QString::fromLocal8Bit(qgetenv(variable));
}

// Without a display: none of this may need one.
Ran run(const QString &path, const QStringList &args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    p.setProcessEnvironment(env);
    p.start(path, args);
    Ran r;
    if (!p.waitForFinished(kWait)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// The options --help lists, each with whether it takes a value: "--port <DEVICE>".
QList<std::pair<QString, bool>> advertised(const QString &path)
{
    static const QRegularExpression option(
        QStringLiteral(R"(^\s+(?:-\w, )?(--[a-z][a-z0-9-]*)( <)?)"));
    QList<std::pair<QString, bool>> out;
    bool inOptions = false;
    for (const QByteArray &line : run(path, {QStringLiteral("--help")}).out.split('\n')) {
        if (!line.startsWith(' ')) {
            inOptions = line.startsWith("Options:");
            continue;
        }
        const QRegularExpressionMatch m = option.match(QString::fromLocal8Bit(line));
        if (inOptions && m.hasMatch())
            out.append({m.captured(1), m.hasCaptured(2)});
    }
    return out;
}

// The exit status of a mistake on the command line, as each program's manual page says.
int usageStatus(const QString &path)
{
    return path == program("ODRA_SIM") ? 2 : 1;
}

} // namespace

class CommandLinesTest : public QObject
{
    Q_OBJECT
private slots:
    void everyAdvertisedOption_data();
    void everyAdvertisedOption();
    void malformedAddress_data();
    void malformedAddress();
};

void CommandLinesTest::everyAdvertisedOption_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("option");
    QTest::addColumn<bool>("takesValue");
    for (const char *variable : {"ODRA_BIN", "ODRA_CONTROL", "ODRA_SIM"}) {
        const QString path = program(variable);
        const auto options = advertised(path);
        QVERIFY2(options.size() >= 3, qPrintable(path + QStringLiteral(" lists no options")));
        for (const auto &[option, takesValue] : options)
            QTest::addRow("%s %s", qPrintable(QFileInfo(path).fileName()), qPrintable(option))
                << path << option << takesValue;
    }
}

// Each program is given a projector on a pseudo-terminal and a command that would reach it:
// whatever the option, the usage errors and the answers about the program itself send nothing.
void CommandLinesTest::everyAdvertisedOption()
{
    QFETCH(QString, program);
    QFETCH(QString, option);
    QFETCH(bool, takesValue);
    PseudoTerminal pty;
    QVERIFY(pty.isValid());
    QStringList toThePort{"--device", pty.devicePath()};
    if (program == ::program("ODRA_BIN"))
        toThePort = QStringList{"--port", pty.devicePath(), "power-on"};
    else if (program == ::program("ODRA_CONTROL"))
        toThePort = QStringList{"--com1", pty.devicePath()};
    const QString name = QFileInfo(program).fileName();

    Ran r;
    if (option.startsWith(QLatin1String("--help"))) {
        r = run(program, toThePort + QStringList{option});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.startsWith("Usage: ") && r.out.contains(name.toLocal8Bit()), r.out);
    } else if (option == QLatin1String("--version")) {
        r = run(program, toThePort + QStringList{option});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out.left(name.size() + 3), (name + QStringLiteral(" 1.")).toLocal8Bit());
    } else if (takesValue) {
        r = run(program, toThePort + QStringList{option});
        QCOMPARE(r.status, usageStatus(program));
        QVERIFY2(r.err.contains(option.mid(2).toLocal8Bit()), r.err);
    } else {
        // A flag is known: the one mistake reported is the option beside it.
        r = run(program, toThePort + QStringList{option, "--no-such-option"});
        QCOMPARE(r.status, usageStatus(program));
        QVERIFY2(r.err.contains("no-such-option") && !r.err.contains(option.toLocal8Bit()), r.err);
    }
    QVERIFY2(pty.readFor(100).isEmpty(), "something was sent");
}

void CommandLinesTest::malformedAddress_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("address");
    const QStringList addresses{
        "socket://127.0.0.1:0",   "socket://127.0.0.1:65536", "socket://127.0.0.1:20a1",
        "tcp://127.0.0.1:4000",   "socket://:4000",           "socket://127.0.0.1",
        "rfc2217://box:1?baud=9", "socket://[:]:1",           "socket://[::1::2]:1",
    };
    for (const QString &address : addresses) {
        QTest::addRow("odra %s", qPrintable(address)) << program("ODRA_BIN") << "--port" << address;
        QTest::addRow("odra-control %s", qPrintable(address))
            << program("ODRA_CONTROL") << "--com1" << address;
    }
}

// Beside a port that works: the mistake is found before that port opens, and nothing is sent.
void CommandLinesTest::malformedAddress()
{
    QFETCH(QString, program);
    QFETCH(QString, option);
    QFETCH(QString, address);
    PseudoTerminal pty;
    QVERIFY(pty.isValid());
    const QStringList good = option == QLatin1String("--port")
                                 ? QStringList{"--port", pty.devicePath(), "power-on"}
                                 : QStringList{"--com2", pty.devicePath()};
    const Ran r = run(program, QStringList{option, address} + good);
    QCOMPARE(r.status, 1);
    QVERIFY2(r.err.contains(address.toLocal8Bit()), r.err);
    QVERIFY2(pty.readFor(100).isEmpty(), "something was sent");
}

QTEST_GUILESS_MAIN(CommandLinesTest)
#include "tst_command_lines.moc"
