// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QList>
#include <QString>

// A serial adapter the system knows of, as the device dialog lists it.
struct Adapter
{
    QString device; // /dev/ttyUSB0
    QString description;
    QString manufacturer;
    QString serialNumber;
    // The name that stays the same whichever order adapters are plugged in
    // (/dev/serial/by-id/usb-...), or empty where the system gives none.
    QString stableName;

    // The name to open and remember: the stable one where there is one.
    QString preferredName() const { return stableName.isEmpty() ? device : stableName; }
    bool operator==(const Adapter &) const = default;
};

// The adapters on this machine, by device name.
QList<Adapter> findAdapters();

// The links in `dir` (the system's /dev/serial/by-id) by the device each points to.
QHash<QString, QString> stableNames(const QString &dir);
