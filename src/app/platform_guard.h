// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

// While it stands, a window system that cannot be reached ends the program with one line on
// standard error and exit status 1, instead of the platform's abort and its page of advice.
// What Qt says meanwhile is held back and passed on once the window system is up.
class PlatformGuard
{
public:
    PlatformGuard();
    ~PlatformGuard();
    void release(); // the window system is up

    PlatformGuard(const PlatformGuard &) = delete;
    PlatformGuard &operator=(const PlatformGuard &) = delete;

private:
    QtMessageHandler previous_ = nullptr;
    bool released_ = false;
};
