// SPDX-License-Identifier: MIT
#include "panel_command_line.h"

#include "line/device_address.h"

#include <QCommandLineParser>

namespace {

// Qt's own options, which QApplication takes from the same command line: accepted here and left
// to it.
constexpr const char *kQtOptionsWithValue[] = {"platform",        "platformpluginpath",
                                               "platformtheme",   "plugin",
                                               "qwindowgeometry", "geometry",
                                               "qwindowtitle",    "title",
                                               "qwindowicon",     "icon",
                                               "session",         "display",
                                               "style",           "stylesheet",
                                               "qmljsdebugger",   "name"};
constexpr const char *kQtFlags[] = {"reverse", "widgetcount", "nograb",
                                    "dograb",  "sync",        "testability"};

constexpr const char *kDescription =
    "The control panel of the ODRA MP-Q85 and Q75 projectors on a serial line.\n"
    "COM1 is the device given with --com1, else $ODRA_COM1, else the device last chosen in the\n"
    "panel (\"Choose device…\" in the context menu of COM1 in the settings frame, or in the\n"
    "warning that a port cannot be opened), else /dev/ttyS0. COM2 likewise, with --com2,\n"
    "$ODRA_COM2 and /dev/ttyS1.";

struct Parser
{
    QCommandLineParser parser;
    QCommandLineOption help = parser.addHelpOption();
    QCommandLineOption version = parser.addVersionOption();
    QCommandLineOption com[2] = {
        {QStringLiteral("com1"),
         QStringLiteral("Use DEVICE as COM1 in this run: a path such as /dev/ttyUSB0, or a device "
                        "server as rfc2217://HOST:PORT or socket://HOST:PORT."),
         QStringLiteral("DEVICE")},
        {QStringLiteral("com2"), QStringLiteral("Use DEVICE as COM2 in this run."),
         QStringLiteral("DEVICE")}};
    QCommandLineOption log{
        QStringLiteral("log"),
        QStringLiteral("Append every byte sent and received to FILE, one line per command and "
                       "per reply."),
        QStringLiteral("FILE")};

    Parser()
    {
        parser.setApplicationDescription(QString::fromUtf8(kDescription));
        // Qt's options are spelt with one dash: -platform is one option, not -p -l -a ...
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addOptions({com[0], com[1], log});
        for (const char *name : kQtOptionsWithValue) {
            QCommandLineOption o(QString::fromLatin1(name), QString(), QStringLiteral("value"));
            o.setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(o);
        }
        for (const char *name : kQtFlags) {
            QCommandLineOption o(QString::fromLatin1(name));
            o.setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(o);
        }
    }
};

} // namespace

PanelCommandLine parsePanelCommandLine(const QStringList &arguments)
{
    PanelCommandLine c;
    Parser p;
    const auto error = [&c](const QString &text) {
        c.action = PanelCommandLine::Action::Error;
        c.text = text;
        return c;
    };
    if (!p.parser.parse(arguments))
        return error(p.parser.errorText());
    if (p.parser.isSet(p.help) || p.parser.isSet(QStringLiteral("help-all"))) {
        c.action = PanelCommandLine::Action::Help;
        c.text = p.parser.helpText();
        // Read before the application exists, the parser does not know the program's name.
        const qsizetype endOfUsage = c.text.indexOf(QLatin1String(" [options]"));
        if (c.text.startsWith(QLatin1String("Usage: ")) && endOfUsage > 0)
            c.text.replace(7, endOfUsage - 7, QStringLiteral("odra-control"));
        return c;
    }
    if (p.parser.isSet(p.version)) {
        c.action = PanelCommandLine::Action::Version;
        return c;
    }
    if (!p.parser.positionalArguments().isEmpty())
        return error(QStringLiteral("unexpected argument \"%1\"")
                         .arg(p.parser.positionalArguments().constFirst()));
    for (int i = 0; i < 2; ++i) {
        if (!p.parser.isSet(p.com[i]))
            continue;
        const QString device = p.parser.value(p.com[i]).trimmed();
        const QString option = p.com[i].names().constFirst();
        if (device.isEmpty())
            return error(QStringLiteral("--%1 needs a device").arg(option));
        const DeviceAddress address = DeviceAddress::parse(device);
        if (!address.isValid())
            return error(QStringLiteral("bad device \"%1\" for --%2: %3")
                             .arg(device, option, address.problemText()));
        c.devices[i] = device;
    }
    c.logFile = p.parser.value(p.log);
    if (p.parser.isSet(p.log) && c.logFile.isEmpty())
        return error(QStringLiteral("--log needs a file"));
    c.platform = p.parser.value(QStringLiteral("platform"));
    c.displayGiven = p.parser.isSet(QStringLiteral("display"));
    return c;
}

QString noDisplay(const PanelCommandLine &commandLine)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    QString platform = commandLine.platform;
    if (platform.isEmpty())
        platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    // The first of a list such as "wayland;xcb" is what Qt tries first; only the two desktop
    // platforms need a display server, and Wayland finds its own when none is named.
    const QString first = platform.section(QLatin1Char(';'), 0, 0).section(QLatin1Char(':'), 0, 0);
    const bool desktop = first.isEmpty() || first == QLatin1String("xcb");
    const bool named = !qEnvironmentVariableIsEmpty("DISPLAY") || commandLine.displayGiven ||
                       (first.isEmpty() && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"));
    if (desktop && !named)
        return QStringLiteral(
            "no display to open the window on (DISPLAY is not set). Start it in a desktop "
            "session, or with QT_QPA_PLATFORM=offscreen to try it without a screen; 'odra' "
            "sends commands without a window.");
#else
    Q_UNUSED(commandLine);
#endif
    return {};
}
