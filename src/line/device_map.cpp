#include "line/device_map.h"

#include <QFile>
#include <QtGlobal>

#include <cstdlib>

namespace {

// A device path from the environment, which holds bytes, not text. Bytes that are not text in
// this system's encoding would not survive the way into a QString: for them the device node the
// path leads to is taken instead (/dev/ttyUSB0 for a link of any name). Where that fails too, the
// text is what it is, and opening it says why it cannot be.
QString pathFromBytes(const QByteArray &bytes)
{
    const QString text = QFile::decodeName(bytes);
    if (QFile::encodeName(text) == bytes)
        return text;
    if (char *resolved = ::realpath(bytes.constData(), nullptr)) {
        const QByteArray node(resolved);
        std::free(resolved);
        const QString nodeText = QFile::decodeName(node);
        if (QFile::encodeName(nodeText) == node)
            return nodeText;
    }
    return text;
}

} // namespace

QString DeviceMap::device(int port) const
{
    if (const auto it = given_.constFind(port); it != given_.constEnd() && !it->isEmpty())
        return *it;
    const QByteArray fromEnv = qgetenv(QByteArray("ODRA_COM") + QByteArray::number(port));
    if (!fromEnv.isEmpty())
        return pathFromBytes(fromEnv);
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
