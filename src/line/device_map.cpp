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

DeviceMap::Remembered DeviceMap::choose(int port, const QString &device)
{
    chosen_.insert(port, device);
    if (!memory_)
        return Remembered::NoMemory;
    memory_->setValue(settingsKey(port), device);
    memory_->sync();
    return memory_->status() == QSettings::NoError ? Remembered::Yes : Remembered::NotWritten;
}

QString DeviceMap::memoryFile() const
{
    return memory_ ? memory_->fileName() : QString();
}

QString DeviceMap::memoryProblem() const
{
    if (!memory_)
        return QString();
    // The settings say only that they could not be written; the file itself says why. Opened to
    // append, it is not changed.
    QFile file(memory_->fileName());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return file.errorString();
    // The file could be written in place, but it is replaced whole, which its folder forbids.
    return QStringLiteral("its folder cannot be written");
}

bool DeviceMap::rememberedIsUnusable(int port) const
{
    if (!memory_ || !memory_->contains(settingsKey(port)))
        return false;
    return memory_->value(settingsKey(port)).typeId() != QMetaType::QString;
}

QString DeviceMap::remembered(int port) const
{
    if (!memory_)
        return QString();
    const QVariant value = memory_->value(settingsKey(port));
    // A list or a value of another kind names no device, even where it could be read as text.
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
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

bool DeviceMap::namesByDevice(int port) const
{
    const Naming naming = naming_.value_or(memory_ ? Naming::ByNumber : Naming::GivenByDevice);
    return naming == Naming::GivenByDevice && source(port) == Source::Given;
}

DeviceMap::Source DeviceMap::source(int port) const
{
    return resolve(port).first;
}

QString DeviceMap::device(int port) const
{
    return resolve(port).second;
}
