// SPDX-License-Identifier: MIT
#pragma once

#include <thread>

// Reading the system's font configuration takes a few milliseconds (every file under
// /etc/fonts, then the font caches), and the window's first line of text waits for it. While
// this stands, a helper thread reads it as the application connects to the display, so that
// start-up does not wait for the two in turn. Without fontconfig it does nothing.
class FontWarmUp
{
public:
    FontWarmUp();
    ~FontWarmUp();
    void finish(); // waits for the helper, if it is still reading

    FontWarmUp(const FontWarmUp &) = delete;
    FontWarmUp &operator=(const FontWarmUp &) = delete;

private:
    std::thread reader_;
};
