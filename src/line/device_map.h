// SPDX-License-Identifier: MIT
#pragma once

#include <QMap>
#include <QString>
#include <QtGlobal>

#include <optional>
#include <utility>

class QSettings;

// Which device each of the panel's two ports is. Strongest first: a device the operator chose
// while the panel runs, the device given on the command line, $ODRA_COM1 / $ODRA_COM2 when set
// and not empty, the device the operator chose last time (when the map remembers), else the
// platform's first and second serial port. Read each time a port is opened, so that a port
// chosen again follows a changed environment or a new choice.
class DeviceMap
{
public:
    enum class Source : quint8 { Chosen, Given, Environment, Remembered, Default };

    void setGiven(int port, const QString &device) { given_.insert(port, device); }
    // How warnings name a port. The panel's operator picks COM1 or COM2: "COM1 (/dev/ttyS0)".
    // A port given as a device in place of a number (odra --port COM3, --port /dev/ttyUSB0) is
    // named by that device alone; that is what a map without a memory (odra, the tools) does
    // unless told otherwise.
    enum class Naming : quint8 { ByNumber, GivenByDevice };
    void setNaming(Naming naming) { naming_ = naming; }
    bool namesByDevice(int port) const;
    // Where the operator's choices are kept between runs (the panel's settings). A map without
    // it remembers nothing and reads nothing remembered: odra and the tools use such a map, so
    // that a script does the same whatever the panel chose last.
    void rememberIn(QSettings *settings) { memory_ = settings; }
    bool remembers() const { return memory_ != nullptr; }
    // The operator chose a device for a port: it holds from now on, over everything else, and is
    // remembered for the next start. Remembered says whether it is; when the settings cannot be
    // written it holds for this run only, and memoryProblem() says why.
    enum class Remembered : quint8 { Yes, NoMemory, NotWritten };
    Remembered choose(int port, const QString &device);
    // Why the settings cannot be written, in a few words ("Permission denied"), and where they are.
    QString memoryProblem() const;
    QString memoryFile() const;
    // Whether the settings hold something for the port that is not one device name (a list, a
    // value of another kind): the port's device then comes from the next source, as if nothing
    // were remembered.
    bool rememberedIsUnusable(int port) const;

    QString device(int port) const;
    Source source(int port) const;

    // The key a port's remembered device is kept under.
    static QString settingsKey(int port);

private:
    QString remembered(int port) const;
    // Where the port's device comes from, and the device: the first source that names one.
    std::pair<Source, QString> resolve(int port) const;

    QMap<int, QString> chosen_;
    QMap<int, QString> given_;
    QSettings *memory_ = nullptr;
    std::optional<Naming> naming_;
};
