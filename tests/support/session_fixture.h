// SPDX-License-Identifier: MIT
#pragma once

#include "fake_line.h"
#include "line/device_map.h"
#include "manual_clock.h"
#include "protocol/catalogue.h"
#include "session/panel_session.h"

#include <QtTest>

#include <functional>
#include <memory>

// A real session on the manual clock and the fake line, with COM1 and COM2 on two fake devices.
// Warnings and the end of the program are recorded.
struct SessionFixture
{
    static inline const QString kCom1 = QStringLiteral("/dev/fake-com1");
    static inline const QString kCom2 = QStringLiteral("/dev/fake-com2");

    ManualClock clock;
    FakeLine line{&clock};
    DeviceMap devices;
    std::unique_ptr<PanelSession> session;
    QStringList warnings;
    int ended = 0;

    // beforeStart may make devices missing or busy before start-up opens COM1.
    explicit SessionFixture(const std::function<void(SessionFixture &)> &beforeStart = {})
    {
        devices.setNaming(DeviceMap::Naming::ByNumber); // as the panel names its ports
        devices.setGiven(1, kCom1);
        devices.setGiven(2, kCom2);
        session = std::make_unique<PanelSession>(clock, line, devices);
        QObject::connect(session.get(), &PanelSession::warning,
                         [this](const QString &text) { warnings << text; });
        QObject::connect(session.get(), &PanelSession::ended, [this] { ++ended; });
        if (beforeStart)
            beforeStart(*this);
        session->start();
    }

    static const protocol::Command &command(const char *name)
    {
        const protocol::Command *c = protocol::findCommand(name);
        if (!c)
            qFatal("no command %s", name);
        return *c;
    }

    static const protocol::Command &command(const QString &name)
    {
        return command(name.toLatin1().constData());
    }

    void send(const char *name) { session->send(command(name)); }
    void press(const char *name) { session->press(command(name)); }
    void release(const char *name) { session->release(command(name)); }
    void tap(const char *name)
    {
        press(name);
        release(name);
    }
    void advance(qint64 ms) { clock.advance(ms); }

    QString txd() const { return session->transmitLine(); }
    QString rxd() const { return session->receiveLine(); }
    QString statusLine() const { return session->statusLine(); }

    // When each write went out, relative to t0.
    QList<qint64> sendTimes(qint64 t0 = 0) const
    {
        QList<qint64> out;
        for (const auto &w : line.writes)
            out << w.atMs - t0;
        return out;
    }
};
