// SPDX-License-Identifier: MIT
// odra-control: the control panel.
#include "core/kernel_scheduler.h"
#include "core/stop_signals.h"
#include "font_warm_up.h"
#include "line/device_line.h"
#include "line/device_map.h"
#include "panel_command_line.h"
#include "platform_guard.h"
#include "session/panel_session.h"
#include "session/traffic_log.h"
#include "ui/panel_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QSettings>
#include <QTimer>

#include <cstdio>

Q_LOGGING_CATEGORY(lcStartup, "odra.startup", QtWarningMsg)

namespace {

// Where start-up spends its time, phase by phase: QT_LOGGING_RULES="odra.startup.debug=true".
class StartupPhases
{
public:
    StartupPhases() { timer_.start(); }
    void reached(const char *phase)
    {
        qCDebug(lcStartup, "%-14s %6.1f ms", phase, double(timer_.nsecsElapsed()) / 1e6);
        timer_.restart();
    }

private:
    QElapsedTimer timer_;
};

int usageError(const QString &message)
{
    std::fprintf(stderr, "odra-control: %s\nTry 'odra-control --help'.\n", qUtf8Printable(message));
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    StartupPhases phases;
    qSetMessagePattern(QStringLiteral("%{appname}: %{message}"));
    // Where the settings live: ~/.config/odra/odra-control.conf.
    QCoreApplication::setOrganizationName(QStringLiteral("odra"));
    QCoreApplication::setApplicationName(QStringLiteral("odra-control"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ODRA_VERSION));
    // The desktop entry it is started from, so that a desktop shows its icon and name.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.odracontrol.panel"));

    // Everything the command line can get wrong is said before a window opens, and --help and
    // --version need no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const PanelCommandLine commandLine = parsePanelCommandLine(arguments);
    switch (commandLine.action) {
    case PanelCommandLine::Action::Error: return usageError(commandLine.text);
    case PanelCommandLine::Action::Help:
        std::fputs(qUtf8Printable(commandLine.text), stdout);
        return 0;
    case PanelCommandLine::Action::Version:
        std::printf("odra-control %s\n", ODRA_VERSION);
        return 0;
    case PanelCommandLine::Action::Run: break;
    }
    TrafficLog log;
    if (!commandLine.logFile.isEmpty() && !log.open(commandLine.logFile))
        return usageError(QStringLiteral("cannot open the log %1: %2")
                              .arg(commandLine.logFile, log.errorString()));
    if (const QString why = noDisplay(commandLine); !why.isEmpty()) {
        std::fprintf(stderr, "odra-control: %s\n", qUtf8Printable(why));
        return 1;
    }

    phases.reached("command line");
    FontWarmUp fonts;
    PlatformGuard guard;
    QApplication app(argc, argv);
    guard.release();
    phases.reached("application");

    // One look on every desktop, so that each button shows its own colour.
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setWindowIcon(PanelWindow::appIcon());
    phases.reached("style, icon");

    StopSignals stop;
    const auto scheduler = makeEventLoopScheduler();
    DeviceLine line(*scheduler);
    QSettings settings;
    DeviceMap devices;
    devices.rememberIn(&settings);
    for (int port = 1; port <= 2; ++port)
        if (!commandLine.devices[port - 1].isEmpty())
            devices.setGiven(port, commandLine.devices[port - 1]);
    PanelSession session(*scheduler, line, devices);
    if (log.isOpen())
        log.follow(session);
    phases.reached("session");
    fonts.finish();
    phases.reached("fonts");
    PanelWindow window(session);
    phases.reached("window");
    QObject::connect(&session, &PanelSession::ended, &app, &QCoreApplication::quit);
    // A logout, a shutdown or Ctrl+C ends the panel as END does: the port is let go in order.
    // Caught from before the port opens, so that no moment leaves it locked.
    QObject::connect(&stop, &StopSignals::received, &session, &PanelSession::end);
    window.show();
    phases.reached("show");
    // The port opens in the event loop's first turn: by then the window is on its way to the
    // display, which maps it while the port and its lock file are being opened.
    QTimer::singleShot(0, &session, [&session, &phases] {
        session.start();
        phases.reached("port");
    });
    QTimer::singleShot(0, &app, [&phases] { phases.reached("first events"); });
    return QApplication::exec();
}
