// SPDX-License-Identifier: MIT
#pragma once

#include "service/config.h"
#include "service/mqtt_settings.h"

#include <optional>

// The [mqtt] section of odrad's configuration: nothing when the file has none; every fault in
// it added to errors with its line, as --check-config reports them.
std::optional<MqttSettings> mqttSettings(const ServiceConfig &config, QList<ConfigError> *errors);
