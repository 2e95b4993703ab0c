// SPDX-License-Identifier: MIT
#pragma once

#include "far_end.h"
#include "report.h"

#include <QList>
#include <QString>

struct LivePanel;

namespace bench {

// The panel under measurement: the real window on real timers, its COM1 a pseudo-terminal whose
// far end is read on a thread of its own.
struct Bench
{
    LivePanel &panel;
    FarEnd &far;
    Report &report;
    int floodSeconds = 10;
    int rhythmScale = 1; // more repeats of every hold, for a closer look
    QList<int> periods;  // only these repeat periods; all when empty

    QWidget *control(const char *name) const;
};

void measureRhythm(Bench &b);
void measureLatency(Bench &b);
void measureFlood(Bench &b);
// The same latency and rhythm through ser2net over loopback, beside the direct line.
void measureNetwork(Bench &b);

// |spacing - period| in ms of a hold's sends of code at the far end: the press's own send and
// the next repeats sends.
std::vector<double> spacingErrors(const std::vector<FarEnd::Command> &all, const QByteArray &code,
                                  int period, int repeats);

// Idle and typing with a long text in the command box.
void measureLongBox(Bench &b);

// Lets the calling thread's event loop run for ms milliseconds (precise timer).
void runEventLoop(int ms);

// A figure held to "median <= m, p99 <= p".
bool within(const Summary &s, double median, double p99);

} // namespace bench
