// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

// The projector behind the line: a small state model that answers one command at a time.
// Time comes in from outside (milliseconds on a monotonic clock), so that power changes take
// effect when they fall due whether or not anybody asks, and the model stays a plain object.
class Projector
{
public:
    // powerChangeMs: how long count-down and cooling down last.
    explicit Projector(qint64 powerChangeMs);

    // The answer to one command (its CR already taken off): the bytes for the line, ready to
    // send, including the closing CR where the projector sends one.
    QByteArray answer(const QByteArray &command, qint64 now);

    // Applies power changes that have fallen due by now; true when the power state changed.
    bool settle(qint64 now);
    // When the next power change falls due, or -1 when none is pending.
    qint64 nextChangeAt() const { return changeAt_; }
    QString powerText() const;

private:
    enum class Power { StandBy, CountDown, On, CoolingDown };

    QByteArray query(const QByteArray &command) const;
    bool control(const QByteArray &command, qint64 now);
    void startChange(Power to, qint64 now);
    void countLampTime(qint64 until);
    bool lampLit() const { return power_ == Power::CountDown || power_ == Power::On; }

    qint64 powerChangeMs_;
    Power power_ = Power::StandBy;
    qint64 changeAt_ = -1; // when the count-down or the cooling down ends
    qint64 countedTo_ = 0; // lamp time is counted up to this instant
    qint64 lampLitMs_ = 0; // lit time since start
    int input_ = 1;        // 1..4
    bool videoMute_ = false;
    bool audioMute_ = false;
};
