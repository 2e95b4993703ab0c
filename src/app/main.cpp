// odra-control: the control panel.
#include "core/kernel_scheduler.h"
#include "core/stop_signals.h"
#include "line/device_line.h"
#include "line/device_map.h"
#include "session/panel_session.h"
#include "ui/panel_window.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    qSetMessagePattern(QStringLiteral("%{appname}: %{message}"));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("odra-control"));
    // One look on every desktop, so that each button shows its own colour.
    QApplication::setStyle(QStringLiteral("Fusion"));

    StopSignals stop;
    const auto scheduler = makeEventLoopScheduler();
    DeviceLine line;
    DeviceMap devices;
    PanelSession session(*scheduler, line, devices);
    PanelWindow window(session);
    QObject::connect(&session, &PanelSession::ended, &app, &QCoreApplication::quit);
    // A logout, a shutdown or Ctrl+C ends the panel as END does: the port is let go in order.
    // Caught from before the port opens, so that no moment leaves it locked.
    QObject::connect(&stop, &StopSignals::received, &session, &PanelSession::end);
    session.start();
    window.show();
    return QApplication::exec();
}
