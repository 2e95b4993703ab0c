// SPDX-License-Identifier: MIT
#include "platform_guard.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace {

struct Held
{
    QtMsgType type;
    QByteArray category;
    QString text;
};

// What Qt said while the guard stood. A message handler is a plain function, so this lives
// beside it; only the thread that creates the application writes to it.
QList<Held> &held()
{
    static QList<Held> messages;
    return messages;
}

void holdBack(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type != QtFatalMsg) {
        held().append({type, QByteArray(context.category), text});
        return;
    }
    // The platform's own reason is the first thing it said ("could not connect to display
    // :5"); its closing advice is about reinstalling, which would mislead.
    QString reason = text.section(QLatin1Char('\n'), 0, 0);
    for (const Held &h : held()) {
        if (h.category.startsWith("qt.qpa") && h.type != QtDebugMsg) {
            reason = h.text;
            break;
        }
    }
    std::fprintf(stderr,
                 "odra-control: cannot open the window: %s. Start it in a desktop session, or "
                 "with QT_QPA_PLATFORM=offscreen to try it without a screen.\n",
                 qUtf8Printable(reason.trimmed()));
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace

PlatformGuard::PlatformGuard() : previous_(qInstallMessageHandler(holdBack))
{
}

PlatformGuard::~PlatformGuard()
{
    release();
}

void PlatformGuard::release()
{
    if (released_)
        return;
    released_ = true;
    qInstallMessageHandler(previous_);
    for (const Held &h : held()) {
        const QMessageLogContext context(nullptr, 0, nullptr, h.category.constData());
        qt_message_output(h.type, context, h.text);
    }
    held().clear();
}
