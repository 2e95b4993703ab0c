// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QtGlobal>

// The offscreen platform warns at every change of a window's fixed size that it cannot pass the
// size on; nothing is wrong, and the noise would hide real warnings. Installed once, it drops
// that one message and forwards everything else to the handler before it (Qt Test's own).
inline void quietOffscreenPlatform()
{
    static QtMessageHandler previous = nullptr;
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &context, const QString &message) {
            if (message.contains(QLatin1String("propagateSizeHints")))
                return;
            if (previous)
                previous(type, context, message);
        });
}
