// SPDX-License-Identifier: MIT
#pragma once

#include "cli/request.h"
#include "line/device_map.h"
#include "session/panel_session.h"
#include "session/request_queue.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class Line;
class Scheduler;

// One command to one port: the panel's session on a line of its own, opened on that port as the
// operator would choose it, and the command handed to the line's request queue, which sends it
// as the panel's button (or its command box) does and waits for its answer or the end of its
// window. The port is closed before done() comes.
class PortRun final : public QObject
{
    Q_OBJECT
public:
    enum class Outcome : quint8 {
        Pending,
        Answered,  // a whole answer came back
        NotOpened, // the port could not be opened (error says why, as the panel's warning does)
        NoReply,   // nothing whole came back: nothing at all, noise, or the line went away
        Stopped,   // stopped from outside before the answer was whole
    };

    struct Result
    {
        QString port;     // as given: "COM1", "/dev/ttyUSB0"
        QString device;   // the device that port is
        QByteArray sent;  // the command string, as the line took it
        int sends = 0;    // more than one for a held button
        QByteArray reply; // everything that came back, at most PanelSession::kReceiveLimit bytes
        bool complete = false;         // the answer to the last send ended as an answer ends
        std::optional<QString> status; // the decoded status, without its framing blanks
        qint64 elapsedMs = -1;         // from the first send to the end; -1 when nothing went
        Outcome outcome = Outcome::Pending;
        QString error; // why the port could not be opened, went away, or the run was stopped

        // 0 answered, 2 not opened, 3 no whole answer: odra's exit status for this port.
        int exitStatus() const;
    };

    PortRun(Scheduler &scheduler, std::unique_ptr<Line> line, const QString &port,
            const Request &request, QObject *parent = nullptr);
    ~PortRun() override;

    const PanelSession &session() const { return session_; }

    // Opens the port and sends; the rest follows on the event loop.
    void start();
    // Ends the run now: a held button is released, what is queued is handed to the line and
    // the port closed. done() follows at once.
    void stop();

    bool isDone() const { return state_ == State::Done; }
    const Result &result() const { return result_; }

signals:
    void done();

private:
    enum class State : quint8 {
        Idle,       // not started
        Opening,    // the port being opened
        Connecting, // a network line not yet connected
        Running,    // the request in the queue
        Concluded,  // the outcome known, the port about to close
        Done,
    };

    void opened();
    void warned(const QString &text);
    void requestDone(const RequestResult &r);
    void conclude(Outcome outcome);
    void closeDown();

    std::unique_ptr<Line> line_;
    DeviceMap devices_;
    PanelSession session_;
    RequestQueue queue_;
    const Request request_;

    Result result_;
    int number_ = 1; // the session's port: 1 or 2, or 1 given a device of its own
    State state_ = State::Idle;
};
