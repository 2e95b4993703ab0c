// odra-control: the control panel.
#include "core/kernel_scheduler.h"
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

    const auto scheduler = makeEventLoopScheduler();
    DeviceLine line;
    DeviceMap devices;
    PanelSession session(*scheduler, line, devices);
    PanelWindow window(session);
    QObject::connect(&session, &PanelSession::ended, &app, &QCoreApplication::quit);
    session.start();
    window.show();
    return QApplication::exec();
}
