// SPDX-License-Identifier: MIT
// odra: the projector from scripts, cron and fleets. One command to one or many projectors,
// the decoded answer on standard output, an exit status.
#include "cli/fleet.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/standard_output.h"
#include "core/kernel_scheduler.h"
#include "core/stop_signals.h"
#include "line/device_line.h"
#include "session/traffic_log.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

namespace {

void print(const QByteArray &text)
{
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::fflush(stdout); // a line at a time, for whoever reads us as we go
}

int usageError(const QString &message)
{
    std::fprintf(stderr, "odra: %s\nTry 'odra --help'.\n", qUtf8Printable(message));
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    qSetMessagePattern(QStringLiteral("%{appname}: %{message}"));
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("odra"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ODRA_VERSION));

    const ParsedArguments parsed = parseArguments(QCoreApplication::arguments());
    if (!parsed.error.isEmpty())
        return usageError(parsed.error);
    const OdraOptions &options = parsed.options;
    switch (options.action) {
    case OdraOptions::Action::Help: print(helpText().toLocal8Bit()); return 0;
    case OdraOptions::Action::Version: print("odra " ODRA_VERSION "\n"); return 0;
    case OdraOptions::Action::List: print(commandList(options.json)); return 0;
    case OdraOptions::Action::Run: break;
    }

    TrafficLog log;
    if (!options.logFile.isEmpty() && !log.open(options.logFile))
        return usageError(
            QStringLiteral("cannot open the log %1: %2").arg(options.logFile, log.errorString()));

    // Before any port opens: Ctrl+C, a logout, a shutdown or the reader of our output going
    // away ends the run in order (a held button released, what is queued handed to the line,
    // every port closed and its lock file gone), with the status that says so.
    StopSignals stop;
    StandardOutput output;
    const auto scheduler = makeEventLoopScheduler();
    Fleet fleet(
        *scheduler, options.ports, options.request, options.json,
        [&scheduler = *scheduler] { return std::make_unique<DeviceLine>(scheduler); },
        [&output](const QByteArray &line) { output.print(line); },
        options.logFile.isEmpty() ? nullptr : &log);
    // The only way out: every port answered, or Fleet::stop() ended the rest.
    QObject::connect(&fleet, &Fleet::finished, &app, &QCoreApplication::exit);
    QObject::connect(&stop, &StopSignals::received, &fleet,
                     [&fleet](int signal) { fleet.stop(interruptedStatus(signal)); });
    // Queued: the output may find its reader gone while the fleet is printing.
    QObject::connect(
        &output, &StandardOutput::closed, &fleet,
        [&fleet] { fleet.stop(interruptedStatus(SIGPIPE)); }, Qt::QueuedConnection);
    fleet.start();
    return QCoreApplication::exec();
}
