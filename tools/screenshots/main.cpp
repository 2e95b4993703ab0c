// Renders the panel into PNG files: the window at each of its heights, once with the settings
// frame open, and (with --dense) the full window at twice the density, as on a high-DPI screen.
//
//   odra-screenshots [--dense] <directory>

#include "app/form1.h"
#include "core/manual_scheduler.h"
#include "fake_serial_port.h"

#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QPushButton>

#include <cstdio>

namespace {

struct Shot
{
    const char *file;
    int outerHeight;      // twips
    const char *dataView; // the data-view button's caption, or nullptr while it is still hidden
    bool settingsOpen;
};

// The views as the running panel shows them: compact at start, the data view, the extended view
// after Ctrl+J and the full view after the double-click on the picture; the data-view button
// appears with the taller views.
const Shot kShots[] = {
    {"panel-compact.png", 5350, nullptr, false},
    {"panel-data-view.png", 6645, "データを表示しない", false},
    {"panel-extended.png", 7200, "CLOSE", false},
    {"panel-full.png", 9100, "CLOSE", false},
    {"panel-settings.png", 5350, nullptr, true},
};
const Shot kDenseShot = {"panel-full-x2.png", 9100, "CLOSE", false};

// The offscreen platform says so at every change of the window's fixed height; it is not news.
void quietOffscreen(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains(QLatin1String("propagateSizeHints")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

bool render(Form1 &window, const Shot &shot, const QDir &dir)
{
    window.setHeight(shot.outerHeight);
    window.Command34->setVisible(shot.dataView != nullptr);
    if (shot.dataView)
        window.Command34->setText(QString::fromUtf8(shot.dataView));
    if (shot.settingsOpen)
        window.Command33_Click();
    else
        window.Frame8->hide();
    QCoreApplication::processEvents();

    const QString path = dir.filePath(QString::fromLatin1(shot.file));
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "odra-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const bool dense = args.removeAll(QStringLiteral("--dense")) > 0;
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: odra-screenshots [--dense] <directory>\n");
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

    ManualScheduler clock;
    FakeSerialPort port(&clock);
    Form1::Platform platform;
    platform.warning = [](Form1 *, const QString &text) {
        std::fprintf(stderr, "odra-screenshots: warning: %s\n", qPrintable(text));
    };
    platform.endProgram = [] {};
    Form1 window(clock, port, platform);
    window.show();

    if (dense)
        return render(window, kDenseShot, dir) ? 0 : 1;
    for (const Shot &shot : kShots) {
        if (!render(window, shot, dir))
            return 1;
    }
    return 0;
}
