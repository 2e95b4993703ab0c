// SPDX-License-Identifier: MIT
#include "service/mqtt_config.h"

#include <QSysInfo>

std::optional<MqttSettings> mqttSettings(const ServiceConfig &config, QList<ConfigError> *errors)
{
    QList<MqttSettingEntry> entries;
    bool present = false;
    int sectionLine = 0;
    for (const ConfigSetting &s : config.reserved) {
        if (s.section != QLatin1String("mqtt"))
            continue;
        if (!present)
            sectionLine = s.line;
        present = true;
        entries.append({s.key, s.value, s.line});
    }
    if (!present)
        return std::nullopt;
    QList<MqttSettingError> found;
    const MqttSettings settings = readMqttSettings(entries, QSysInfo::machineHostName(), &found);
    for (const MqttSettingError &e : found)
        errors->append({e.line > 0 ? e.line : sectionLine, e.message});
    return settings;
}
