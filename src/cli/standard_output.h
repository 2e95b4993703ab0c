// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QObject>

#include <csignal>
#include <memory>

class QSocketNotifier;

// odra's standard output, written a line at a time for whoever reads it as it comes. Its reader
// may go away before the run ends (`odra ... | head -n1`): left to SIGPIPE's default action, the
// next line would kill odra on the spot with its ports still open and their lock files left
// behind. While a StandardOutput lives SIGPIPE is ignored; closed() says once that nobody reads
// any more, whether a write found it out (EPIPE) or, on a pipe, the pipe said so while odra
// waited for a reply. Lines after that are dropped.
class StandardOutput final : public QObject
{
    Q_OBJECT
public:
    explicit StandardOutput(QObject *parent = nullptr);
    ~StandardOutput() override; // SIGPIPE's former action again

    void print(const QByteArray &line);
    bool isClosed() const { return closed_; }

signals:
    void closed();

private:
    void readerMayBeGone();
    void close();

    struct sigaction formerPipeAction_
    {
    };
    std::unique_ptr<QSocketNotifier> watch_;
    bool closed_ = false;
};
