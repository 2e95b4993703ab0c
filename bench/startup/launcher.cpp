// SPDX-License-Identifier: MIT
#include "launcher.h"

#include "clock.h"

#include <QByteArray>

#include <xcb/xcb.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace bench {

Launcher::Launcher()
{
    xcb_ = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(xcb_)) {
        xcb_disconnect(xcb_);
        xcb_ = nullptr;
        return;
    }
    // Every window mapped on this server, as it happens.
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(xcb_)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(xcb_, screen->root, XCB_CW_EVENT_MASK, &mask);
    // A round trip: the server has the request before the first program starts.
    std::free(xcb_get_input_focus_reply(xcb_, xcb_get_input_focus(xcb_), nullptr));
    inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
}

Launcher::~Launcher()
{
    if (xcb_)
        xcb_disconnect(xcb_);
    if (inotify_ >= 0)
        ::close(inotify_);
}

Launcher::Run Launcher::start(const QString &program, const QStringList &args,
                              const QStringList &env, const QString &device, int timeoutMs)
{
    Run run;
    int watch = -1;
    if (!device.isEmpty())
        watch = inotify_add_watch(inotify_, device.toLocal8Bit().constData(), IN_OPEN);
    // Nothing left over from the previous program.
    while (xcb_generic_event_t *e = xcb_poll_for_event(xcb_))
        std::free(e);

    std::vector<QByteArray> storage;
    std::vector<char *> argv, envp;
    storage.push_back(program.toLocal8Bit());
    for (const QString &a : args)
        storage.push_back(a.toLocal8Bit());
    const std::size_t argCount = storage.size();
    for (const QString &e : env)
        storage.push_back(e.toLocal8Bit());
    for (std::size_t i = 0; i < storage.size(); ++i)
        (i < argCount ? argv : envp).push_back(storage[i].data());
    for (char **e = environ; *e; ++e)
        envp.push_back(*e);
    argv.push_back(nullptr);
    envp.push_back(nullptr);

    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    run.startNs = monoNs();
    const int failed = posix_spawn(&run.pid, argv[0], &files, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&files);
    if (failed) {
        run.pid = -1;
        return run;
    }

    const qint64 deadline = run.startNs + qint64(timeoutMs) * 1'000'000;
    const int xfd = xcb_get_file_descriptor(xcb_);
    while ((run.mappedNs < 0 || (watch >= 0 && run.openedNs < 0)) && monoNs() < deadline) {
        pollfd fds[2] = {{xfd, POLLIN, 0}, {inotify_, POLLIN, 0}};
        const int left = int((deadline - monoNs()) / 1'000'000) + 1;
        if (::poll(fds, 2, left) <= 0)
            continue;
        const qint64 now = monoNs();
        while (xcb_generic_event_t *e = xcb_poll_for_event(xcb_)) {
            if ((e->response_type & 0x7f) == XCB_MAP_NOTIFY && run.mappedNs < 0)
                run.mappedNs = now;
            std::free(e);
        }
        // The panel opens its port, closes it and opens it again as it marks COM1: the port is
        // open from the last open on.
        char buf[4096];
        if (::read(inotify_, buf, sizeof buf) > 0)
            run.openedNs = now;
    }
    if (watch >= 0)
        inotify_rm_watch(inotify_, watch);
    return run;
}

void Launcher::stop(Run &run)
{
    if (run.pid <= 0)
        return;
    ::kill(run.pid, SIGTERM);
    int status = 0;
    rusage usage{};
    while (wait4(run.pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    run.peakRssKb = usage.ru_maxrss;
    run.pid = -1;
}

} // namespace bench
