// SPDX-License-Identifier: MIT
#pragma once

#include "service/projector_state.h"
#include "session/request_queue.h"

#include <QObject>
#include <QString>

#include <memory>

class Scheduler;
struct ProjectorConfig;

// The one owner of one configured projector's line in the service: it opens the device once and
// keeps it open, retries a device that is missing or lost (1 s doubling to 60 s), polls the
// projector's state when the line is idle, keeps what the answers say in a ProjectorState, and is
// the only way to the projector: every face submits its requests here, one in flight at a time.
class LineOwner final : public QObject
{
    Q_OBJECT
public:
    LineOwner(Scheduler &scheduler, const ProjectorConfig &config, QObject *parent = nullptr);
    ~LineOwner() override;

    void start();
    // SIGTERM: what waits is dropped, the request in flight ends, the port closes.
    void stop();

    QString id() const;   // the configuration's section name
    QString name() const; // the name it goes by (PJLink NAME); the id when none is set
    const ProjectorState &state() const;
    bool lineUp() const;

    // A request through the line's queue; done follows once it ends (never from inside submit).
    // A request made while the line is down fails at once. Answers to state queries update
    // state() whoever asked.
    quint64 submit(const ProjectorRequest &request, RequestQueue::Done done = {});

signals:
    // Something in state() changed (availability, a reading's value; not a mere refresh).
    void stateChanged();
    void lineUpChanged(bool up);
};
