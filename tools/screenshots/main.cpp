// Renders the panel into PNG files for the README, driving the window through its own handlers
// exactly as an operator would: the compact window at start, the settings frame, Ctrl+J, the
// double-click on the picture, and the data-view button. With --dense the full window is drawn
// at twice the density, as on a high-DPI screen; with --live the window talks to a real serial
// line (the projector simulator, through ODRA_COM1) and is drawn with a decoded status line.
//
//   odra-screenshots [--dense | --live] <directory>

#include "app/form1.h"
#include "core/manual_scheduler.h"
#include "core/kernel_scheduler.h"
#include "fake_serial_port.h"
#include "link/qt_serial_port.h"
#include "panel/widgets.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFrame>
#include <QPushButton>

#include <cstdio>

namespace {

// The offscreen platform says so at every change of the window's fixed height; it is not news.
void quietOffscreen(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains(QLatin1String("propagateSizeHints")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

bool save(Form1 &window, const QDir &dir, const char *file)
{
    QCoreApplication::processEvents();
    const QString path = dir.filePath(QString::fromLatin1(file));
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "odra-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

Form1::Platform quietPlatform()
{
    Form1::Platform platform;
    platform.warning = [](Form1 *, const QString &text) {
        std::fprintf(stderr, "odra-screenshots: warning: %s\n", qPrintable(text));
    };
    platform.endProgram = [] {};
    return platform;
}

void click(Form1 &window, const char *name)
{
    if (auto *b = qobject_cast<QPushButton *>(window.control(QString::fromLatin1(name))))
        b->click();
}

// Every view, on the manual clock and the fake port; a STATUS query answered "80" fills the
// monitor so that the views below the buttons have something to show.
int renderViews(const QDir &dir, bool dense)
{
    ManualScheduler clock;
    FakeSerialPort port(&clock);
    Form1 window(clock, port, quietPlatform());
    window.show();

    const auto answeredStatus = [&] {
        clock.advance(3000); // the previous reply window and display clear are over
        click(window, "Command44");
        port.receive("80\r");
    };
    if (dense) {
        window.Form_KeyDown(Qt::Key_J, 2);
        window.Image1_DblClick();
        answeredStatus();
        return save(window, dir, "panel-full-x2.png") ? 0 : 1;
    }

    bool ok = save(window, dir, "panel-compact.png");
    window.Command33_Click();
    ok = ok && save(window, dir, "panel-settings.png");
    clock.advance(5000); // the settings frame closes itself
    window.Form_KeyDown(Qt::Key_J, 2);
    answeredStatus();
    ok = ok && save(window, dir, "panel-extended.png");
    window.Image1_DblClick();
    ok = ok && save(window, dir, "panel-full.png");
    window.Command34_Click(); // back to compact
    window.Command34_Click(); // the data view
    answeredStatus();
    ok = ok && save(window, dir, "panel-data-view.png");
    return ok ? 0 : 1;
}

// The full window on real timers and the real serial port, once the status line has decoded
// the projector's answer to STATUS.
int renderLive(const QDir &dir)
{
    const auto scheduler = makeEventLoopScheduler();
    QtSerialPort port;
    Form1 window(*scheduler, port, quietPlatform());
    window.show();
    window.Form_KeyDown(Qt::Key_J, 2);
    window.Image1_DblClick();
    click(window, "Command44");
    QElapsedTimer waited;
    waited.start();
    while (window.Label22->text().isEmpty() && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (window.Label22->text().isEmpty()) {
        std::fprintf(stderr, "odra-screenshots: no decoded answer from %s\n",
                     qPrintable(port.devicePath()));
        return 1;
    }
    return save(window, dir, "panel-live.png") ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const bool dense = args.removeAll(QStringLiteral("--dense")) > 0;
    const bool live = args.removeAll(QStringLiteral("--live")) > 0;
    if (args.size() != 1 || (dense && live)) {
        std::fprintf(stderr, "usage: odra-screenshots [--dense | --live] <directory>\n");
        return 2;
    }
    // No display needed; the scale factor has to be in place before the application starts.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (dense)
        qputenv("QT_SCALE_FACTOR", "2");

    qInstallMessageHandler(quietOffscreen);
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    const QDir dir(args.first());
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "odra-screenshots: cannot create %s\n", qPrintable(dir.path()));
        return 1;
    }
    return live ? renderLive(dir) : renderViews(dir, dense);
}
