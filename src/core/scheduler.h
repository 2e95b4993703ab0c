// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>

// The engine's timers. Every timer, the panel's, odra's and the service's, is a PeriodicTimer
// made by a Scheduler, so that every program runs the same on the event loop's clock and on a
// test's manual clock.
//
// Semantics shared by every implementation:
//  - a timer is periodic until disabled; its ticks are scheduled from the moment it was armed,
//    so the n-th tick falls at armed + n * interval (no drift);
//  - enabling a timer that is already running changes nothing, its count goes on;
//  - setting the interval of a running timer starts its count anew;
//  - disabling cancels; disabling then enabling starts the count anew;
//  - ticks due at the same instant fire in the order the timers were (re)armed.
class PeriodicTimer
{
public:
    virtual ~PeriodicTimer() = default;

    virtual void setInterval(int ms) = 0;
    virtual int interval() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;

    // Called on every tick, on the event loop's thread.
    void setHandler(std::function<void()> handler) { handler_ = std::move(handler); }

protected:
    void fire()
    {
        if (handler_)
            handler_();
    }

private:
    std::function<void()> handler_;
};

class Scheduler
{
public:
    virtual ~Scheduler() = default;

    // A new timer, disabled, with the given interval in milliseconds.
    virtual std::unique_ptr<PeriodicTimer> createTimer(int intervalMs) = 0;

    // Milliseconds on this scheduler's clock; only differences are meaningful.
    virtual qint64 nowMs() const = 0;
};

// Intervals below one millisecond would make a periodic timer spin; the panel never asks for
// one, but a timer never runs faster than this.
constexpr int kMinimumIntervalMs = 1;
