// SPDX-License-Identifier: MIT
#include "cli/options.h"

#include "cli/suggest.h"
#include "line/device_address.h"
#include "line/device_map.h"

#include <QCommandLineParser>
#include <QFile>
#include <QRegularExpression>

namespace {

constexpr int kMostMs = 24 * 3600 * 1000; // a day: longer is a mistake, not a wish

// The options and their help, for parsing and for --help alike.
struct Cli
{
    QCommandLineParser parser;
    QCommandLineOption help = parser.addHelpOption();
    QCommandLineOption version = parser.addVersionOption();
    QCommandLineOption port{
        QStringLiteral("port"),
        QStringLiteral("The projector's line: a device path, or COM1 or COM2 ($ODRA_COM1, "
                       "else /dev/ttyS0; $ODRA_COM2, else /dev/ttyS1; never the device last "
                       "chosen in the panel). Give it again for more projectors: all are served "
                       "at once. Default COM1."),
        QStringLiteral("DEVICE")};
    QCommandLineOption speed{QStringLiteral("speed"),
                             QStringLiteral("19200 (the default) or 9600 baud."),
                             QStringLiteral("BAUD")};
    QCommandLineOption json{QStringLiteral("json"),
                            QStringLiteral("One JSON object per port and line.")};
    QCommandLineOption timeout{
        QStringLiteral("timeout"),
        QStringLiteral("Wait MS milliseconds for the reply instead of the command's own reply "
                       "window (0.5 s for most, 2 s for image modes, P-FAIL and send, 5 s for "
                       "the terminals)."),
        QStringLiteral("MS")};
    QCommandLineOption hold{
        QStringLiteral("hold"),
        QStringLiteral("Hold commands (volume-up, zoom-in, menu-left ...): keep the button down "
                       "for MS milliseconds, repeating at its own rhythm as the panel does. "
                       "Without it they send once."),
        QStringLiteral("MS")};
    QCommandLineOption log{
        QStringLiteral("log"),
        QStringLiteral("Append every byte sent and received to FILE, one line per command and "
                       "per reply."),
        QStringLiteral("FILE")};

    Cli()
    {
        parser.setApplicationDescription(QStringLiteral(
            "Sends one command to ODRA MP-Q85/Q75 projectors on their serial lines and prints "
            "the answer: the decoded status (\"Stand by\"), else the reply as the panel's "
            "monitor shows it (\"ACK\"), else \"no reply\"; with several ports one line each, "
            "prefixed by the port."));
        parser.addOptions({port, speed, json, timeout, hold, log});
        parser.addPositionalArgument(
            QStringLiteral("command"),
            QStringLiteral("A command of the panel by name (odra list shows them all), or send."),
            QStringLiteral("COMMAND"));
        parser.addPositionalArgument(
            QStringLiteral("text"),
            QStringLiteral("For send: any command, sent exactly as typed, with a carriage "
                           "return."),
            QStringLiteral("[TEXT]"));
    }
};

bool toMs(const QString &text, int least, int *out)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < least || value > kMostMs)
        return false;
    *out = value;
    return true;
}

// The device a port names, as far as can be told without opening it: a symbolic link
// (/dev/serial/by-id/...) and the device it points to are one port, found as the serial line
// finds the node it locks.
QString deviceOf(const QString &port)
{
    DeviceMap devices;
    const int com = comPortNumber(port);
    const QString device = com ? devices.device(com) : port;
    const QString node = deviceNode(QFile::encodeName(device));
    return node.isEmpty() ? device : node;
}

QString unknownCommand(const QString &name)
{
    QString text = QStringLiteral("unknown command \"%1\".").arg(name);
    const QStringList near = nearestNames(name);
    if (!near.isEmpty())
        text += QStringLiteral(" Did you mean %1?").arg(near.join(QStringLiteral(", ")));
    return text + QStringLiteral("\n'odra list' shows every command.");
}

// The command and its text, or the error.
QString takeCommand(const QStringList &words, OdraOptions &o)
{
    if (words.isEmpty())
        return QStringLiteral("no command given ('odra list' shows them).");
    const QString &name = words.constFirst();
    if (name == QLatin1String("list")) {
        o.action = OdraOptions::Action::List;
        return words.size() > 1 ? QStringLiteral("list takes no further arguments.") : QString();
    }
    if (name == QLatin1String("send")) {
        if (words.size() == 1)
            return QStringLiteral("send needs the text to send, e.g. odra send 'CR PRESSURE'.");
        if (words.size() > 2)
            return QStringLiteral("send takes one TEXT: quote it, e.g. odra send 'CR PRESSURE'.");
        o.request.text = words[1];
        return QString();
    }
    const protocol::Command *command = protocol::findCommand(name.toStdString());
    if (!command)
        return unknownCommand(name);
    o.request.command = command;
    if (words.size() > 1)
        return QStringLiteral("%1 takes no text (only send does).").arg(name);
    return QString();
}

} // namespace

int comPortNumber(const QString &port)
{
    static const QRegularExpression com(QStringLiteral("^COM([12])$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = com.match(port);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

ParsedArguments parseArguments(const QStringList &arguments)
{
    ParsedArguments result;
    OdraOptions &o = result.options;
    Cli cli;
    if (!cli.parser.parse(arguments)) {
        result.error = cli.parser.errorText();
        return result;
    }
    // --help-all is Qt's, listed by --help: the same help, for odra has no options of Qt's.
    if (cli.parser.isSet(cli.help) || cli.parser.isSet(QStringLiteral("help-all"))) {
        o.action = OdraOptions::Action::Help;
        return result;
    }
    if (cli.parser.isSet(cli.version)) {
        o.action = OdraOptions::Action::Version;
        return result;
    }
    o.json = cli.parser.isSet(cli.json);
    if (const QString error = takeCommand(cli.parser.positionalArguments(), o); !error.isEmpty()) {
        result.error = error;
        return result;
    }
    if (o.action == OdraOptions::Action::List)
        return result;

    const auto bad = [&](const QCommandLineOption &option) {
        result.error = QStringLiteral("bad value \"%1\" for --%2.")
                           .arg(cli.parser.value(option), option.names().constFirst());
        return result;
    };
    if (cli.parser.isSet(cli.speed)) {
        const QString v = cli.parser.value(cli.speed);
        if (v != QLatin1String("19200") && v != QLatin1String("9600"))
            return bad(cli.speed);
        o.request.baud = v.toInt();
    }
    if (cli.parser.isSet(cli.timeout) &&
        !toMs(cli.parser.value(cli.timeout), 1, &o.request.timeoutMs))
        return bad(cli.timeout);
    if (cli.parser.isSet(cli.hold)) {
        if (!toMs(cli.parser.value(cli.hold), 0, &o.request.holdMs))
            return bad(cli.hold);
        if (!o.request.isHold()) {
            result.error = QStringLiteral("--hold is for the hold commands (volume-up, zoom-in, "
                                          "menu-left ...); %1 sends once.")
                               .arg(o.request.name());
            return result;
        }
    }
    if (cli.parser.isSet(cli.log)) {
        o.logFile = cli.parser.value(cli.log);
        if (o.logFile.isEmpty())
            return bad(cli.log);
    }

    o.ports = cli.parser.values(cli.port);
    if (o.ports.isEmpty())
        o.ports << QStringLiteral("COM1");
    QStringList devices;
    for (const QString &port : std::as_const(o.ports)) {
        if (port.isEmpty())
            return bad(cli.port);
        // A network name that cannot be used is a mistake on the command line, found before any
        // port opens, as the panel finds it in --com1.
        if (const DeviceAddress address = DeviceAddress::parse(port); !address.isValid()) {
            result.error = QStringLiteral("bad device \"%1\" for --port: %2.")
                               .arg(port, address.problemText());
            return result;
        }
        // One line, one session: a port given twice would only find itself busy.
        const QString device = deviceOf(port);
        if (const qsizetype first = devices.indexOf(device); first >= 0) {
            result.error = QStringLiteral("%1 is given twice (as %2 and %3).")
                               .arg(device, o.ports[first], port);
            return result;
        }
        devices << device;
    }
    return result;
}

QString helpText()
{
    Cli cli;
    return cli.parser.helpText() +
           QStringLiteral(
               "\n"
               "Commands:\n"
               "  odra list            every command with its code and what it does\n"
               "  odra status          the power state; also input-mode, lamp-time, setting,\n"
               "                       temp and p-fail\n"
               "  odra power-off       any button of the panel by name\n"
               "  odra send 'CR7'      any command, exactly as typed\n"
               "\n"
               "Exit status: 0 every port answered; 1 usage error; 2 a port could not be\n"
               "opened; 3 a port gave no reply. With several ports the highest applies.\n"
               "Stopped before every port was done: 128 + the signal's number, 130 for\n"
               "SIGINT (Ctrl+C), 143 for SIGTERM, 129 for SIGHUP, and 141 when the reader of\n"
               "the output went away (as for SIGPIPE); the ports are closed all the same.\n"
               "\n"
               "Examples:\n"
               "  odra --port /dev/ttyUSB0 status\n"
               "  odra --port /dev/ttyUSB0 --port /dev/ttyUSB1 --json lamp-time\n"
               "  odra --hold 1000 volume-up\n");
}
