// SPDX-License-Identifier: MIT
#include "options.h"

#include <QCommandLineParser>

#include <cmath>

namespace {

const QString kRun = QStringLiteral("--run");

// The options and their help, for parsing and for --help alike.
struct Cli
{
    QCommandLineParser parser;
    QCommandLineOption help = parser.addHelpOption();
    QCommandLineOption version = parser.addVersionOption();
    QCommandLineOption device{QStringLiteral("device"),
                              QStringLiteral("serve an existing serial device (raw, 8N1) instead"),
                              QStringLiteral("PATH")};
    QCommandLineOption baud{QStringLiteral("baud"),
                            QStringLiteral("speed for --device (default 19200)"),
                            QStringLiteral("N")};
    QCommandLineOption latency{QStringLiteral("latency"),
                               QStringLiteral("wait MS milliseconds before each reply"),
                               QStringLiteral("MS")};
    QCommandLineOption split{QStringLiteral("split"),
                             QStringLiteral("send replies one character at a time, 10 ms apart")};
    QCommandLineOption silent{QStringLiteral("silent"), QStringLiteral("never answer")};
    QCommandLineOption noise{QStringLiteral("noise"),
                             QStringLiteral("put N random bytes a second on the line"),
                             QStringLiteral("N")};
    QCommandLineOption hangupAfter{
        QStringLiteral("hangup-after"),
        QStringLiteral("close the line after the N-th command and its reply, as an unplugged "
                       "adapter would; keep running without a line"),
        QStringLiteral("N")};
    QCommandLineOption countdown{
        QStringLiteral("countdown"),
        QStringLiteral("seconds of count-down and of cooling down (default 3)"),
        QStringLiteral("S")};

    Cli()
    {
        parser.setApplicationDescription(QStringLiteral(
            "Plays an ODRA MP-Q85/Q75 projector at the far end of a serial line.\n"
            "By default it opens a pseudo-terminal and prints its device path (e.g. /dev/pts/7)\n"
            "as the first line of standard output, then answers until SIGTERM, SIGINT or SIGHUP.\n"
            "Commands end in CR; LF is ignored; an empty line gets no answer; a line longer\n"
            "than 4096 bytes is dropped unanswered. Every command and reply is logged to\n"
            "standard error with milliseconds since start; --noise once a second."));
        parser.addOptions({device, baud, latency, split, silent, noise, hangupAfter, countdown});
        parser.addPositionalArgument(
            QStringLiteral("--run PROGRAM ..."),
            QStringLiteral("run PROGRAM with ODRA_COM1 set to the device path and exit with its "
                           "exit status (128+N when killed by signal N, 127 when it cannot be "
                           "started)"),
            QStringLiteral("[--run PROGRAM [ARGS...]]"));
    }
};

bool toInt(const QString &text, int min, int max, int *out)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < min || value > max)
        return false;
    *out = value;
    return true;
}

} // namespace

ParseOutcome parseOptions(const QStringList &arguments, Options *options, QString *error)
{
    Options o;
    // The program to run takes everything after --run, options of its own included; only what
    // comes before is ours.
    const qsizetype run = arguments.indexOf(kRun, 1);
    Cli cli;
    if (!cli.parser.parse(run < 0 ? arguments : arguments.first(run))) {
        *error = cli.parser.errorText();
        return ParseOutcome::Error;
    }
    // --help-all, which --help lists, asks for the same: the simulator has no Qt options.
    if (cli.parser.isSet(cli.help) || cli.parser.isSet(QStringLiteral("help-all")))
        return ParseOutcome::Help;
    if (cli.parser.isSet(cli.version))
        return ParseOutcome::Version;
    if (!cli.parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument \"%1\"")
                     .arg(cli.parser.positionalArguments().constFirst());
        return ParseOutcome::Error;
    }
    if (run >= 0) {
        o.run = arguments.mid(run + 1);
        if (o.run.isEmpty()) {
            *error = QStringLiteral("--run needs a program to run");
            return ParseOutcome::Error;
        }
    }

    o.split = cli.parser.isSet(cli.split);
    o.silent = cli.parser.isSet(cli.silent);
    // Each option with a value: whether the value is good, checked only when it is given.
    const auto check = [&](const QCommandLineOption &option, auto &&take) {
        if (!cli.parser.isSet(option))
            return true;
        const QString value = cli.parser.value(option);
        if (take(value))
            return true;
        *error =
            QStringLiteral("bad value \"%1\" for --%2").arg(value, option.names().constFirst());
        return false;
    };
    const bool ok =
        check(cli.device,
              [&](const QString &v) {
                  o.device = v;
                  return !v.isEmpty();
              }) &&
        check(cli.baud, [&](const QString &v) { return toInt(v, 50, 4000000, &o.baud); }) &&
        check(cli.latency, [&](const QString &v) { return toInt(v, 0, 600000, &o.latencyMs); }) &&
        check(cli.noise,
              [&](const QString &v) { return toInt(v, 0, 100000, &o.noisePerSecond); }) &&
        check(cli.hangupAfter,
              [&](const QString &v) { return toInt(v, 1, 1000000000, &o.hangupAfter); }) &&
        check(cli.countdown, [&](const QString &v) {
            bool number = false;
            o.countdownSeconds = v.toDouble(&number);
            return number && std::isfinite(o.countdownSeconds) && o.countdownSeconds >= 0 &&
                   o.countdownSeconds <= 86400;
        });
    if (!ok)
        return ParseOutcome::Error;
    *options = o;
    return ParseOutcome::Run;
}

QString usageText()
{
    Cli cli;
    return cli.parser.helpText() +
           QStringLiteral(
               "\n"
               "Answers (each reply ends in CR; a bare ACK 0x06 has no CR):\n"
               "  CR0          80 stand-by, 40 count-down, 00 power on, 20 cooling down\n"
               "  CR1          1..4, the input chosen with C05..C08\n"
               "  CR3          lamp hours, 5 digits; one hour per second the lamp is lit\n"
               "  CR4          11     CR7  11 lamp lit, 10 dark     CR9  MP-Q85 V1.05\n"
               "  CR6          three temperatures, \"ddd.d ddd.d ddd.d\"\n"
               "  CRA          FF in stand-by, else 00, 01 no-show, 02 sound mute, 03 both\n"
               "  CR PRESSURE  512    CR INFPFAIL  00\n"
               "  C00 C01 C05-C08 C0B-C0E and the other control codes: ACK\n"
               "  anything else: ?\n");
}
