// SPDX-License-Identifier: MIT
// odra-projector-sim: a projector at the far end of a serial line, for demonstrations, tests
// and benchmarks of the panel without the hardware.

#include "journal.h"
#include "line.h"
#include "options.h"
#include "simulator.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QProcess>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

Q_LOGGING_CATEGORY(lcSim, "odra.sim")

namespace {

// SIGTERM, SIGINT and SIGHUP (a closed terminal) reach the event loop through a pipe: a signal
// handler may do no more than write a byte.
int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

bool catchStopSignals()
{
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction sa
    {
    };
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    return sigaction(SIGTERM, &sa, nullptr) == 0 && sigaction(SIGINT, &sa, nullptr) == 0 &&
           sigaction(SIGHUP, &sa, nullptr) == 0;
}

// The exit status of a program that ended, the way a shell reports it.
int shellStatus(int exitCode, QProcess::ExitStatus status)
{
    return status == QProcess::NormalExit ? exitCode : 128 + exitCode;
}

// One of the projectors served by --count: its log, its line and its model.
struct Served
{
    std::unique_ptr<Journal> journal;
    std::unique_ptr<Line> line;
    std::unique_ptr<Simulator> simulator;
};

// Two descriptors a pseudo-terminal (ours and the device side we keep open): hundreds of
// projectors need more than the usual soft limit of 1024, and the hard limit is ours to take.
void raiseDescriptorLimit(int projectors)
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return;
    const rlim_t wanted = rlim_t(projectors) * 2 + 64;
    if (limit.rlim_cur >= wanted)
        return;
    limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? wanted : qMin(wanted, limit.rlim_max);
    setrlimit(RLIMIT_NOFILE, &limit);
}

// --count N: N projectors in this one process, their paths on standard output one a line in
// the order of their numbers, so that a benchmark can drive hundreds without hundreds of
// processes. Each has its own log prefix, line and state; nothing is shared but the loop.
int serveMany(const Options &options)
{
    raiseDescriptorLimit(options.count);
    std::vector<Served> served;
    served.reserve(size_t(options.count));
    QByteArray paths;
    for (int i = 1; i <= options.count; ++i) {
        Served s;
        s.journal = std::make_unique<Journal>(QByteArray::number(i) + "  ");
        s.line = std::make_unique<Line>(*s.journal);
        QString error;
        if (!s.line->openPseudoTerminal(&error)) {
            qCWarning(lcSim, "projector %d: %s", i, qUtf8Printable(error));
            return 1;
        }
        s.simulator = std::make_unique<Simulator>(options, *s.line, *s.journal);
        paths += s.line->path().toLocal8Bit() + '\n';
        s.journal->note(QStringLiteral("projector on %1, stand-by").arg(s.line->path()));
        served.push_back(std::move(s));
    }
    if (!catchStopSignals()) {
        qCWarning(lcSim, "cannot catch signals");
        return 1;
    }
    std::fwrite(paths.constData(), 1, size_t(paths.size()), stdout);
    std::fflush(stdout);

    QSocketNotifier stopSignal(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stopSignal, &QSocketNotifier::activated, [&] {
        char drain[16];
        while (::read(signalPipe[0], drain, sizeof drain) > 0) {
        }
        served.front().journal->note(QStringLiteral("stopping"));
        QCoreApplication::exit(0);
    });
    const int status = QCoreApplication::exec();
    for (Served &s : served)
        s.line->close();
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    // Our warnings as they always looked: the program's name, then the message. The journal
    // on standard error is written directly, not through here.
    qSetMessagePattern(QStringLiteral("%{appname}: %{message}"));
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("odra-projector-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ODRA_VERSION));

    Options options;
    QString error;
    switch (parseOptions(QCoreApplication::arguments(), &options, &error)) {
    case ParseOutcome::Help: std::fputs(usageText().toLocal8Bit().constData(), stdout); return 0;
    case ParseOutcome::Version:
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    case ParseOutcome::Error:
        qCWarning(lcSim, "%s\nTry 'odra-projector-sim --help'.", qUtf8Printable(error));
        return 2;
    case ParseOutcome::Run: break;
    }

    if (options.count > 1)
        return serveMany(options);

    Journal journal;
    Line line(journal);
    const bool opened = options.device.isEmpty()
                            ? line.openPseudoTerminal(&error)
                            : line.openDevice(options.device, options.baud, &error);
    if (!opened) {
        qCWarning(lcSim, "%s", qUtf8Printable(error));
        return 1;
    }
    if (!catchStopSignals()) {
        qCWarning(lcSim, "cannot catch signals");
        return 1;
    }

    // The first line of our output is the device: whoever started us reads it at once.
    std::printf("%s\n", line.path().toLocal8Bit().constData());
    std::fflush(stdout);
    journal.note(QStringLiteral("projector on %1, stand-by").arg(line.path()));

    Simulator simulator(options, line, journal);

    QProcess program;
    QTimer killTimer;
    killTimer.setSingleShot(true);
    const bool running = !options.run.isEmpty();

    QSocketNotifier stopSignal(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stopSignal, &QSocketNotifier::activated, [&] {
        char drain[16];
        while (::read(signalPipe[0], drain, sizeof drain) > 0) {
        }
        if (!running || program.state() == QProcess::NotRunning) {
            journal.note(QStringLiteral("stopping"));
            QCoreApplication::exit(0);
        } else if (!killTimer.isActive()) {
            // We end when the program does, with its status; give it a moment to go.
            journal.note(QStringLiteral("stopping: asking %1 to end").arg(options.run.first()));
            program.terminate();
            killTimer.start(5000);
        }
    });

    if (running) {
        QObject::connect(&killTimer, &QTimer::timeout, &program, &QProcess::kill);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ODRA_COM1"), line.path());
        program.setProcessEnvironment(env);
        program.setProgram(options.run.first());
        program.setArguments(options.run.mid(1));
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.setInputChannelMode(QProcess::ForwardedInputChannel);
        // Should we die without a chance to stop it, the program goes too.
        program.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        QObject::connect(&program, &QProcess::finished, [&](int code, QProcess::ExitStatus st) {
            const int status = shellStatus(code, st);
            journal.note(
                QStringLiteral("%1 ended with status %2").arg(options.run.first()).arg(status));
            QCoreApplication::exit(status);
        });
        QObject::connect(&program, &QProcess::errorOccurred, [&](QProcess::ProcessError e) {
            if (e != QProcess::FailedToStart)
                return;
            qCWarning(lcSim, "cannot run %s: %s", qUtf8Printable(options.run.first()),
                      qUtf8Printable(program.errorString()));
            QCoreApplication::exit(127);
        });
        journal.note(QStringLiteral("running %1 with ODRA_COM1=%2")
                         .arg(options.run.join(QLatin1Char(' ')), line.path()));
        // Started from the event loop, so that a program that cannot start ends us too.
        QTimer::singleShot(0, &program, [&program] { program.start(); });
    }

    const int status = QCoreApplication::exec();
    line.close();
    return status;
}
