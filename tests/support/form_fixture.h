#pragma once

#include "app/form1.h"
#include "core/manual_scheduler.h"
#include "fake_serial_port.h"
#include "panel/widgets.h"
#include "quiet_platform.h"

#include <QAbstractButton>
#include <QtTest>

#include <functional>
#include <memory>

// A real window on the manual clock and the fake port: warnings and the end of the program are
// recorded instead of shown.
struct FormFixture
{
    ManualScheduler clock;
    FakeSerialPort port{&clock};
    QStringList warnings;
    int ended = 0;
    std::unique_ptr<Form1> form;

    explicit FormFixture(const std::function<void(FakeSerialPort &)> &beforeLoad = {})
    {
        quietOffscreenPlatform();
        if (beforeLoad)
            beforeLoad(port);
        Form1::Platform platform;
        platform.warning = [this](Form1 *, const QString &text) { warnings << text; };
        platform.endProgram = [this] { ++ended; };
        form = std::make_unique<Form1>(clock, port, platform);
    }

    QString txd() const { return form->Label11->text(); }
    QString rxd() const { return form->Label12->text(); }
    QString statusLine() const { return form->Label22->text(); }

    template <typename T = QWidget> T *widget(const QString &name) const
    {
        auto *w = qobject_cast<T *>(form->control(name));
        if (!w)
            qFatal("no control %s", qPrintable(name));
        return w;
    }

    // A real mouse click in the middle of the control, whatever height the window has.
    void click(const QString &name)
    {
        QTest::mouseClick(widget(name), Qt::LeftButton);
    }

    void send(const QString &command)
    {
        form->LastCommand = command;
        form->Hyouji(form->LastCommand, 1);
    }

    void advance(qint64 ms) { clock.advance(ms); }
};
