// SPDX-License-Identifier: MIT
#pragma once

#include "service/config.h"
#include "service/projector_state.h"
#include "session/request_queue.h"

#include <QObject>
#include <QString>

#include <memory>

class DeviceMap;
class Line;
class PanelSession;
class PeriodicTimer;
class Scheduler;

// The one owner of one configured projector's line in the service: it opens the device once and
// keeps it open, retries a device that is missing or lost (1 s doubling to 60 s), polls the
// projector's state when the line is idle, keeps what the answers say in a ProjectorState, and is
// the only way to the projector: every face submits its requests here, one in flight at a time.
class LineOwner final : public QObject
{
    Q_OBJECT
public:
    enum class LineState : quint8 { Down, Connecting, Up, Stopped };

    static constexpr int kFirstRetryMs = 1000;
    static constexpr int kLastRetryMs = 60000;

    LineOwner(Scheduler &scheduler, const ProjectorConfig &config, QObject *parent = nullptr);
    // The same on a line of the caller's choosing (the tests' fake line).
    LineOwner(Scheduler &scheduler, const ProjectorConfig &config, std::unique_ptr<Line> line,
              QObject *parent = nullptr);
    ~LineOwner() override;

    void start();
    // SIGTERM: what waits is dropped, the request in flight ends, the port closes.
    void stop();

    QString id() const;   // the configuration's section name
    QString name() const; // the name it goes by (PJLink NAME); the id when none is set
    const ProjectorState &state() const;
    bool lineUp() const;
    LineState lineState() const { return lineState_; }
    const ProjectorConfig &config() const { return config_; }
    // How long the next retry waits, while the line is down.
    int retryMs() const { return retryMs_; }

    // A request through the line's queue; done follows once it ends (never from inside submit).
    // A request made while the line is down fails at once. Answers to state queries update
    // state() whoever asked.
    quint64 submit(const ProjectorRequest &request, RequestQueue::Done done = {});

signals:
    // Something in state() changed (availability, a reading's value; not a mere refresh).
    void stateChanged();
    void lineUpChanged(bool up);

private:
    void open();
    void opened();
    void openFailed(const QString &why);
    void lost(const QString &cause);
    void setLineState(LineState state, const QString &why = QString());
    void pollDue();
    void pollLampDue();
    void pollIfIdle();
    void absorb(const ProjectorRequest &request, const RequestResult &result);
    void setAvailable(bool available);

    Scheduler &scheduler_;
    const ProjectorConfig config_;
    std::unique_ptr<Line> line_;
    std::unique_ptr<DeviceMap> devices_;
    std::unique_ptr<PanelSession> session_;
    std::unique_ptr<RequestQueue> queue_;
    std::unique_ptr<PeriodicTimer> retry_, statusPoll_, lampPoll_;

    ProjectorState state_;
    LineState lineState_ = LineState::Down;
    QString lastFailure_; // logged once until it changes
    int retryMs_ = kFirstRetryMs;
    bool statusDue_ = false, lampDue_ = false;
    int pollsInFlight_ = 0;
};
