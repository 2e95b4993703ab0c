// SPDX-License-Identifier: MIT
#pragma once

#include "protocol/answer.h"
#include "protocol/catalogue.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <memory>

class PanelSession;
class PeriodicTimer;
class Scheduler;

// One thing to do at a projector: a catalogue command as its button does it (a hold button held
// for holdMs, 0 pressed and released at once), or typed text as the command box sends it.
struct ProjectorRequest
{
    const protocol::Command *command = nullptr; // null for typed text
    QString text;                               // the typed command, without its carriage return
    int holdMs = 0;
    // How long to wait for the answer after the last send; 0: the command's own reply window.
    int timeoutMs = 0;

    bool isTyped() const { return !command; }
    bool isHold() const { return command && command->kind != protocol::Kind::OneShot; }
    static ProjectorRequest of(const protocol::Command &command, int holdMs = 0)
    {
        ProjectorRequest r;
        r.command = &command;
        r.holdMs = holdMs;
        return r;
    }
};

// How a request ended.
struct RequestResult
{
    enum class Status : quint8 {
        Answered, // a whole answer came back
        Partial,  // something came back, but the answer never ended within the window
        NoReply,  // nothing came back within the window
        Failed,   // nothing could be sent: the line is not open, or went away (error says why)
        Stopped,  // stop() ended it, or dropped it before it went out
    };

    quint64 id = 0;
    Status status = Status::NoReply;
    protocol::Answer answer; // the answer to the last send (a hold's last repeat)
    QByteArray sent;         // the command string, as the line took it
    // Everything that came back while it was in flight (a hold's every answer), at most
    // PanelSession::kReceiveLimit bytes.
    QByteArray arrived;
    int sends = 0;           // more than one for a held button
    qint64 elapsedMs = -1;   // from the first send to the end; -1 when nothing went
    QString error;           // why it failed or stopped

    bool answered() const { return status == Status::Answered; }
};

// One line's requests, one at a time, for every face without a window (odra, the service): a
// request waits until the one before it has its answer or its reply window has ended, then goes
// out through the panel's session exactly as the panel's button or command box would send it,
// timings included. Requests made while the line is down fail at once; a lost line fails the
// one in flight and all that wait, with the line's own cause; once the line is open again, new
// requests go out as before. The queue does not open the line: whoever owns the session does.
class RequestQueue final : public QObject
{
    Q_OBJECT
public:
    using Done = std::function<void(const RequestResult &)>;

    RequestQueue(Scheduler &scheduler, PanelSession &session, QObject *parent = nullptr);
    ~RequestQueue() override;

    // Queues a request; done (when given) and finished() follow, never from inside submit().
    // Returns the request's id.
    quint64 submit(const ProjectorRequest &request, Done done = {});
    // Ends the request in flight (a held button comes up, what arrived is kept) and drops those
    // waiting, each finishing Stopped with cause.
    void stop(const QString &cause);

    bool isIdle() const { return !current_ && waiting_.empty(); }
    qsizetype waiting() const { return qsizetype(waiting_.size()); }

signals:
    void finished(const RequestResult &result);
    // Nothing in flight and nothing waiting: the line is free for a state query.
    void idle();

private:
    struct Entry;
    void next();
    void issue(Entry &entry);
    void sent(const QByteArray &bytes);
    void answered(const protocol::Answer &answer);
    void armDeadline();
    void windowEnded();
    void releaseDue();
    void releaseHold();
    void lineDown(const QString &cause);
    void finishByAnswer();
    void finish(RequestResult::Status status, const QString &error = QString());
    void failWaiting(RequestResult::Status status, const QString &cause);
    void tell(Entry &entry);

    Scheduler &scheduler_;
    PanelSession &session_;
    std::unique_ptr<PeriodicTimer> deadline_, release_;
    std::unique_ptr<Entry> current_;
    std::deque<std::unique_ptr<Entry>> waiting_;
    quint64 nextId_ = 1;
};
