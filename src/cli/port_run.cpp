// SPDX-License-Identifier: MIT
#include "cli/port_run.h"

#include "cli/options.h"
#include "core/scheduler.h"
#include "line/line.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcCli, "odra.cli")

int PortRun::Result::exitStatus() const
{
    switch (outcome) {
    case Outcome::Pending:
    case Outcome::Answered: return 0;
    case Outcome::NotOpened: return 2;
    case Outcome::NoReply:
    case Outcome::Stopped: return 3;
    }
    return 3;
}

PortRun::PortRun(Scheduler &scheduler, std::unique_ptr<Line> line, const QString &port,
                 const Request &request, QObject *parent)
    : QObject(parent), line_(std::move(line)), session_(scheduler, *line_, devices_),
      queue_(scheduler, session_), request_(request)
{
    result_.port = port;
    number_ = comPortNumber(port);
    if (!number_) {
        devices_.setGiven(1, port);
        number_ = 1;
    }
    result_.device = devices_.device(number_);
    connect(&session_, &PanelSession::warning, this, &PortRun::warned);
    connect(line_.get(), &Line::opened, this, [this] {
        if (state_ == State::Connecting)
            opened();
    });
}

PortRun::~PortRun() = default;

void PortRun::start()
{
    if (state_ != State::Idle)
        return;
    // The port as the operator chooses it in the settings frame: opened once, with the panel's
    // own warning when it cannot be. (The panel's start-up opens its port, then marks it, which
    // opens it again: twice the lock files and a drop of the modem lines, for nothing here.)
    state_ = State::Opening;
    session_.choosePort(number_);
    if (state_ != State::Opening)
        return; // the warning has concluded it
    if (!session_.portOpen() && line_->isConnecting()) {
        // A device server on the network: the command goes once the connection stands; a
        // connection that cannot be made is warned about like a port that cannot be opened.
        state_ = State::Connecting;
        return;
    }
    if (!session_.portOpen()) {
        conclude(Outcome::NotOpened);
        return;
    }
    opened();
}

void PortRun::opened()
{
    state_ = State::Running;
    // As the operator would: the speed is chosen on the port just opened.
    if (request_.baud != session_.settings().baud)
        session_.chooseSpeed(request_.baud);
    ProjectorRequest request;
    request.command = request_.command;
    request.text = request_.text;
    request.holdMs = request_.holdMs;
    request.timeoutMs = request_.timeoutMs;
    queue_.submit(request, [this](const RequestResult &r) { requestDone(r); });
}

void PortRun::requestDone(const RequestResult &r)
{
    result_.sent = r.sent;
    result_.sends = r.sends;
    result_.reply = r.arrived;
    result_.complete = r.answer.complete;
    result_.elapsedMs = r.elapsedMs;
    if (const QString status = r.answer.statusText(); !status.isEmpty())
        result_.status = status;
    if (result_.error.isEmpty())
        result_.error = r.error;
    switch (r.status) {
    case RequestResult::Status::Answered: conclude(Outcome::Answered); return;
    case RequestResult::Status::Stopped: conclude(Outcome::Stopped); return;
    case RequestResult::Status::Failed:
        if (r.sends == 0)
            qCWarning(lcCli).noquote() << r.error; // the session words no warning for it
        conclude(Outcome::NoReply);
        return;
    case RequestResult::Status::Partial:
    case RequestResult::Status::NoReply: conclude(Outcome::NoReply); return;
    }
}

void PortRun::warned(const QString &text)
{
    if (result_.error.isEmpty())
        result_.error = text;
    // While opening, the warning says why the port cannot be; a connection that cannot be made
    // ends the run the same way. Later the queue fails the request with the warning's words.
    if (state_ == State::Opening || state_ == State::Connecting)
        conclude(Outcome::NotOpened);
}

void PortRun::stop()
{
    switch (state_) {
    case State::Idle:
    case State::Opening:
    case State::Connecting:
        result_.error = tr("Stopped before the port was opened.");
        conclude(Outcome::NotOpened);
        break;
    case State::Running:
        // The queue tells what came of the request; the run concludes from it.
        queue_.stop(tr("Stopped before the reply was complete."));
        break;
    case State::Concluded:
    case State::Done: break;
    }
    closeDown();
}

void PortRun::conclude(Outcome outcome)
{
    if (result_.outcome != Outcome::Pending)
        return;
    result_.outcome = outcome;
    if (state_ != State::Done)
        state_ = State::Concluded;
    // Closed from the event loop: this may run inside the line's own notification.
    QMetaObject::invokeMethod(this, &PortRun::closeDown, Qt::QueuedConnection);
}

void PortRun::closeDown()
{
    if (state_ == State::Done)
        return;
    state_ = State::Done;
    session_.end(); // what is queued goes to the line, then the port closes
    emit done();
}
