#pragma once

#include <QString>

#include <QMap>

// Which device each of the panel's two ports is: the device given for it (on the command
// line), else $ODRA_COM1 / $ODRA_COM2 when set and not empty, else the platform's first and
// second serial port. Read when a port is opened, so that a port chosen again follows a changed
// environment.
class DeviceMap
{
public:
    void setGiven(int port, const QString &device) { given_.insert(port, device); }
    QString device(int port) const;
    // Where the operator says which device a port is, for a warning that it cannot be opened.
    QString howToChoose(int port) const;

private:
    QMap<int, QString> given_;
};
