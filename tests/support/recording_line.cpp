// SPDX-License-Identifier: MIT
#include "recording_line.h"

RecordingLine::RecordingLine(QObject *parent) : Line(parent)
{
    clock_.start();
    connect(&real_, &Line::readyRead, this, &Line::readyRead);
    connect(&real_, &Line::lost, this, &Line::lost);
}

bool RecordingLine::write(const QByteArray &bytes)
{
    if (!relay(real_, real_.write(bytes))) {
        ++writesRefused;
        return false;
    }
    taken += bytes;
    takenAtMs << clock_.elapsed();
    ++writesTaken;
    return true;
}
