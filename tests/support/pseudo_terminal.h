// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <termios.h>

// A raw pseudo-terminal pair, both ends closed on exec (a program the test starts must not hold
// the line open by inheritance), the far end not blocking. isOpen() false when none could be had.
struct PseudoTerminalPair
{
    int farEnd = -1;
    int device = -1;
    QString path;
    bool isOpen() const { return farEnd >= 0; }
};
PseudoTerminalPair openPseudoTerminal(speed_t speed = B0);

// A pseudo-terminal pair for integration tests: the panel opens the device path with the real
// QSerialPort; the test plays the projector on the other end.
class PseudoTerminal
{
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool isValid() const { return master_ >= 0; }
    QString devicePath() const { return path_; }
    // The far end's own descriptor, for a reader of its own (-1 once closed).
    int farEndFd() const { return master_; }

    // The far end: write bytes, read what arrived within a time limit, close (a hang-up).
    // The reads keep the caller's event loop turning, so that a panel in the same process works.
    bool write(const QByteArray &bytes);
    // One write of as much as the line takes now: the count taken, 0 when it is full, -1 when it
    // is gone. Safe from another thread while this one reads.
    qsizetype writeSome(const char *bytes, qsizetype size);
    QByteArray readFor(int ms);
    // Reads until at least n bytes arrived or timeoutMs passed.
    QByteArray readAtLeast(int n, int timeoutMs);
    void closeFarEnd();

    // The line settings the device currently has (read from its own side).
    bool deviceAttributes(termios *out) const;

private:
    int master_ = -1;
    int slave_ = -1; // kept open so that the device does not hang up between openers
    QString path_;
};
