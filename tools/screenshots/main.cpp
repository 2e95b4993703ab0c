// SPDX-License-Identifier: MIT
// Renders the panel into PNG files for the README, driving the session through the operations
// an operator's actions reach: the compact window at start, the settings frame, Ctrl+J, the
// double-click on the picture, and the data-view button. With --dense the full window is drawn
// at twice the density, as on a high-DPI screen; with --live the window talks to a real serial
// line (the projector simulator, through ODRA_COM1) and is drawn with a decoded status line.
//
//   odra-screenshots [--dense | --live] <directory>

#include "core/kernel_scheduler.h"
#include "fake_line.h"
#include "line/device_map.h"
#include "line/serial_line.h"
#include "manual_clock.h"
#include "protocol/catalogue.h"
#include "quiet_platform.h"
#include "session/panel_session.h"
#include "ui/panel_window.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QLoggingCategory>

#include <cstdio>

Q_LOGGING_CATEGORY(lcShots, "odra.screenshots")

namespace {

bool save(PanelWindow &window, const QDir &dir, const char *file)
{
    QCoreApplication::processEvents();
    const QString path = dir.filePath(QString::fromLatin1(file));
    if (!window.grab().save(path)) {
        qCWarning(lcShots, "cannot write %s", qUtf8Printable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

const protocol::Command &statusQuery()
{
    const protocol::Command *status = protocol::findCommand("status");
    if (!status)
        qFatal("no status command in the catalogue");
    return *status;
}

// The window on a session. Warnings are not shown as message boxes, which would end up in the
// pictures; the session logs each of them already.
void quietWarnings(PanelWindow &window)
{
    window.setWarningPresenter([](const QString &) {});
}

// Every view, on the manual clock and the fake line; a status query answered "80" fills the
// monitor so that the views below the buttons have something to show.
int renderViews(const QDir &dir, bool dense)
{
    ManualClock clock;
    FakeLine line(&clock);
    DeviceMap devices;
    devices.setGiven(1, QStringLiteral("/dev/fake-com1"));
    devices.setGiven(2, QStringLiteral("/dev/fake-com2"));
    PanelSession session(clock, line, devices);
    PanelWindow window(session);
    quietWarnings(window);
    session.start();
    window.show();

    const auto answeredStatus = [&] {
        clock.advance(3000); // the previous reply window and display clear are over
        session.send(statusQuery());
        line.receive("80\r");
    };
    if (dense) {
        session.openExtendedView();
        session.openFullView();
        answeredStatus();
        return save(window, dir, "panel-full-x2.png") ? 0 : 1;
    }

    bool ok = save(window, dir, "panel-compact.png");
    session.openSettings();
    ok = ok && save(window, dir, "panel-settings.png");
    clock.advance(5000); // the settings frame closes itself
    session.openExtendedView();
    answeredStatus();
    ok = ok && save(window, dir, "panel-extended.png");
    session.openFullView();
    ok = ok && save(window, dir, "panel-full.png");
    session.toggleDataView(); // back to compact
    session.toggleDataView(); // the data view
    answeredStatus();
    ok = ok && save(window, dir, "panel-data-view.png");
    return ok ? 0 : 1;
}

// The full window on real timers and the real serial line, once the status line has decoded
// the projector's answer to the status query.
int renderLive(const QDir &dir)
{
    const auto scheduler = makeEventLoopScheduler();
    SerialLine line;
    DeviceMap devices;
    PanelSession session(*scheduler, line, devices);
    PanelWindow window(session);
    quietWarnings(window);
    session.start();
    window.show();
    if (!session.portOpen())
        return 1; // the session has said why
    session.openExtendedView();
    session.openFullView();
    // Decoded from a reply: the status line also shows a note when the send itself failed.
    bool replied = false;
    QObject::connect(&session, &PanelSession::arrived, [&replied] { replied = true; });
    session.send(statusQuery());
    const auto decoded = [&] { return replied && !session.statusLine().isEmpty(); };
    QElapsedTimer waited;
    waited.start();
    while (!decoded() && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (!decoded()) {
        qCWarning(lcShots, "no decoded answer from %s", qUtf8Printable(devices.device(1)));
        return 1;
    }
    return save(window, dir, "panel-live.png") ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("odra-screenshots"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ODRA_VERSION));
    qSetMessagePattern(QStringLiteral("%{appname}: %{message}"));

    QCommandLineParser cli;
    cli.setApplicationDescription(QStringLiteral(
        "Renders the panel's pictures for the README into <directory>: every view, or the full "
        "window at twice the density, or the full window talking to the projector on "
        "ODRA_COM1."));
    const QCommandLineOption helpOption = cli.addHelpOption();
    const QCommandLineOption versionOption = cli.addVersionOption();
    const QCommandLineOption denseOption(QStringLiteral("dense"),
                                         QStringLiteral("The full window at twice the density."));
    const QCommandLineOption liveOption(
        QStringLiteral("live"),
        QStringLiteral("The full window with the status line decoded from the projector."));
    cli.addOption(denseOption);
    cli.addOption(liveOption);
    cli.addPositionalArgument(QStringLiteral("directory"),
                              QStringLiteral("Where the PNG files go; made when missing."));
    // Read before the application starts: the scale factor has to be in place by then.
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const bool parsed = cli.parse(args);
    const bool dense = parsed && cli.isSet(denseOption);
    const bool live = parsed && cli.isSet(liveOption);

    // No display needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (dense)
        qputenv("QT_SCALE_FACTOR", "2");
    quietOffscreenPlatform();
    QApplication app(argc, argv);

    if (!parsed) {
        qCWarning(lcShots).noquote() << cli.errorText();
        return 2;
    }
    if (cli.isSet(helpOption) || cli.isSet(QStringLiteral("help-all")))
        cli.showHelp(0);
    if (cli.isSet(versionOption))
        cli.showVersion();
    if (cli.positionalArguments().size() != 1 || (dense && live)) {
        qCWarning(lcShots, "usage: odra-screenshots [--dense | --live] <directory>");
        return 2;
    }

    QApplication::setStyle(QStringLiteral("Fusion"));
    const QDir dir(cli.positionalArguments().constFirst());
    if (!dir.mkpath(QStringLiteral("."))) {
        qCWarning(lcShots, "cannot create %s", qUtf8Printable(dir.path()));
        return 1;
    }
    return live ? renderLive(dir) : renderViews(dir, dense);
}
