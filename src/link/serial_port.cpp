#include "link/serial_port.h"

#include <QStringList>
#include <QtGlobal>

bool LineSettings::parse(const QString &text, LineSettings *out)
{
    const QStringList f = text.split(QLatin1Char(','));
    if (f.size() != 4)
        return false;
    bool ok1 = false, ok2 = false, ok3 = false;
    LineSettings s;
    s.baud = f[0].trimmed().toInt(&ok1);
    s.dataBits = f[2].trimmed().toInt(&ok2);
    s.stopBits = f[3].trimmed().toInt(&ok3);
    const QString p = f[1].trimmed().toUpper();
    if (!ok1 || !ok2 || !ok3 || p.size() != 1 || !QStringLiteral("NEOMS").contains(p))
        return false;
    s.parity = p.at(0).toLatin1();
    if (s.baud <= 0 || s.dataBits < 5 || s.dataBits > 8 || (s.stopBits != 1 && s.stopBits != 2))
        return false;
    *out = s;
    return true;
}

QString devicePathForPort(int port)
{
    const QByteArray fromEnv = qgetenv(QByteArray("ODRA_COM") + QByteArray::number(port));
    if (!fromEnv.isEmpty())
        return QString::fromLocal8Bit(fromEnv);
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
}
