// SPDX-License-Identifier: MIT
#include "line/adapters.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>

QHash<QString, QString> stableNames(const QString &dir)
{
    QHash<QString, QString> names;
    const QFileInfoList links =
        QDir(dir).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &link : links) {
        if (!link.isSymLink())
            continue;
        const QString target = link.canonicalFilePath();
        // Several links to one device: the first by name, so that the choice is stable too.
        if (!target.isEmpty() && !names.contains(target))
            names.insert(target, link.absoluteFilePath());
    }
    return names;
}

QList<Adapter> findAdapters()
{
    const QHash<QString, QString> stable = stableNames(QStringLiteral("/dev/serial/by-id"));
    QList<Adapter> adapters;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        Adapter a;
        a.device = info.systemLocation();
        a.description = info.description();
        a.manufacturer = info.manufacturer();
        a.serialNumber = info.serialNumber();
        const QString canonical = QFileInfo(a.device).canonicalFilePath();
        a.stableName = stable.value(canonical.isEmpty() ? a.device : canonical);
        adapters << a;
    }
    // ttyS2 before ttyS10, whatever order the system listed them in.
    QCollator numeric;
    numeric.setNumericMode(true);
    std::sort(adapters.begin(), adapters.end(), [&](const Adapter &x, const Adapter &y) {
        return numeric.compare(x.device, y.device) < 0;
    });
    return adapters;
}
