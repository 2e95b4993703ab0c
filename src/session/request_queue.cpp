// SPDX-License-Identifier: MIT
#include "session/request_queue.h"

#include "core/scheduler.h"
#include "session/panel_session.h"

#include <QMetaObject>

#include <algorithm>

using Status = RequestResult::Status;

struct RequestQueue::Entry
{
    ProjectorRequest request;
    Done done;
    RequestResult result;
    enum class Stage : quint8 {
        Waiting,  // in the queue
        Sending,  // handed to the session, its first send not yet seen
        Awaiting, // sent; the answer or the end of its window to come
        Holding,  // a hold button down, repeating
        Released, // a hold button up, the answer to its last send to come
    };
    Stage stage = Stage::Waiting;
    int windowMs = 0;
    qint64 firstSendMs = -1;
    qint64 releaseAtMs = -1; // when a held button comes up
    int sendsDue = 0;        // the sends a hold of that length makes
};

RequestQueue::RequestQueue(Scheduler &scheduler, PanelSession &session, QObject *parent)
    : QObject(parent), scheduler_(scheduler), session_(session),
      deadline_(scheduler.createTimer(protocol::kStartReplyWindowMs)),
      release_(scheduler.createTimer(1))
{
    deadline_->setHandler([this] { windowEnded(); });
    release_->setHandler([this] { releaseDue(); });
    connect(&session_, &PanelSession::sent, this, &RequestQueue::sent);
    connect(&session_, &PanelSession::arrived, this, [this](const QByteArray &bytes) {
        if (!current_ || current_->stage == Entry::Stage::Waiting)
            return;
        QByteArray &arrived = current_->result.arrived;
        const qsizetype room = PanelSession::kReceiveLimit - arrived.size();
        if (room > 0)
            arrived += bytes.left(room);
    });
    connect(&session_, &PanelSession::answered, this, &RequestQueue::answered);
    // A warning about the port's device: it could not be opened, or it stopped working.
    connect(&session_, &PanelSession::warning, this, [this](const QString &text, int port) {
        if (port != 0)
            lineDown(text);
    });
}

RequestQueue::~RequestQueue() = default;

quint64 RequestQueue::submit(const ProjectorRequest &request, Done done)
{
    auto entry = std::make_unique<Entry>();
    entry->request = request;
    entry->done = std::move(done);
    entry->result.id = nextId_++;
    const quint64 id = entry->result.id;
    waiting_.push_back(std::move(entry));
    // Never from inside submit(): the caller gets its id before anything about it is told.
    QMetaObject::invokeMethod(this, &RequestQueue::next, Qt::QueuedConnection);
    return id;
}

void RequestQueue::next()
{
    while (!current_ && !waiting_.empty()) {
        current_ = std::move(waiting_.front());
        waiting_.pop_front();
        issue(*current_);
    }
    if (!current_)
        emit idle();
}

void RequestQueue::issue(Entry &entry)
{
    if (!session_.portOpen()) {
        finish(Status::Failed, tr("COM%1 (%2) is not open.").arg(session_.port()).arg(
                                   session_.device()));
        return;
    }
    const ProjectorRequest &request = entry.request;
    entry.windowMs = request.timeoutMs;
    entry.stage = Entry::Stage::Sending;
    if (request.isTyped()) {
        session_.sendText(request.text);
    } else if (!request.isHold()) {
        session_.send(*request.command);
    } else {
        session_.press(*request.command);
    }
    if (current_.get() != &entry)
        return; // the line went away during the send
    // The window the send (or the press) has just set: a hold's press sets its own after its
    // send.
    if (entry.windowMs == 0)
        entry.windowMs = session_.replyWindow().interval();
    if (entry.result.sends == 0) {
        finish(Status::Failed, tr("COM%1 (%2): nothing could be written (%3).")
                                   .arg(session_.port())
                                   .arg(session_.device(), session_.lineFailure()));
        return;
    }
    // Armed after the send, so that the session's own reply window, armed by the send, ends
    // first when the two are equal: its answer is then told before the queue looks at it.
    armDeadline();
    if (!request.isHold())
        return;
    if (request.holdMs > 0) {
        entry.releaseAtMs = entry.firstSendMs + request.holdMs;
        // The press and a repeat every period up to the hold's end, even when the event loop
        // delivers the last repeat after the release was due.
        entry.sendsDue = 1 + request.holdMs / std::max(1, session_.repeat().interval());
        release_->setInterval(request.holdMs);
        release_->setEnabled(true);
    } else {
        releaseHold(); // pressed and released at once: one send
    }
}

void RequestQueue::sent(const QByteArray &bytes)
{
    if (!current_ || current_->stage == Entry::Stage::Waiting)
        return;
    Entry &entry = *current_;
    RequestResult &result = entry.result;
    if (result.sends == 0) {
        result.sent = bytes;
        entry.firstSendMs = scheduler_.nowMs();
        entry.stage = entry.request.isHold() ? Entry::Stage::Holding : Entry::Stage::Awaiting;
    }
    ++result.sends;
    if (result.sends > 1)
        armDeadline(); // a repeat: the window that counts is the last send's
    // The button comes up just after its time: a repeat due at that very instant still goes
    // out, as on a real clock, where the release was armed a moment after the press. Re-armed
    // after each repeat, the release loses every tie with the next one.
    if (entry.stage == Entry::Stage::Holding && entry.releaseAtMs >= 0)
        release_->setInterval(int(std::max<qint64>(1, entry.releaseAtMs - scheduler_.nowMs())));
}

void RequestQueue::answered(const protocol::Answer &answer)
{
    if (!current_ || !answer.complete)
        return;
    if (current_->stage == Entry::Stage::Awaiting || current_->stage == Entry::Stage::Released)
        finish(Status::Answered);
}

void RequestQueue::armDeadline()
{
    deadline_->setEnabled(false);
    deadline_->setInterval(current_->windowMs);
    deadline_->setEnabled(true);
}

void RequestQueue::windowEnded()
{
    deadline_->setEnabled(false);
    if (!current_)
        return;
    // While a button is held its sends go on; the window that counts is the last send's.
    if (current_->stage == Entry::Stage::Awaiting || current_->stage == Entry::Stage::Released)
        finishByAnswer();
}

void RequestQueue::releaseDue()
{
    if (current_ && current_->stage == Entry::Stage::Holding &&
        current_->result.sends < current_->sendsDue)
        return; // a repeat due before the end is late: the release follows it
    releaseHold();
}

void RequestQueue::releaseHold()
{
    release_->setEnabled(false);
    if (!current_ || current_->stage != Entry::Stage::Holding)
        return;
    current_->stage = Entry::Stage::Released;
    session_.release(*current_->request.command);
    if (session_.answerSoFar().complete || !deadline_->isEnabled())
        finishByAnswer();
}

void RequestQueue::finishByAnswer()
{
    const protocol::Answer answer = session_.answerSoFar();
    if (answer.complete)
        finish(Status::Answered);
    else
        finish(answer.bytes.isEmpty() ? Status::NoReply : Status::Partial);
}

void RequestQueue::lineDown(const QString &cause)
{
    if (current_)
        finish(Status::Failed, cause);
    failWaiting(Status::Failed, cause);
}

void RequestQueue::stop(const QString &cause)
{
    if (current_) {
        if (current_->stage == Entry::Stage::Waiting || current_->stage == Entry::Stage::Sending)
            finish(Status::Stopped, cause);
        else
            finish(session_.answerSoFar().complete ? Status::Answered : Status::Stopped, cause);
    }
    failWaiting(Status::Stopped, cause);
}

void RequestQueue::failWaiting(Status status, const QString &cause)
{
    auto waiting = std::move(waiting_);
    waiting_.clear();
    for (auto &entry : waiting) {
        entry->result.status = status;
        entry->result.error = cause;
        tell(*entry);
    }
}

void RequestQueue::finish(Status status, const QString &error)
{
    std::unique_ptr<Entry> entry = std::move(current_);
    if (!entry)
        return;
    deadline_->setEnabled(false);
    release_->setEnabled(false);
    if (entry->stage == Entry::Stage::Holding)
        session_.release(*entry->request.command); // no repeat may follow the end
    RequestResult &result = entry->result;
    result.status = status;
    if (result.error.isEmpty())
        result.error = error;
    if (result.sends > 0) {
        result.answer = session_.answerSoFar();
        result.elapsedMs = scheduler_.nowMs() - entry->firstSendMs;
    }
    tell(*entry);
    // The next one goes from the event loop: this may run inside the line's own notification.
    QMetaObject::invokeMethod(this, &RequestQueue::next, Qt::QueuedConnection);
}

void RequestQueue::tell(Entry &entry)
{
    if (entry.done)
        entry.done(entry.result);
    emit finished(entry.result);
}
