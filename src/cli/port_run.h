// SPDX-License-Identifier: MIT
#pragma once

#include "cli/request.h"
#include "line/device_map.h"
#include "session/panel_session.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class Line;
class Scheduler;
class PeriodicTimer;

// One command to one port: the panel's session on a line of its own, started on that port and
// given the command as the panel's button (or its command box) gives it, then watched until the
// reply is whole (its closing carriage return, or the lone ACK of a control command) or the wait
// is over. The wait is the command's own reply window, counted from the last send, unless a
// timeout replaces it. The port is closed before done() comes.
class PortRun final : public QObject
{
    Q_OBJECT
public:
    enum class Outcome : quint8 {
        Pending,
        Answered,  // something came back
        NotOpened, // the port could not be opened (error says why, as the panel's warning does)
        NoReply,   // the port opened but nothing came back, or the line went away
    };

    struct Result
    {
        QString port;     // as given: "COM1", "/dev/ttyUSB0"
        QString device;   // the device that port is
        QByteArray sent;  // the command string, as the line took it
        int sends = 0;    // more than one for a held button
        QByteArray reply; // everything that came back, at most PanelSession::kReceiveLimit bytes
        bool complete = false;         // the reply to the last send ended as a reply ends
        std::optional<QString> status; // the decoded status, without its framing blanks
        qint64 elapsedMs = -1;         // from the first send to the end; -1 when nothing went
        Outcome outcome = Outcome::Pending;
        QString error; // why the port could not be opened or went away

        // 0 answered, 2 not opened, 3 no reply: odra's exit status for this port.
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

    bool isDone() const { return done_; }
    const Result &result() const { return result_; }

signals:
    void done();

private:
    void opened();
    void issue();
    void sent(const QByteArray &bytes);
    void arrived(const QByteArray &bytes);
    void warned(const QString &text);
    void deadlinePassed();
    void releaseDue();
    void releaseHold();
    void armDeadline();
    void conclude(Outcome outcome);
    void concludeByReply();
    void closeDown();

    Scheduler &scheduler_;
    std::unique_ptr<Line> line_;
    DeviceMap devices_;
    PanelSession session_;
    const Request request_;
    std::unique_ptr<PeriodicTimer> deadline_, release_;

    Result result_;
    int number_ = 1; // the session's port: 1 or 2, or 1 given a device of its own
    bool started_ = false;
    bool opening_ = false;
    bool connecting_ = false; // a network line not yet connected
    bool holding_ = false;
    bool done_ = false;
    int windowMs_ = 0;
    qint64 firstSendMs_ = -1;
    qint64 releaseAtMs_ = -1; // when a held button comes up
    int sendsDue_ = 0;        // the sends a hold of that length makes
    // What came back since the last send, enough of it to tell whether it is a whole reply.
    QByteArray sinceSend_;
};
