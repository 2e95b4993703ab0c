// SPDX-License-Identifier: MIT
#include "line/device_map.h"

#include "line/device_address.h"

#include <QFile>
#include <QSettings>
#include <QtGlobal>


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
    const QString node = deviceNode(bytes);
    return node.isEmpty() ? text : node;
}

QString fromEnvironment(int port)
{
    return pathFromBytes(qgetenv(QByteArray("ODRA_COM") + QByteArray::number(port)));
}

QString platformDefault(int port)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
}

} // namespace

QString DeviceMap::settingsKey(int port)
{
    return QStringLiteral("devices/com%1").arg(port);
}

void DeviceMap::choose(int port, const QString &device)
{
    chosen_.insert(port, device);
    if (!memory_)
        return;
    memory_->setValue(settingsKey(port), device);
    memory_->sync();
}

QString DeviceMap::remembered(int port) const
{
    return memory_ ? memory_->value(settingsKey(port)).toString() : QString();
}

std::pair<DeviceMap::Source, QString> DeviceMap::resolve(int port) const
{
    if (QString d = chosen_.value(port); !d.isEmpty())
        return {Source::Chosen, d};
    if (QString d = given_.value(port); !d.isEmpty())
        return {Source::Given, d};
    if (QString d = fromEnvironment(port); !d.isEmpty())
        return {Source::Environment, d};
    if (QString d = remembered(port); !d.isEmpty())
        return {Source::Remembered, d};
    return {Source::Default, platformDefault(port)};
}

DeviceMap::Source DeviceMap::source(int port) const
{
    return resolve(port).first;
}

QString DeviceMap::device(int port) const
{
    return resolve(port).second;
}
