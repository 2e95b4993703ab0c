// SPDX-License-Identifier: MIT
#include "cli/standard_output.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstdio>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Whether the far end of the pipe on standard output has been closed: poll reports POLLERR on
// the writing end then, whatever was asked for.
bool pipeReaderGone()
{
    pollfd out{STDOUT_FILENO, 0, 0};
    return ::poll(&out, 1, 0) == 1 && (out.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
}

} // namespace

StandardOutput::StandardOutput(QObject *parent) : QObject(parent)
{
    struct sigaction ignore
    {
    };
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &formerPipeAction_);

    // Only a pipe is watched: its writing end never becomes readable, so the notifier wakes
    // only for the error that says the reader has gone. A terminal or a socket could wake it
    // for input and keep it waking.
    struct stat st
    {
    };
    if (::fstat(STDOUT_FILENO, &st) == 0 && S_ISFIFO(st.st_mode)) {
        watch_ = std::make_unique<QSocketNotifier>(STDOUT_FILENO, QSocketNotifier::Read);
        connect(watch_.get(), &QSocketNotifier::activated, this, &StandardOutput::readerMayBeGone);
    }
}

StandardOutput::~StandardOutput()
{
    watch_.reset();
    sigaction(SIGPIPE, &formerPipeAction_, nullptr);
}

void StandardOutput::print(const QByteArray &line)
{
    if (closed_)
        return;
    const bool written =
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout) == size_t(line.size()) &&
        std::fflush(stdout) == 0; // a line at a time, for whoever reads as we go
    if (!written && errno == EPIPE)
        close();
}

void StandardOutput::readerMayBeGone()
{
    if (pipeReaderGone())
        close();
}

void StandardOutput::close()
{
    if (closed_)
        return;
    closed_ = true;
    if (watch_)
        watch_->setEnabled(false);
    std::clearerr(stdout);
    emit closed();
}
