// SPDX-License-Identifier: MIT
// odrad: the resident service. It owns the lines of the configured projectors and gives each a
// PJLink face on the network.
#include "core/kernel_scheduler.h"
#include "core/stop_signals.h"
#include "service/config.h"
#include "service/line_owner.h"
#include "service/login_limiter.h"
#include "service/pjlink_server.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLoggingCategory>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

const QString kDefaultConfig = QStringLiteral("/etc/odra/odrad.conf");

int fail(const QString &text)
{
    std::fputs(qUtf8Printable(text), stderr);
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    // The journal stamps time and program; the message says the rest.
    qSetMessagePattern(QStringLiteral("%{message}"));
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("odrad"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ODRA_VERSION));
    // The line's owner says once what became of a line; the panel's session would warn on
    // every retry.
    QLoggingCategory::setFilterRules(QStringLiteral("odra.session.warning=false"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Owns the serial lines of the ODRA MP-Q85/Q75 projectors it is configured "
                       "for\nand gives each a PJLink face on the network (TCP, port 4352 by "
                       "default).\nSIGTERM ends it in order: queued commands dropped, ports "
                       "closed."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption configOption(
        QStringLiteral("config"),
        QStringLiteral("the configuration file (default %1)").arg(kDefaultConfig),
        QStringLiteral("FILE"), kDefaultConfig);
    const QCommandLineOption checkOption(
        QStringLiteral("check-config"),
        QStringLiteral("report every error in FILE with its line, exit 1 if there is one"),
        QStringLiteral("FILE"));
    parser.addOptions({configOption, checkOption});
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("odrad: unexpected argument %1\nTry 'odrad --help'.\n")
                        .arg(parser.positionalArguments().first()));

    if (parser.isSet(checkOption)) {
        const QString file = parser.value(checkOption);
        const ServiceConfig config = readConfig(file);
        if (!config.isValid())
            return fail(config.errorReport(file));
        std::printf("%s: %d projector(s), no errors\n", qUtf8Printable(file),
                    int(config.projectors.size()));
        return 0;
    }

    const QString file = parser.value(configOption);
    const ServiceConfig config = readConfig(file);
    if (!config.isValid())
        return fail(config.errorReport(file));

    StopSignals stop;
    const auto scheduler = makeEventLoopScheduler();
    LoginLimiter limiter(*scheduler);
    std::vector<std::unique_ptr<LineOwner>> owners;
    std::vector<std::unique_ptr<PjlinkServer>> servers;
    for (const ProjectorConfig &projector : config.projectors) {
        owners.push_back(std::make_unique<LineOwner>(*scheduler, projector));
        servers.push_back(std::make_unique<PjlinkServer>(*scheduler, *owners.back(), limiter));
        if (!servers.back()->listen())
            return fail(servers.back()->error() + u'\n');
    }
    for (const auto &owner : owners)
        owner->start();

    QObject::connect(&stop, &StopSignals::received, &app, [&] {
        for (const auto &server : servers)
            server->close();
        for (const auto &owner : owners)
            owner->stop();
        QCoreApplication::quit();
    });
    return QCoreApplication::exec();
}
