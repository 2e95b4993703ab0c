// SPDX-License-Identifier: MIT
#include "cli/port_run.h"

#include "cli/options.h"
#include "core/scheduler.h"
#include "line/line.h"
#include "protocol/decoder.h"
#include "protocol/reply.h"
#include "protocol/traffic.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcCli, "odra.cli")

int PortRun::Result::exitStatus() const
{
    switch (outcome) {
    case Outcome::Pending:
    case Outcome::Answered: return 0;
    case Outcome::NotOpened: return 2;
    case Outcome::NoReply: return 3;
    }
    return 3;
}

PortRun::PortRun(Scheduler &scheduler, std::unique_ptr<Line> line, const QString &port,
                 const Request &request, QObject *parent)
    : QObject(parent), scheduler_(scheduler), line_(std::move(line)),
      session_(scheduler, *line_, devices_), request_(request),
      deadline_(scheduler.createTimer(protocol::kStartReplyWindowMs)),
      release_(scheduler.createTimer(1))
{
    result_.port = port;
    number_ = comPortNumber(port);
    if (!number_) {
        devices_.setGiven(1, port);
        number_ = 1;
    }
    result_.device = devices_.device(number_);
    deadline_->setHandler([this] { deadlinePassed(); });
    release_->setHandler([this] { releaseDue(); });
    connect(&session_, &PanelSession::sent, this, &PortRun::sent);
    connect(&session_, &PanelSession::arrived, this, &PortRun::arrived);
    connect(&session_, &PanelSession::warning, this, &PortRun::warned);
}

PortRun::~PortRun() = default;

void PortRun::start()
{
    if (started_)
        return;
    started_ = true;
    // The port as the operator chooses it in the settings frame: opened once, with the panel's
    // own warning when it cannot be. (The panel's start-up opens its port, then marks it, which
    // opens it again: twice the lock files and a drop of the modem lines, for nothing here.)
    opening_ = true;
    session_.choosePort(number_);
    opening_ = false;
    if (!session_.portOpen() && line_->isConnecting()) {
        // A device server on the network: the command goes once the connection stands; a
        // connection that cannot be made is warned about like a port that cannot be opened.
        connecting_ = true;
        connect(line_.get(), &Line::opened, this, [this] {
            if (!connecting_)
                return;
            connecting_ = false;
            opened();
        });
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
    // As the operator would: the speed is chosen on the port just opened.
    if (request_.baud != session_.settings().baud)
        session_.chooseSpeed(request_.baud);
    issue();
}

void PortRun::issue()
{
    windowMs_ = request_.timeoutMs;
    if (request_.isTyped()) {
        session_.sendText(request_.text);
    } else if (!request_.isHold()) {
        session_.send(*request_.command);
    } else {
        holding_ = true;
        session_.press(*request_.command);
    }
    // The window the send (or the press) has just set; a hold's press sets its own after its
    // send, and its release would set another.
    if (windowMs_ == 0)
        windowMs_ = session_.replyWindow().interval();

    if (result_.sends == 0) {
        result_.error =
            tr("%1: nothing could be written (%2).").arg(result_.device, line_->failureDetail());
        qCWarning(lcCli).noquote() << result_.error; // the session words no warning for it
        conclude(Outcome::NoReply);
        return;
    }
    armDeadline();
    if (request_.isHold()) {
        if (request_.holdMs > 0) {
            releaseAtMs_ = firstSendMs_ + request_.holdMs;
            // The press and a repeat every period up to the hold's end, even when the event loop
            // delivers the last repeat after the release was due.
            sendsDue_ = 1 + request_.holdMs / std::max(1, session_.repeat().interval());
            release_->setInterval(request_.holdMs);
            release_->setEnabled(true);
        } else {
            releaseHold(); // pressed and released at once: one send
        }
    }
}

void PortRun::sent(const QByteArray &bytes)
{
    if (result_.outcome != Outcome::Pending)
        return;
    if (result_.sends == 0) {
        result_.sent = bytes;
        firstSendMs_ = scheduler_.nowMs();
    }
    ++result_.sends;
    sinceSend_.clear();
    if (windowMs_ > 0)
        armDeadline();
    // The button comes up just after its time: a repeat due at that very instant still goes
    // out, as on a real clock, where the release was armed a moment after the press. Re-armed
    // after each repeat, the release loses every tie with the next one.
    if (holding_ && releaseAtMs_ >= 0)
        release_->setInterval(int(std::max<qint64>(1, releaseAtMs_ - scheduler_.nowMs())));
}

void PortRun::releaseDue()
{
    if (holding_ && result_.sends < sendsDue_)
        return; // a repeat due before the end is late: the release follows it
    releaseHold();
}

void PortRun::arrived(const QByteArray &bytes)
{
    if (result_.outcome != Outcome::Pending)
        return;
    const qsizetype room = PanelSession::kReceiveLimit - result_.reply.size();
    if (room > 0)
        result_.reply += bytes.left(room);
    sinceSend_ += bytes;
    // Only the end of it, and whether there is more than one byte, tell a whole reply.
    if (sinceSend_.size() > 64)
        sinceSend_ = sinceSend_.right(2);
    if (!holding_ && protocol::isWholeReply(sinceSend_))
        conclude(Outcome::Answered);
}

void PortRun::warned(const QString &text)
{
    if (result_.error.isEmpty())
        result_.error = text;
    // At start-up the warning says why the port cannot be opened; later, that the line went.
    if (connecting_) {
        connecting_ = false;
        conclude(Outcome::NotOpened);
    } else if (!opening_) {
        conclude(Outcome::NoReply);
    }
}

void PortRun::deadlinePassed()
{
    deadline_->setEnabled(false);
    // While a button is held its sends go on; the window that counts is the last send's.
    if (!holding_)
        concludeByReply();
}

void PortRun::releaseHold()
{
    release_->setEnabled(false);
    if (!holding_)
        return;
    holding_ = false;
    session_.release(*request_.command);
    if (protocol::isWholeReply(sinceSend_) || !deadline_->isEnabled())
        concludeByReply();
}

void PortRun::armDeadline()
{
    deadline_->setEnabled(false);
    deadline_->setInterval(windowMs_);
    deadline_->setEnabled(true);
}

void PortRun::stop()
{
    if (done_)
        return;
    if (!started_ || connecting_) {
        started_ = true;
        connecting_ = false;
        result_.error = tr("Stopped before the port was opened.");
        conclude(Outcome::NotOpened);
    } else if (result_.outcome == Outcome::Pending) {
        if (result_.error.isEmpty())
            result_.error = tr("Stopped before the reply was complete.");
        concludeByReply();
    }
    closeDown();
}

void PortRun::concludeByReply()
{
    conclude(result_.reply.isEmpty() ? Outcome::NoReply : Outcome::Answered);
}

void PortRun::conclude(Outcome outcome)
{
    if (result_.outcome != Outcome::Pending)
        return;
    result_.outcome = outcome;
    if (firstSendMs_ >= 0)
        result_.elapsedMs = scheduler_.nowMs() - firstSendMs_;
    result_.complete = protocol::isWholeReply(sinceSend_);
    if (!result_.reply.isEmpty()) {
        const QString rxd = renderTraffic(bytesToChars(result_.reply));
        const QString text =
            status::decodeReply(session_.lastCommand(), rxd, nullptr).value_or(QString());
        if (!text.trimmed().isEmpty())
            result_.status = text.trimmed();
    }
    deadline_->setEnabled(false);
    release_->setEnabled(false);
    if (holding_) {
        holding_ = false;
        session_.release(*request_.command); // no repeat may follow the end
    }
    // Closed from the event loop: this may run inside the line's own notification.
    QMetaObject::invokeMethod(this, &PortRun::closeDown, Qt::QueuedConnection);
}

void PortRun::closeDown()
{
    if (done_)
        return;
    done_ = true;
    session_.end(); // what is queued goes to the line, then the port closes
    emit done();
}
