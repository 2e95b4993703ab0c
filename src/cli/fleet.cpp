// SPDX-License-Identifier: MIT
#include "cli/fleet.h"

#include "cli/output.h"
#include "line/line.h"
#include "session/traffic_log.h"

#include <algorithm>

Fleet::Fleet(Scheduler &scheduler, const QStringList &ports, const Request &request, bool json,
             LineMaker makeLine, Printer print, TrafficLog *log, QObject *parent)
    : QObject(parent), request_(request), json_(json), prefix_(ports.size() > 1),
      print_(std::move(print))
{
    for (const QString &port : ports) {
        runs_.push_back(std::make_unique<PortRun>(scheduler, makeLine(), port, request));
        PortRun *run = runs_.back().get();
        if (log)
            log->follow(run->session(), port);
        connect(run, &PortRun::done, this, &Fleet::printReady);
    }
}

Fleet::~Fleet() = default;

void Fleet::start()
{
    startNext();
}

void Fleet::startNext()
{
    // One port a turn of the event loop: opening a port takes its lock file, which may cost
    // milliseconds, and the ports started first must have their replies read and their windows
    // kept meanwhile.
    if (started_ == runs_.size())
        return;
    runs_[started_++]->start();
    QMetaObject::invokeMethod(this, &Fleet::startNext, Qt::QueuedConnection);
}

void Fleet::stop(int status)
{
    // Cut short only when some port had not yet had its answer (or its window's end).
    const bool waiting = std::any_of(runs_.begin(), runs_.end(), [](const auto &run) {
        return run->result().outcome == PortRun::Outcome::Pending;
    });
    if (waiting)
        interrupted_ = std::max(interrupted_, status);
    started_ = runs_.size(); // the ports not yet opened stay closed
    for (const auto &run : runs_)
        run->stop();
}

int Fleet::exitStatus() const
{
    int status = interrupted_;
    for (const auto &run : runs_)
        status = std::max(status, run->result().exitStatus());
    return status;
}

void Fleet::printReady()
{
    const std::size_t before = printed_;
    while (printed_ < runs_.size() && runs_[printed_]->isDone()) {
        const PortRun::Result &r = runs_[printed_]->result();
        print_(json_ ? jsonLine(r, request_) : plainLine(r, prefix_));
        ++printed_;
    }
    if (printed_ == runs_.size() && before < printed_)
        emit finished(exitStatus());
}
