#include "line/device_map.h"

#include <QtGlobal>

QString DeviceMap::device(int port) const
{
    if (const auto it = given_.constFind(port); it != given_.constEnd() && !it->isEmpty())
        return *it;
    const QByteArray fromEnv = qgetenv(QByteArray("ODRA_COM") + QByteArray::number(port));
    if (!fromEnv.isEmpty())
        return QString::fromLocal8Bit(fromEnv);
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
}

QString DeviceMap::howToChoose(int port) const
{
    // A device given on the command line wins over the environment: naming the variable then
    // would send the operator to a setting that changes nothing.
    if (const auto it = given_.constFind(port); it != given_.constEnd() && !it->isEmpty())
        return QStringLiteral("give the right device on the command line");
    return QStringLiteral("set ODRA_COM%1 to the right device").arg(port);
}
