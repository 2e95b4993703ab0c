// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QHostAddress>
#include <QString>

#include <deque>

class Scheduler;

// Failed logins by address: more than kFailures within kWindowMs from one address, and that
// address is refused for kWindowMs. Shared by every projector's server, so that guessing at
// sixty projectors is no faster than at one.
class LoginLimiter
{
public:
    static constexpr int kFailures = 5;
    static constexpr qint64 kWindowMs = 60000;

    explicit LoginLimiter(const Scheduler &clock) : clock_(clock) {}

    // A wrong password from address; true when this failure makes it refused.
    bool failed(const QHostAddress &address);
    bool refused(const QHostAddress &address) const;

private:
    struct Record
    {
        std::deque<qint64> failures; // within the window
        qint64 refusedUntilMs = -1;
    };
    void forgetOld(qint64 now);

    const Scheduler &clock_;
    QHash<QString, Record> records_;
};
