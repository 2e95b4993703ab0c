// SPDX-License-Identifier: MIT
#include "service/line_owner.h"

#include "core/scheduler.h"
#include "line/device_line.h"
#include "line/device_map.h"
#include "session/panel_session.h"

#include <QLoggingCategory>

#include <algorithm>

Q_LOGGING_CATEGORY(lcService, "odra.service")

namespace {

// A state query sent by the owner itself: its answer comes within the command's own window.
constexpr int kPollTimeoutMs = 500;
// The mute state has no button: it is asked as typed text.
const QString kMuteQuery = QStringLiteral("CRA");

bool named(const ProjectorRequest &request, std::string_view name)
{
    return request.command && request.command->name == name;
}

bool isStateQuery(const ProjectorRequest &request)
{
    return named(request, "status") || named(request, "input-mode") ||
           named(request, "lamp-time") || named(request, "temp") ||
           (request.isTyped() && request.text == kMuteQuery);
}

// Whether the lamp is lit and the picture there to switch and mute.
bool isOn(protocol::PowerState power)
{
    using enum protocol::PowerState;
    return power == On || power == TemperatureWarning || power == NoKeyInput ||
           power == LampOffByPowerManagement || power == LampOffTemperatureWarning;
}

ProjectorRequest poll(const protocol::Command *command)
{
    ProjectorRequest request;
    request.command = command;
    request.timeoutMs = kPollTimeoutMs;
    return request;
}

} // namespace

LineOwner::LineOwner(Scheduler &scheduler, const ProjectorConfig &config, QObject *parent)
    : LineOwner(scheduler, config, std::make_unique<DeviceLine>(scheduler), parent)
{
}

LineOwner::LineOwner(Scheduler &scheduler, const ProjectorConfig &config,
                     std::unique_ptr<Line> line, QObject *parent)
    : QObject(parent), scheduler_(scheduler), config_(config), line_(std::move(line)),
      devices_(std::make_unique<DeviceMap>()),
      session_(std::make_unique<PanelSession>(scheduler, *line_, *devices_)),
      queue_(std::make_unique<RequestQueue>(scheduler, *session_)),
      retry_(scheduler.createTimer(kFirstRetryMs)),
      statusPoll_(scheduler.createTimer(std::max(1, config.pollStatusS * 1000))),
      lampPoll_(scheduler.createTimer(std::max(1, config.pollLampS * 1000)))
{
    devices_->setGiven(1, config_.device);
    session_->chooseSpeed(config_.speed);
    retry_->setHandler([this] {
        retry_->setEnabled(false);
        open();
    });
    statusPoll_->setHandler([this] { pollDue(); });
    lampPoll_->setHandler([this] { pollLampDue(); });
    connect(line_.get(), &Line::opened, this, [this] {
        if (lineState_ == LineState::Connecting)
            opened();
    });
    connect(line_.get(), &Line::openFailed, this, [this] {
        if (lineState_ == LineState::Connecting)
            openFailed(line_->failureDetail());
    });
    connect(line_.get(), &Line::lost, this, &LineOwner::lost);
    connect(queue_.get(), &RequestQueue::idle, this, &LineOwner::pollIfIdle);
}

LineOwner::~LineOwner()
{
    // The queue and the session speak to each other until the end: the queue goes first.
    queue_.reset();
    session_.reset();
}

QString LineOwner::id() const
{
    return config_.id;
}

QString LineOwner::name() const
{
    return config_.name.isEmpty() ? config_.id : config_.name;
}

const ProjectorState &LineOwner::state() const
{
    return state_;
}

bool LineOwner::lineUp() const
{
    return lineState_ == LineState::Up;
}

void LineOwner::start()
{
    if (lineState_ == LineState::Down && !retry_->isEnabled())
        open();
}

void LineOwner::stop()
{
    if (lineState_ == LineState::Stopped)
        return;
    retry_->setEnabled(false);
    statusPoll_->setEnabled(false);
    lampPoll_->setEnabled(false);
    const bool wasUp = lineUp();
    lineState_ = LineState::Stopped;
    queue_->stop(tr("the service is stopping"));
    session_->end();
    if (wasUp)
        emit lineUpChanged(false);
}

void LineOwner::open()
{
    setLineState(LineState::Connecting);
    session_->choosePort(1);
    if (line_->isOpen())
        opened();
    else if (!line_->isConnecting())
        openFailed(line_->failureDetail());
}

void LineOwner::opened()
{
    retryMs_ = kFirstRetryMs;
    lastFailure_.clear();
    setLineState(LineState::Up);
    // Fresh state at once, then at the configured pace; 0 asks only on a client's demand.
    statusDue_ = config_.pollStatusS > 0;
    lampDue_ = config_.pollLampS > 0;
    statusPoll_->setEnabled(config_.pollStatusS > 0);
    lampPoll_->setEnabled(config_.pollLampS > 0);
    pollIfIdle();
}

void LineOwner::openFailed(const QString &why)
{
    if (why != lastFailure_ || lineState_ == LineState::Up)
        qCWarning(lcService).noquote()
            << tr("%1: %2 cannot be opened (%3); trying again, at most every %4 s")
                   .arg(config_.id, config_.device, why)
                   .arg(kLastRetryMs / 1000);
    lastFailure_ = why;
    setLineState(LineState::Down);
    retry_->setInterval(retryMs_);
    retry_->setEnabled(true);
    retryMs_ = std::min(retryMs_ * 2, kLastRetryMs);
}

void LineOwner::lost(const QString &cause)
{
    if (lineState_ == LineState::Stopped)
        return;
    qCWarning(lcService).noquote()
        << tr("%1: %2 was lost (%3); trying again").arg(config_.id, config_.device, cause);
    lastFailure_ = cause;
    retryMs_ = kFirstRetryMs;
    setLineState(LineState::Down);
    retry_->setInterval(retryMs_);
    retry_->setEnabled(true);
    retryMs_ *= 2;
}

void LineOwner::setLineState(LineState state, const QString &why)
{
    Q_UNUSED(why);
    const bool wasUp = lineUp();
    lineState_ = state;
    if (wasUp == lineUp())
        return;
    if (lineUp()) {
        qCInfo(lcService).noquote()
            << tr("%1: %2 open at %3 baud").arg(config_.id, config_.device).arg(config_.speed);
    } else {
        statusPoll_->setEnabled(false);
        lampPoll_->setEnabled(false);
        setAvailable(false);
    }
    emit lineUpChanged(lineUp());
}

void LineOwner::pollDue()
{
    statusDue_ = true;
    pollIfIdle();
}

void LineOwner::pollLampDue()
{
    lampDue_ = true;
    pollIfIdle();
}

void LineOwner::pollIfIdle()
{
    if (!lineUp() || pollsInFlight_ > 0 || !queue_->isIdle())
        return;
    if (statusDue_) {
        statusDue_ = false;
        ++pollsInFlight_;
        submit(poll(protocol::findCommand("status")), [this](const RequestResult &result) {
            --pollsInFlight_;
            // Input and mute mean something only while the picture is there.
            if (result.answered() && result.answer.power && isOn(*result.answer.power)) {
                ProjectorRequest mute;
                mute.text = kMuteQuery;
                mute.timeoutMs = kPollTimeoutMs;
                pollsInFlight_ += 2;
                submit(poll(protocol::findCommand("input-mode")),
                       [this](const RequestResult &) { --pollsInFlight_; });
                submit(mute, [this](const RequestResult &) {
                    --pollsInFlight_;
                    pollIfIdle();
                });
            } else {
                pollIfIdle();
            }
        });
    } else if (lampDue_) {
        lampDue_ = false;
        ++pollsInFlight_;
        submit(poll(protocol::findCommand("lamp-time")), [this](const RequestResult &) {
            --pollsInFlight_;
            pollIfIdle();
        });
    }
}

quint64 LineOwner::submit(const ProjectorRequest &request, RequestQueue::Done done)
{
    return queue_->submit(request, [this, request, done](const RequestResult &result) {
        absorb(request, result);
        if (done)
            done(result);
    });
}

void LineOwner::absorb(const ProjectorRequest &request, const RequestResult &result)
{
    if (lineState_ == LineState::Stopped)
        return;
    const qint64 now = scheduler_.nowMs();
    const protocol::Answer &answer = result.answer;
    bool changed = false;
    const auto take = [&](auto &reading, const auto &value) {
        if (!value)
            return;
        changed = changed || reading.value != value;
        reading.value = value;
        reading.atMs = now;
    };

    if (result.status == RequestResult::Status::NoReply ||
        result.status == RequestResult::Status::Partial) {
        setAvailable(false);
        return;
    }
    if (!result.answered())
        return;

    const std::optional<protocol::PowerState> before = state_.power.value;
    take(state_.power, answer.power);
    take(state_.input, answer.input);
    take(state_.mute, answer.mute);
    take(state_.lampHours, answer.lampHours);
    take(state_.temperatures, answer.temperatures);
    if (isStateQuery(request) && answer.status)
        take(state_.status, std::optional<QString>(answer.statusText()));
    if (answer.power && before != answer.power)
        qCInfo(lcService).noquote() << tr("%1: %2").arg(config_.id, answer.statusText());

    // A setting taken changes what the projector would say: what was heard of it is stale.
    if (answer.acknowledged() && request.command) {
        const std::string_view name = request.command->name;
        if (name == "power-on" || name == "power-off") {
            state_.power.atMs = state_.input.atMs = state_.mute.atMs = -1;
        } else if (name.starts_with("input-")) {
            state_.input.atMs = -1;
        } else if (name.starts_with("sound-mute-") || name.starts_with("no-show-")) {
            state_.mute.atMs = -1;
        } else if (name == "freeze-on" || name == "freeze-off") {
            take(state_.freeze, std::optional<bool>(name == "freeze-on"));
        }
    }
    const bool wasAvailable = state_.available;
    setAvailable(true);
    if (changed && wasAvailable)
        emit stateChanged();
}

void LineOwner::setAvailable(bool available)
{
    if (state_.available == available)
        return;
    state_.available = available;
    if (lineUp())
        qCInfo(lcService).noquote()
            << (available ? tr("%1: the projector answers").arg(config_.id)
                          : tr("%1: the projector does not answer").arg(config_.id));
    emit stateChanged();
}
