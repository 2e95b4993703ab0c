#pragma once

#include "report.h"

#include <QList>
#include <QString>

struct LivePanel;

namespace bench {

class FarEnd;

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
void measureLongBox(Bench &b);

// Lets the calling thread's event loop run for ms milliseconds (precise timer).
void runEventLoop(int ms);

// A figure held to "median <= m, p99 <= p".
bool within(const Summary &s, double median, double p99);

} // namespace bench
