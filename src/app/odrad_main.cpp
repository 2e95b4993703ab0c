// SPDX-License-Identifier: MIT
// odrad: the resident service. It owns the lines of the configured projectors and gives each a
// PJLink face on the network, and an MQTT face on a broker when the configuration has one.
#include "core/kernel_scheduler.h"
#include "core/stop_signals.h"
#include "service/config.h"
#include "service/line_owner.h"
#include "service/login_limiter.h"
#include "service/mqtt_config.h"
#include "service/mqtt_face.h"
#include "service/pjlink_server.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLoggingCategory>

#include <cstdio>
#include <memory>
#include <optional>
#include <sys/resource.h>
#include <vector>

namespace {

const QString kDefaultConfig = QStringLiteral("/etc/odra/odrad.conf");

int fail(const QString &text)
{
    std::fputs(qUtf8Printable(text), stderr);
    return 1;
}

// The configuration and its [mqtt] section, read; the section's faults join the file's.
struct Configuration
{
    ServiceConfig service;
    std::optional<MqttSettings> mqtt;
};
Configuration read(const QString &file)
{
    Configuration c{readConfig(file), std::nullopt};
    c.mqtt = mqttSettings(c.service, &c.service.errors);
    return c;
}

// A line, a listening port and its clients for each projector: hundreds of projectors need
// more descriptors than the usual soft limit of 1024, and the hard limit is ours to take.
void raiseDescriptorLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
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
                       "default),\nand an MQTT face on a broker when the configuration has an "
                       "[mqtt] section.\nSIGTERM ends it in order: queued commands dropped, ports "
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
        const Configuration config = read(file);
        if (!config.service.isValid())
            return fail(config.service.errorReport(file));
        std::printf("%s: %d projector(s), %s, no errors\n", qUtf8Printable(file),
                    int(config.service.projectors.size()), config.mqtt ? "MQTT" : "no MQTT");
        return 0;
    }

    const QString file = parser.value(configOption);
    const Configuration configuration = read(file);
    const ServiceConfig &config = configuration.service;
    if (!config.isValid())
        return fail(config.errorReport(file));
    raiseDescriptorLimit();

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
    std::unique_ptr<MqttFace> mqtt;
    if (configuration.mqtt) {
        QList<LineOwner *> projectors;
        for (const auto &owner : owners)
            projectors << owner.get();
        mqtt = std::make_unique<MqttFace>(*scheduler, *configuration.mqtt, projectors);
        mqtt->start();
    }

    QObject::connect(&stop, &StopSignals::received, &app, [&] {
        // The broker hears that the projectors and this bridge go, before the lines close.
        if (mqtt)
            mqtt->stop();
        for (const auto &server : servers)
            server->close();
        for (const auto &owner : owners)
            owner->stop();
        QCoreApplication::quit();
    });
    return QCoreApplication::exec();
}
