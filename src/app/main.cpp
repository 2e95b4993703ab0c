#include "app/form1.h"
#include "core/kernel_scheduler.h"
#include "link/qt_serial_port.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("odra-control"));
    // One look on every desktop, so that each button shows its own colour.
    QApplication::setStyle(QStringLiteral("Fusion"));

    const auto scheduler = makeEventLoopScheduler();
    QtSerialPort port;
    Form1 window(*scheduler, port);
    window.show();
    return QApplication::exec();
}
