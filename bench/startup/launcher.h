// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

#include <sys/types.h>

struct xcb_connection_t;

namespace bench {

// Starts a program on the X server of DISPLAY and notes, on the same monotonic clock, when it
// was started, when its first window was mapped (a MapNotify on the root window: no polling)
// and when it opened a given device (an inotify open event: no polling).
class Launcher
{
public:
    Launcher();
    ~Launcher();
    Launcher(const Launcher &) = delete;
    Launcher &operator=(const Launcher &) = delete;

    bool isValid() const { return xcb_ && inotify_ >= 0; }

    struct Run
    {
        pid_t pid = -1;
        qint64 startNs = 0;
        qint64 mappedNs = -1;
        qint64 openedNs = -1; // the last open of the device seen before the window was mapped
        long peakRssKb = -1;
    };

    // Starts program with extra environment entries ("NAME=value") and waits until its window
    // is mapped and, when device is given, the device was opened; or until timeoutMs.
    Run start(const QString &program, const QStringList &args, const QStringList &env,
              const QString &device, int timeoutMs);
    // Ends the program and collects its peak resident set.
    void stop(Run &run);

private:
    xcb_connection_t *xcb_ = nullptr;
    int inotify_ = -1;
};

} // namespace bench
