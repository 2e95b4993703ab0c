// SPDX-License-Identifier: MIT
#pragma once

#include "quiet_platform.h"
#include "session_fixture.h"
#include "ui/panel_window.h"
#include "ui/widgets.h"

#include <QAbstractButton>
#include <QtTest>

#include <memory>

// The real window on a session of the manual clock and the fake line. Warnings are recorded
// (by the session fixture) instead of shown.
struct WindowFixture : SessionFixture
{
    std::unique_ptr<PanelWindow> window;

    explicit WindowFixture(const std::function<void(SessionFixture &)> &beforeStart = {})
        : SessionFixture(beforeStart)
    {
        quietOffscreenPlatform();
        window = std::make_unique<PanelWindow>(*session);
        window->setWarningPresenter([](const QString &) {});
    }

    template <typename T = QWidget> T *widget(const QString &name) const
    {
        auto *w = qobject_cast<T *>(window->control(name));
        if (!w)
            qFatal("no control %s", qPrintable(name));
        return w;
    }

    // Every control in view: Ctrl+J, then a double-click on the picture.
    void showAll()
    {
        session->openExtendedView();
        session->openFullView();
    }

    // A real mouse click in the middle of the control, whatever height the window has.
    void click(const QString &name) { QTest::mouseClick(widget(name), Qt::LeftButton); }
    void mousePress(const QString &name, Qt::MouseButton b = Qt::LeftButton)
    {
        QTest::mousePress(widget(name), b);
    }
    void mouseRelease(const QString &name, Qt::MouseButton b = Qt::LeftButton)
    {
        QTest::mouseRelease(widget(name), b);
    }

    QString shown(const char *label) const { return widget<PanelLabel>(label)->text(); }
};
