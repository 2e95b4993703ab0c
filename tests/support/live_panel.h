// SPDX-License-Identifier: MIT
#pragma once

#include "core/kernel_scheduler.h"
#include "line/device_map.h"
#include "line/serial_line.h"
#include "protocol/catalogue.h"
#include "fd_io.h"
#include "quiet_platform.h"
#include "session/panel_session.h"
#include "ui/panel_window.h"
#include "ui/widgets.h"

#include <QLineEdit>
#include <QtTest>

#include <memory>
#include <type_traits>

// The real window on the program's own timers and a real serial line (SerialLine, or a line
// built on it that keeps a record), with COM1 (and COM2, when given) on the given devices and
// every control in view. Warnings are recorded instead of shown, and END does not end the test.
template <typename LineType> struct BasicLivePanel
{
    std::unique_ptr<Scheduler> scheduler = makeEventLoopScheduler();
    std::unique_ptr<LineType> ownedLine = makeLine(*scheduler);
    LineType &line = *ownedLine;
    DeviceMap devices;
    std::unique_ptr<PanelSession> session;
    std::unique_ptr<PanelWindow> window;
    QStringList warnings;

    explicit BasicLivePanel(const QString &com1, const QString &com2 = QString())
    {
        quietOffscreenPlatform();
        devices.setNaming(DeviceMap::Naming::ByNumber); // as the panel names its ports
        devices.setGiven(1, com1);
        if (!com2.isEmpty())
            devices.setGiven(2, com2);
        session = std::make_unique<PanelSession>(*scheduler, line, devices);
        QObject::connect(session.get(), &PanelSession::warning,
                         [this](const QString &t) { warnings << t; });
        window = std::make_unique<PanelWindow>(*session);
        window->setWarningPresenter([](const QString &) {});
        session->start();
        session->openExtendedView();
        session->openFullView();
        window->show();
    }

    // A line that times what it does (a device server's connection) runs on the panel's clock.
    static std::unique_ptr<LineType> makeLine(Scheduler &scheduler)
    {
        if constexpr (std::is_constructible_v<LineType, Scheduler &>)
            return std::make_unique<LineType>(scheduler);
        else
            return std::make_unique<LineType>();
    }

    QString txd() const { return session->transmitLine(); }
    QString rxd() const { return session->receiveLine(); }
    QString statusLine() const { return session->statusLine(); }

    QWidget *control(const QString &name) const
    {
        QWidget *w = window->control(name);
        if (!w)
            qFatal("no control %s", qPrintable(name));
        return w;
    }
    void click(const QString &name) { QTest::mouseClick(control(name), Qt::LeftButton); }
    void press(const QString &name) { QTest::mousePress(control(name), Qt::LeftButton); }
    void release(const QString &name) { QTest::mouseRelease(control(name), Qt::LeftButton); }

    // A choice of the settings frame, made as the operator does: COM, then the choice.
    void choose(const QString &choice)
    {
        click("port-settings");
        click(choice);
    }
    // The command box's text as typed, and SEND.
    void type(const QString &text)
    {
        auto *box = qobject_cast<QLineEdit *>(control("command-text"));
        QVERIFY(box);
        box->setText(text);
        click("send");
    }

    // A command string sent as the command box sends it, without its reply-window timings.
    void sendText(const QString &text) { session->sendText(text); }
};

struct LivePanel : BasicLivePanel<SerialLine>
{
    using BasicLivePanel::BasicLivePanel;
};

// The CPU time spent in one second of the event loop, after a moment to settle: an idle event
// loop spends next to none, a busy loop all of it.
inline double cpuInQuietSecond()
{
    QTest::qWait(200);
    const double before = processCpuSeconds();
    QTest::qWait(1000);
    return processCpuSeconds() - before;
}
