// odra-control: the control panel.
#include "core/kernel_scheduler.h"
#include "core/stop_signals.h"
#include "line/device_line.h"
#include "line/device_map.h"
#include "session/panel_session.h"
#include "session/traffic_log.h"
#include "ui/panel_window.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

namespace {

// The panel's command line; parsed after QApplication has taken Qt's own options (-platform,
// -style ...).
struct PanelOptions
{
    QCommandLineParser parser;
    QCommandLineOption help = parser.addHelpOption();
    QCommandLineOption version = parser.addVersionOption();
    QCommandLineOption log{
        QStringLiteral("log"),
        QStringLiteral("Append every byte sent and received to FILE, one line per command and "
                       "per reply."),
        QStringLiteral("FILE")};

    PanelOptions()
    {
        parser.setApplicationDescription(QStringLiteral(
            "The control panel of the ODRA MP-Q85 and Q75 projectors on a serial line.\n"
            "COM1 is $ODRA_COM1, else /dev/ttyS0; COM2 is $ODRA_COM2, else /dev/ttyS1."));
        parser.addOption(log);
    }
};

int usageError(const QString &message)
{
    std::fprintf(stderr, "odra-control: %s\nTry 'odra-control --help'.\n", qUtf8Printable(message));
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    qSetMessagePattern(QStringLiteral("%{appname}: %{message}"));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("odra-control"));
    QApplication::setApplicationVersion(QStringLiteral(ODRA_VERSION));

    // Everything the command line can get wrong is said before a window opens.
    PanelOptions options;
    if (!options.parser.parse(QApplication::arguments()))
        return usageError(options.parser.errorText());
    if (options.parser.isSet(options.help)) {
        std::fputs(qPrintable(options.parser.helpText()), stdout);
        return 0;
    }
    if (options.parser.isSet(options.version)) {
        std::printf("odra-control %s\n", ODRA_VERSION);
        return 0;
    }
    if (!options.parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument \"%1\"")
                              .arg(options.parser.positionalArguments().constFirst()));
    TrafficLog log;
    if (options.parser.isSet(options.log) && !log.open(options.parser.value(options.log)))
        return usageError(QStringLiteral("cannot open the log %1: %2")
                              .arg(options.parser.value(options.log), log.errorString()));

    // One look on every desktop, so that each button shows its own colour.
    QApplication::setStyle(QStringLiteral("Fusion"));

    StopSignals stop;
    const auto scheduler = makeEventLoopScheduler();
    DeviceLine line;
    DeviceMap devices;
    PanelSession session(*scheduler, line, devices);
    if (log.isOpen())
        log.follow(session);
    PanelWindow window(session);
    QObject::connect(&session, &PanelSession::ended, &app, &QCoreApplication::quit);
    // A logout, a shutdown or Ctrl+C ends the panel as END does: the port is let go in order.
    // Caught from before the port opens, so that no moment leaves it locked.
    QObject::connect(&stop, &StopSignals::received, &session, &PanelSession::end);
    session.start();
    window.show();
    return QApplication::exec();
}
