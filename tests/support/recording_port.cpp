#include "recording_port.h"

RecordingPort::RecordingPort(QObject *parent) : SerialPort(parent)
{
    clock_.start();
    connect(&real_, &SerialPort::onComm, this, &SerialPort::onComm);
    connect(&real_, &SerialPort::portLost, this, &SerialPort::portLost);
}

bool RecordingPort::output(const QByteArray &bytes)
{
    if (!relay(real_.output(bytes))) {
        ++writesRefused;
        return false;
    }
    taken += bytes;
    takenAtMs << clock_.elapsed();
    ++writesTaken;
    return true;
}

bool RecordingPort::relay(bool ok)
{
    if (!ok)
        return fail(real_.failureText());
    clearFailure();
    return true;
}
