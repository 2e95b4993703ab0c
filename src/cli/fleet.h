// SPDX-License-Identifier: MIT
#pragma once

#include "cli/port_run.h"
#include "cli/request.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class Line;

// The exit status of a run ended by a signal (SIGINT, SIGTERM, SIGHUP) or by the reader of its
// output going away (SIGPIPE's number): 128 + the signal's number, as a shell reports a program
// the signal killed, so that scripts read it the same either way: 130, 143, 129, 141.
constexpr int interruptedStatus(int signal)
{
    return 128 + signal;
}

class Scheduler;
class TrafficLog;

// Every port of one odra run, served side by side on one event loop: a PortRun per port, each
// on a line of its own, started one after another without waiting for the replies. The answers are
// printed in the order the ports were given, each as soon as it and the ones before it are in, so
// that a script reads them as they come and always in the same order. finished() carries the exit
// status: the highest of the ports'.
class Fleet final : public QObject
{
    Q_OBJECT
public:
    using LineMaker = std::function<std::unique_ptr<Line>()>;
    using Printer = std::function<void(const QByteArray &line)>;

    Fleet(Scheduler &scheduler, const QStringList &ports, const Request &request, bool json,
          LineMaker makeLine, Printer print, TrafficLog *log = nullptr, QObject *parent = nullptr);
    ~Fleet() override;

    void start();
    // odra's way out: every port still waiting ends now (a held button is released, what is
    // queued is handed to its line, the port closed), the answers so far are printed and
    // finished() follows. A run cut short that way ends with status (see interruptedStatus),
    // above anything its ports would say; a stop after every port was done changes nothing.
    void stop(int status);

    int exitStatus() const;

signals:
    void finished(int exitStatus);

private:
    void startNext();
    void printReady();

    const Request request_;
    const bool json_;
    const bool prefix_;
    Printer print_;
    std::vector<std::unique_ptr<PortRun>> runs_;
    std::size_t started_ = 0;
    std::size_t printed_ = 0;
    int interrupted_ = 0; // the status of a run cut short, else 0
};
