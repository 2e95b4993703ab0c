#include "options.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

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

ParseOutcome parseOptions(const QStringList &args, Options *options, QString *error)
{
    Options o;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == QLatin1String("--run")) {
            o.run = args.mid(i + 1);
            if (o.run.isEmpty()) {
                *error = QStringLiteral("--run needs a program to run");
                return ParseOutcome::Error;
            }
            break;
        }
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h"))
            return ParseOutcome::Help;
        if (arg == QLatin1String("--split")) {
            o.split = true;
            continue;
        }
        if (arg == QLatin1String("--silent")) {
            o.silent = true;
            continue;
        }

        // Every other option takes a value.
        static constexpr const char *WithValue[] = {"--device", "--baud",         "--latency",
                                                    "--noise",  "--hangup-after", "--countdown"};
        if (std::find_if(std::begin(WithValue), std::end(WithValue),
                         [&](const char *name) { return arg == QLatin1String(name); })
            == std::end(WithValue)) {
            *error = QStringLiteral("unknown option \"%1\"").arg(arg);
            return ParseOutcome::Error;
        }
        if (i + 1 >= args.size()) {
            *error = QStringLiteral("%1 needs a value").arg(arg);
            return ParseOutcome::Error;
        }
        const QString value = args.at(++i);
        bool ok = true;
        if (arg == QLatin1String("--device")) {
            o.device = value;
            ok = !value.isEmpty();
        } else if (arg == QLatin1String("--baud")) {
            ok = toInt(value, 50, 4000000, &o.baud);
        } else if (arg == QLatin1String("--latency")) {
            ok = toInt(value, 0, 600000, &o.latencyMs);
        } else if (arg == QLatin1String("--noise")) {
            ok = toInt(value, 0, 100000, &o.noisePerSecond);
        } else if (arg == QLatin1String("--hangup-after")) {
            ok = toInt(value, 1, 1000000000, &o.hangupAfter);
        } else { // --countdown
            o.countdownSeconds = value.toDouble(&ok);
            ok = ok && std::isfinite(o.countdownSeconds) && o.countdownSeconds >= 0
                 && o.countdownSeconds <= 86400;
        }
        if (!ok) {
            *error = QStringLiteral("bad value \"%1\" for %2").arg(value, arg);
            return ParseOutcome::Error;
        }
    }
    *options = o;
    return ParseOutcome::Run;
}

QString usageText()
{
    return QStringLiteral(
        "Usage: odra-projector-sim [OPTIONS] [--run PROGRAM [ARGS...]]\n"
        "\n"
        "Plays an ODRA MP-Q85/Q75 projector at the far end of a serial line.\n"
        "By default it opens a pseudo-terminal and prints its device path (e.g. /dev/pts/7)\n"
        "as the first line of standard output, then answers until SIGTERM or SIGINT.\n"
        "Commands end in CR; LF is ignored; an empty line gets no answer; a line longer\n"
        "than 4096 bytes is dropped unanswered. Every command and reply is logged to\n"
        "standard error with milliseconds since start.\n"
        "\n"
        "Options:\n"
        "  --device PATH      serve an existing serial device (raw, 8N1) instead\n"
        "  --baud N           speed for --device (default 19200)\n"
        "  --latency MS       wait MS milliseconds before each reply\n"
        "  --split            send replies one character at a time, 10 ms apart\n"
        "  --silent           never answer\n"
        "  --noise N          put N random bytes a second on the line\n"
        "  --hangup-after N   close the line after the N-th command and its reply, as an\n"
        "                     unplugged adapter would; keep running without a line\n"
        "  --countdown S      seconds of count-down and of cooling down (default 3)\n"
        "  --run PROGRAM ...  run PROGRAM with ODRA_COM1 set to the device path and exit\n"
        "                     with its exit status (128+N when killed by signal N,\n"
        "                     127 when it cannot be started)\n"
        "  --help             this text\n"
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
