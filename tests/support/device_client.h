// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

// The panel's side of a serial device, for tests of whatever plays the projector: the device
// opened raw and non-blocking, with plain reads and writes bounded by time.
class DeviceClient
{
public:
    DeviceClient() = default;
    ~DeviceClient();
    DeviceClient(const DeviceClient &) = delete;
    DeviceClient &operator=(const DeviceClient &) = delete;

    // Opens the device raw and drops whatever waited in its input queue.
    bool open(const QString &path);
    void close();
    int fd() const { return fd_; }

    bool send(const QByteArray &bytes);

    // Reads until n bytes came or timeoutMs passed, or the line ended; counts in *chunks the
    // reads that brought bytes.
    QByteArray read(qsizetype n, int timeoutMs, int *chunks = nullptr);
    // Everything that arrives within ms.
    QByteArray readFor(int ms) { return read(1 << 20, ms); }
    // Sends a command and reads its answer: the expected size, then 50 ms more for anything
    // that should not be there.
    QByteArray ask(const QByteArray &command, qsizetype expectedSize);

private:
    int fd_ = -1;
};
