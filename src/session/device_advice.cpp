// SPDX-License-Identifier: MIT
#include "session/device_advice.h"

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

// A text of the table with the port's number in its place, where it has one.
QString withPort(const char *text, int port)
{
    const QString s = QString::fromUtf8(text);
    return s.contains(QLatin1String("%1")) ? s.arg(port) : s;
}

} // namespace

QString howToChoose(const DeviceMap &devices, int port)
{
    // Only the panel's map has a dialog to point to; a device nobody named then has no better
    // advice than the environment.
    const Source from = devices.source(port);
    return withPort(!devices.remembers() && from == Source::Default ? kAdviceWithoutChoice
                                                                    : textsOf(from).advice,
                    port);
}

QString deviceOrigin(const DeviceMap &devices, int port)
{
    return withPort(textsOf(devices.source(port)).origin, port);
}
