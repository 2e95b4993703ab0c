// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QThread>

namespace bench {

// A thread with an event loop of its own, for the floors that run beside the panel at the same
// time: what a bare Qt program achieves on this machine, under the same load, in the same run.
class FloorThread
{
public:
    FloorThread()
    {
        context_.moveToThread(&thread_);
        thread_.start();
    }
    ~FloorThread()
    {
        thread_.quit();
        thread_.wait();
    }
    FloorThread(const FloorThread &) = delete;
    FloorThread &operator=(const FloorThread &) = delete;

    // Runs fn on the floor thread, in its event loop.
    template <typename F> void post(F fn)
    {
        QMetaObject::invokeMethod(&context_, std::move(fn), Qt::QueuedConnection);
    }
    // The parent for the floor's own objects.
    QObject *context() { return &context_; }

private:
    QThread thread_;
    QObject context_;
};

} // namespace bench
