// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// odra-control's command line, read before Qt opens a window, so that --help, --version and
// every mistake are answered without a display.
struct PanelCommandLine
{
    enum class Action { Run, Help, Version, Error };

    Action action = Action::Run;
    QString text;              // the help, or what is wrong
    QString devices[2];        // --com1, --com2; empty when not given
    QString logFile;           // --log
    QString platform;          // Qt's -platform, when given
    bool displayGiven = false; // Qt's -display
};

// The arguments as the program got them, Qt's own options (-platform, -style ...) among them.
PanelCommandLine parsePanelCommandLine(const QStringList &arguments);

// Why no window can be opened here, in one line, or empty when one may be: a desktop program
// started where there is no display (a remote shell, a service) gets a clear word instead of
// the platform's abort.
QString noDisplay(const PanelCommandLine &commandLine);
