// SPDX-License-Identifier: MIT
#pragma once

#include "live_panel.h"
#include "ser2net_process.h"

#include "line/device_line.h"

#include <QtTest>

// The window on the line the program itself uses (DeviceLine: serial paths and device servers
// alike), with every byte that arrived on record, for the tests through ser2net.
struct NetworkPanel : BasicLivePanel<DeviceLine>
{
    QByteArray arrived;

    explicit NetworkPanel(const QString &com1) : BasicLivePanel(com1)
    {
        QObject::connect(session.get(), &PanelSession::arrived,
                         [this](const QByteArray &bytes) { arrived += bytes; });
    }
};
