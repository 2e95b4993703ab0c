#pragma once

#include "app/form1.h"
#include "core/kernel_scheduler.h"
#include "link/qt_serial_port.h"
#include "panel/widgets.h"
#include "quiet_platform.h"

#include <QtTest>

#include <memory>

// The real window on the program's own timers and a real serial port (QtSerialPort, or a port
// built on it that keeps a record), with COM1 (and COM2, when given) on the given devices.
// Warnings are recorded instead of shown, and END does not end the test.
template <typename Port> struct BasicLivePanel
{
    std::unique_ptr<Scheduler> scheduler = makeEventLoopScheduler();
    Port port;
    QStringList warnings;
    std::unique_ptr<Form1> form;

    explicit BasicLivePanel(const QString &com1, const QString &com2 = QString())
    {
        quietOffscreenPlatform();
        qputenv("ODRA_COM1", com1.toLocal8Bit());
        if (!com2.isEmpty())
            qputenv("ODRA_COM2", com2.toLocal8Bit());
        Form1::Platform platform;
        platform.warning = [this](Form1 *, const QString &t) { warnings << t; };
        platform.endProgram = [] {};
        form = std::make_unique<Form1>(*scheduler, port, platform);
        form->setHeight(9100); // every control in view
        form->show();
    }

    QString txd() const { return form->Label11->text(); }
    QString rxd() const { return form->Label12->text(); }
    QString statusLine() const { return form->Label22->text(); }

    QWidget *control(const QString &name) const
    {
        QWidget *w = form->control(name);
        if (!w)
            qFatal("no control %s", qPrintable(name));
        return w;
    }
    void click(const QString &name) { QTest::mouseClick(control(name), Qt::LeftButton); }
    void press(const QString &name) { QTest::mousePress(control(name), Qt::LeftButton); }
    void release(const QString &name) { QTest::mouseRelease(control(name), Qt::LeftButton); }

    void send(const QString &command)
    {
        form->LastCommand = command;
        form->Hyouji(form->LastCommand, 1);
    }
};

struct LivePanel : BasicLivePanel<QtSerialPort>
{
    using BasicLivePanel::BasicLivePanel;
};
