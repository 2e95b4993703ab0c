// SPDX-License-Identifier: MIT
#pragma once

#include "line/device_map.h"

#include <QString>

// What the operator is told about a port's device, by where it comes from: the line layer knows
// the sources, the session words them.

// Where the operator says which device a port is, for a warning that it cannot be opened
// ("choose the right device with ...", "set ODRA_COM1 to the right device").
QString howToChoose(const DeviceMap &devices, int port);
// Where the port's device comes from, in a few words ("from ODRA_COM1").
QString deviceOrigin(const DeviceMap &devices, int port);
