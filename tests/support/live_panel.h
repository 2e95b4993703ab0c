#pragma once

#include "app/form1.h"
#include "core/kernel_scheduler.h"
#include "link/qt_serial_port.h"
#include "panel/widgets.h"
#include "quiet_platform.h"

#include <QtTest>

#include <memory>

// The real window on real timers and the real QSerialPort, with COM1 on the given device.
// Warnings are recorded instead of shown, and END does not end the test.
struct LivePanel
{
    std::unique_ptr<Scheduler> scheduler = makeEventLoopScheduler();
    QtSerialPort port;
    QStringList warnings;
    std::unique_ptr<Form1> form;

    explicit LivePanel(const QString &device)
    {
        quietOffscreenPlatform();
        qputenv("ODRA_COM1", device.toLocal8Bit());
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

    void click(const QString &name)
    {
        QWidget *w = form->control(name);
        if (!w)
            qFatal("no control %s", qPrintable(name));
        QTest::mouseClick(w, Qt::LeftButton);
    }

    void send(const QString &command)
    {
        form->LastCommand = command;
        form->Hyouji(form->LastCommand, 1);
    }
};
