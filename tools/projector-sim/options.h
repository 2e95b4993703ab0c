// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// What the command line asks of the simulator.
struct Options
{
    QString device;              // an existing serial device; empty: a new pseudo-terminal
    int baud = 19200;            // only for --device
    int latencyMs = 0;           // delay before each reply
    bool split = false;          // replies one character at a time
    bool silent = false;         // never answer
    int noisePerSecond = 0;      // random bytes on the line
    int hangupAfter = 0;         // close the line after this many commands; 0: never
    double countdownSeconds = 3; // count-down and cooling-down time
    QStringList run;             // program and arguments to run on the line; empty: none
    int count = 1;               // projectors served, each on a pseudo-terminal of its own
};

enum class ParseOutcome { Run, Help, Version, Error };

// Parses the whole command line, the program's name first. Everything after the first --run is
// the program to run and its arguments, whatever they look like.
ParseOutcome parseOptions(const QStringList &arguments, Options *options, QString *error);

// The --help text.
QString usageText();
