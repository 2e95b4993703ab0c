// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

// The requests to stop that a program gets from outside: SIGTERM (a shutdown, a service
// manager), SIGINT (Ctrl+C in a terminal) and SIGHUP (a logout, a closed terminal). Left to their
// default action they end the process on the spot, so nothing closes its port: a serial lock
// file outlives us. While a StopSignals lives, each of them instead reaches the event loop as
// received(signal), where the program can end in order.
//
// A signal handler may do no more than write a byte; it writes one to a pipe that the event
// loop watches. Should the program not end within kBackstopSeconds of the first request (its
// event loop stuck), the default action of SIGALRM ends it all the same.
//
// One at a time per process. Use from a main():
//     StopSignals stop;
//     QObject::connect(&stop, &StopSignals::received, &session, &PanelSession::end);
class StopSignals final : public QObject
{
    Q_OBJECT
public:
    static constexpr unsigned kBackstopSeconds = 3;

    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override; // the default actions again

    // False when the signals could not be caught (the pipe or the handlers could not be set up,
    // or another StopSignals is alive); the default actions then stay in force.
    bool isActive() const { return active_; }

signals:
    void received(int signal);

private:
    void deliver();

    bool active_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
};
