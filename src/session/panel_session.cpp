// SPDX-License-Identifier: MIT
// The session's start, its port and speed, the settings frame, the views and the warnings.
#include "session/panel_session.h"

#include "line/device_address.h"
#include "line/device_map.h"
#include "session/device_advice.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSession, "odra.session")

using protocol::Command;

const QString PanelSession::kNoReply = QStringLiteral(" X X X X");

PanelSession::PanelSession(Scheduler &scheduler, Line &line, DeviceMap &devices, QObject *parent)
    : QObject(parent), line_(line), devices_(devices),
      repeat_(scheduler.createTimer(protocol::kStartRepeatMs)),
      replyWindow_(scheduler.createTimer(protocol::kStartReplyWindowMs)),
      settingsClose_(scheduler.createTimer(protocol::kSettingsCloseMs)),
      displayClear_(scheduler.createTimer(protocol::kStartDisplayClearMs)),
      keyRelease_(scheduler.createTimer(kKeyRepeatGraceMs))
{
    repeat_->setHandler([this] { repeatTick(); });
    replyWindow_->setHandler([this] { replyWindowEnded(); });
    settingsClose_->setHandler([this] {
        setSettingsOpen(false);
        settingsClose_->setEnabled(false);
    });
    displayClear_->setHandler([this] { displayCleared(); });
    keyRelease_->setHandler([this] { finishKeyRelease(); });
    connect(&line_, &Line::readyRead, this, &PanelSession::takeArrivals);
    connect(&line_, &Line::lost, this, &PanelSession::lineLost);
    connect(&line_, &Line::openFailed, this, &PanelSession::connectFailed);
}

PanelSession::~PanelSession() = default;

void PanelSession::start()
{
    settings_ = LineSettings{};
    held_ = nullptr;
    awaitingReply_ = false;
    emptyReceived();

    emit settingsChanged(settings_);
    port_ = 1;
    // A remembered setting that names no device is passed over; said once, where the operator
    // can find the file and mend it.
    for (const int port : {1, 2})
        if (devices_.rememberedIsUnusable(port))
            qCWarning(lcSession).noquote()
                << tr("%1: %2 is not a device name, and is passed over: COM%3 is %4 until a "
                      "device is chosen.")
                       .arg(devices_.memoryFile(), DeviceMap::settingsKey(port),
                            QString::number(port), devices_.device(port));
    const QString device = devices_.device(port_);
    const bool opened = line_.open(device, settings_);
    if (opened)
        this->opened(device);
    else
        warn(openFailure(port_, device), port_);
    portIfConnectFails_ = port_;
    // Marking COM1 at start runs its port change, which closes and reopens the port just
    // opened. When COM1 could not be opened that would only fail and warn a second time: the
    // panel goes on with the port closed and one warning, and choosing COM1 tries again. A
    // connection still being made is left to stand up rather than be made twice.
    if (opened && line_.isOpen())
        choosePort(1);
    else
        emit portChosen(1);
}

void PanelSession::opened(const QString &device)
{
    device_ = device;
    emit portOpened(port_, device_);
}

void PanelSession::openSettings()
{
    setSettingsOpen(true);
    settingsClose_->setEnabled(true);
}

void PanelSession::choosePort(int port)
{
    emit portChosen(port);
    const int otherPort = port == 1 ? 2 : 1;
    QString failure;
    int failedPort = 0; // set when it is the chosen port's device that failed
    if ((line_.isOpen() || line_.isConnecting()) && !line_.close())
        failure = tr("COM%1 could not be closed.\n(%2)").arg(port_).arg(line_.failureDetail());
    // The number changes only on a closed port: a port that would not close keeps its own.
    if (!line_.isOpen())
        port_ = port;
    // The chosen port is opened even when the port was closed before, so that a failed change
    // or a late-plugged adapter is mended by choosing the port again.
    if (failure.isEmpty()) {
        const QString device = devices_.device(port);
        if (line_.open(device, settings_))
            opened(device);
        else {
            failure = openFailure(port, device);
            failedPort = port;
        }
        portIfConnectFails_ = otherPort;
    }

    if (!failure.isEmpty()) {
        warn(failure, failedPort);
        if (!line_.isOpen())
            port_ = otherPort; // the port stays closed; the frame stays until its time runs out
    } else {
        setSettingsOpen(false);
    }
}

void PanelSession::chooseDevice(int port, const QString &device)
{
    const DeviceMap::Remembered remembered = devices_.choose(port, device);
    choosePort(port);
    if (remembered != DeviceMap::Remembered::NotWritten || memoryNotice_ == MemoryNotice::Given)
        return;
    memoryNotice_ = MemoryNotice::Given;
    warn(tr("COM%1 is %2 for this run only: the choice cannot be remembered for the next start, "
            "for the settings file %3 cannot be written (%4).")
             .arg(QString::number(port), device, devices_.memoryFile(), devices_.memoryProblem()),
         0);
}

void PanelSession::chooseSpeed(qint32 baud)
{
    settings_.baud = baud;
    emit settingsChanged(settings_);
    // An open port goes on at the new speed, without reopening; a connection still being made
    // takes the new speed with it.
    if ((line_.isOpen() || line_.isConnecting()) && !line_.setSettings(settings_))
        qCWarning(lcSession).noquote() << line_.failureDetail();
    setSettingsOpen(false);
}

void PanelSession::end()
{
    line_.drain(Line::kEndDrainMs);
    line_.close();
    emit ended();
}

QString PanelSession::portName(int port, const QString &device) const
{
    if (devices_.namesByDevice(port))
        return device;
    return QStringLiteral("COM%1 (%2)").arg(port).arg(device);
}

QString PanelSession::openFailure(int port, const QString &device) const
{
    // Every argument at once: a device's name may hold "%1" of its own.
    const QString name = portName(port, device);
    switch (line_.failure()) {
    case Line::Failure::Missing:
        return tr("%1 does not exist.\nCheck the cable or adapter, or %2.\n(%3)")
            .arg(name, howToChoose(devices_, port), line_.failureDetail());
    case Line::Failure::Refused:
        return tr("%1 cannot be opened: it is in use by another program, or this user may not "
                  "open it (on Debian, join the \"dialout\" group).\n(%2)")
            .arg(name, line_.failureDetail());
    case Line::Failure::Unreachable:
        return tr("%1 cannot be reached: %2.\nCheck that the device server is on and its "
                  "address is right, or %3.")
            .arg(name, line_.failureDetail(), howToChoose(devices_, port));
    case Line::Failure::BadName:
        return tr("%1 is not a device the panel can open: %2.\nTo use another device, %3.")
            .arg(name, line_.failureDetail(), howToChoose(devices_, port));
    case Line::Failure::None:
    case Line::Failure::Other: break;
    }
    return tr("%1 cannot be opened.\n(%2)").arg(name, line_.failureDetail());
}

void PanelSession::lineLost(const QString &cause)
{
    const QString check = DeviceAddress::parse(device_).isNetwork()
                              ? tr("Check the device server and the network")
                              : tr("Check the cable or adapter");
    warn(tr("%1 stopped working and has been closed: %2.\n%3, then choose the port again.")
             .arg(portName(port_, device_), cause, check),
         port_);
}

void PanelSession::connectFailed()
{
    // The same single warning as for a device that cannot be opened; the port stays closed and
    // choosing it again connects anew.
    const QString text = openFailure(port_, device_);
    const int failedPort = port_;
    port_ = portIfConnectFails_;
    warn(text, failedPort);
}

void PanelSession::warn(const QString &text, int port)
{
    // A warning takes the operator's attention from a held button: the repeat must not run on
    // unseen.
    endHoldEarly();
    qCWarning(lcSession).noquote() << text;
    emit warning(text, port);
}

// The views -----------------------------------------------------------------------------------

void PanelSession::openExtendedView()
{
    setView(View::Extended);
}

void PanelSession::openFullView()
{
    if (view_ == View::Extended || view_ == View::Full)
        setView(View::Full);
}

void PanelSession::toggleDataView()
{
    settingsClose_->setEnabled(false);
    // From a compact window the monitor opens; from any taller one the window goes compact.
    setView(view_ == View::Opened || view_ == View::Compact ? View::DataView : View::Compact);
    settingsClose_->setEnabled(true); // its five seconds start anew
}

void PanelSession::setView(View view)
{
    view_ = view;
    emit viewChanged(view);
}

void PanelSession::setSettingsOpen(bool open)
{
    if (settingsOpen_ == open)
        return;
    settingsOpen_ = open;
    emit settingsOpenChanged(open);
}
