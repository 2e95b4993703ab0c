// SPDX-License-Identifier: MIT
#include "line/line_settings.h"

QString LineSettings::toString() const
{
    static constexpr char kParity[] = {'N', 'E', 'O', 'M', 'S'};
    return QStringLiteral("%1,%2,%3,%4")
        .arg(baud)
        .arg(QLatin1Char(kParity[int(parity)]))
        .arg(dataBits)
        .arg(stopBits == StopBits::Two ? 2 : 1);
}
