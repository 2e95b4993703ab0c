// SPDX-License-Identifier: MIT
#include "line/device_map.h"

#include "line/device_address.h"

#include <QFile>
#include <QSettings>
#include <QtGlobal>

#include <iterator>

namespace {

// What a warning advises and how the device dialog says where a port's device came from, by
// source. %1 is the port's number.
struct SourceText
{
    DeviceMap::Source source;
    const char *advice; // after "Check the cable or adapter, or ..."
    const char *origin;
};

using Source = DeviceMap::Source;

constexpr SourceText kTexts[] = {
    {Source::Chosen, "choose the right device with \"Choose device…\"", "chosen in this run"},
    // A device given on the command line wins over the environment: naming the variable then
    // would send the operator to a setting that changes nothing.
    {Source::Given, "give the right device on the command line", "given on the command line"},
    {Source::Environment, "set ODRA_COM%1 to the right device", "from ODRA_COM%1"},
    {Source::Remembered, "choose the right device with \"Choose device…\"",
     "remembered from the last choice"},
    {Source::Default, "choose the right device with \"Choose device…\"", "the default"},
};

// Without a memory there is no dialog to point to either (odra, the tools): the environment is
// what chooses the device there.
constexpr const char *kAdviceWithoutChoice = "set ODRA_COM%1 to the right device";

const SourceText &textsOf(Source source)
{
    for (const SourceText &t : kTexts)
        if (t.source == source)
            return t;
    return kTexts[std::size(kTexts) - 1];
}

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

// A text of the table with the port's number in its place, where it has one.
QString withPort(const char *text, int port)
{
    const QString s = QString::fromUtf8(text);
    return s.contains(QLatin1String("%1")) ? s.arg(port) : s;
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

QString DeviceMap::howToChoose(int port) const
{
    // Only the panel's map has a dialog to point to; a device nobody named then has no better
    // advice than the environment.
    const Source from = source(port);
    return withPort(
        !memory_ && from == Source::Default ? kAdviceWithoutChoice : textsOf(from).advice, port);
}

QString DeviceMap::origin(int port) const
{
    return withPort(textsOf(source(port)).origin, port);
}
