// SPDX-License-Identifier: MIT
#pragma once

#include "core/scheduler.h"
#include "line/line.h"
#include "line/line_settings.h"
#include "protocol/answer.h"
#include "protocol/catalogue.h"

#include <QObject>
#include <QString>

#include <memory>

class DeviceMap;

// The panel's behaviour without a window: everything the panel remembers between events and
// the only place that changes it, one event at a time. It takes what the operator does (send a
// command, press and release a hold button, choose a port or a speed, open a view) and tells
// what the operator sees through its signals: the TXD, RXD and status lines, the view, the
// settings frame, warnings. The window and odra are faces on it.
class PanelSession final : public QObject
{
    Q_OBJECT
public:
    // The window's views, as the data-view button and the hidden key combination move between
    // them. Extended and Full are the ones Ctrl+J has opened; only from them does a double-click
    // on the picture reach Full.
    enum class View : quint8 {
        Opened,   // compact, as at start: the data-view button not yet shown
        Extended, // Ctrl+J: the monitor and the status queries
        Full,     // then a double-click on the picture: everything
        Compact,  // the data-view button closed the monitor
        DataView, // the data-view button opened the monitor
    };

    // The texts the session shows on the monitor lines and in warnings.
    static const QString kNoReply; // the RXD line of a command that got nothing: " X X X X"

    // The most characters kept of one reply; later characters are dropped until the reply
    // window ends.
    static constexpr qsizetype kReceiveLimit = 32767;

    // How long a key that works a hold button may stay up and still be the same hold: the
    // keyboard's auto-repeat arrives as up and down again at once, and not always marked as
    // such (a screen reader's key handling comes between); no hand lets a key up and presses it
    // again that fast.
    static constexpr int kKeyRepeatGraceMs = 50;

    PanelSession(Scheduler &scheduler, Line &line, DeviceMap &devices, QObject *parent = nullptr);
    ~PanelSession() override;

    // Start-up: the state reset, COM1 opened at 19200,N,8,1 (a warning when it cannot be).
    void start();

    // What the operator does --------------------------------------------------------------------
    void send(const protocol::Command &command); // a one-shot button's click
    void sendText(const QString &text);          // the command box's SEND: the text as typed
    void press(const protocol::Command &command);   // a hold button goes down
    void release(const protocol::Command &command); // a hold button comes up
    // A hold button worked by a key: the press, unless it follows the same button's key
    // release within kKeyRepeatGraceMs (then the hold simply goes on); the release, once the
    // grace has passed without such a press.
    void keyPress(const protocol::Command &command);
    void keyRelease(const protocol::Command &command);
    // The mouse, the keyboard or the window's activation lost while a hold button is down: the
    // hold ends as at a release, and the real release still to come changes nothing.
    void endHoldEarly();
    void openSettings();        // the COM button: the settings frame, for five seconds
    void choosePort(int port);  // 1 or 2
    // The device dialog: the port is this device from now on (and at the next start), and is
    // opened as if chosen in the settings frame.
    void chooseDevice(int port, const QString &device);
    void chooseSpeed(qint32 baud);
    void openExtendedView();    // Ctrl+J
    void openFullView();        // a double-click on the picture
    void toggleDataView();      // the data-view button
    // END, or a request to stop from outside (a signal): what is queued goes out, for at most
    // Line::kEndDrainMs, the port closes, then the program ends.
    void end();

    // What the operator sees ----------------------------------------------------------------------
    QString transmitLine() const { return transmitLine_; }
    QString receiveLine() const { return receiveLine_; }
    QString statusLine() const { return statusLine_; }
    View view() const { return view_; }
    bool settingsOpen() const { return settingsOpen_; }
    int port() const { return port_; }
    QString device() const { return device_; } // the device of the port last opened
    const DeviceMap &devices() const { return devices_; }
    LineSettings settings() const { return settings_; }
    bool portOpen() const { return line_.isOpen(); }

    // What it remembers, read-only -----------------------------------------------------------------
    QString lastCommand() const { return lastCommand_; }
    QString received() const { return received_; } // since the reply window last emptied it
    bool awaitingReply() const { return awaitingReply_; }
    const protocol::Command *held() const { return held_; }
    protocol::ArrowSpeed arrowSpeed() const { return arrowSpeed_; }
    qint64 pressureValue() const { return pressureValue_; }
    // The answer to the latest command as far as it has come.
    protocol::Answer answerSoFar() const;
    // The line's own words for its last failure (a write it refused).
    QString lineFailure() const { return line_.failureDetail(); }
    // The four timers by role.
    const PeriodicTimer &repeat() const { return *repeat_; }
    const PeriodicTimer &replyWindow() const { return *replyWindow_; }
    const PeriodicTimer &settingsClose() const { return *settingsClose_; }
    const PeriodicTimer &displayClear() const { return *displayClear_; }
    const PeriodicTimer &keyRelease() const { return *keyRelease_; }

signals:
    void transmitLineChanged(const QString &line);
    // The RXD line replaced whole, or grown at its end by tokens (a reply arriving in pieces),
    // so that a long line costs no more to keep up than what arrives.
    void receiveLineChanged(const QString &line);
    void receiveLineExtended(const QString &tokens);
    void statusLineChanged(const QString &line);
    void viewChanged(PanelSession::View view);
    void settingsOpenChanged(bool open);
    // port: the port whose device could not be opened or stopped working, for which the
    // operator may choose another device; 0 for any other warning.
    void warning(const QString &text, int port);
    void ended();
    // The bytes of a command as the line took them, and bytes as they arrived: for a log, and
    // for measuring the panel from inside.
    void sent(const QByteArray &bytes);
    void arrived(const QByteArray &bytes);
    // The answer to the latest command: once it is whole, or, when it is not whole by the end
    // of its reply window, then, marked incomplete with what did arrive (and once more should it
    // become whole before the next command). A command followed by another before either
    // happened has no answer of its own.
    void answered(const protocol::Answer &answer);
    // The port option the operator marked (and start-up marks COM1): it stays marked when its
    // device fails, as the operator left it.
    void portChosen(int port);
    // The port now open, and the device it is.
    void portOpened(int port, const QString &device);
    // The line settings now in force, from start-up and every speed change.
    void settingsChanged(const LineSettings &settings);

private:
    void transmit(const QString &command);
    void takeArrivals();
    void replyWindowEnded();
    void displayCleared();
    void repeatTick();
    void releaseHold(const protocol::Command &command);
    void finishKeyRelease();
    void lineLost(const QString &cause);
    void connectFailed();
    void warn(const QString &text, int port = 0);
    QString openFailure(int port, const QString &device) const;
    // How a warning names the port: "COM1 (/dev/ttyS0)", or the device alone where it was
    // given in place of a port (odra --port COM3).
    QString portName(int port, const QString &device) const;

    void setTransmitLine(const QString &line);
    void setReceiveLine(const QString &line);
    void setStatusLine(const QString &line);
    void setView(View view);
    void setSettingsOpen(bool open);
    void emptyReceived();
    void startAnswer();
    void takeAnswer(QByteArrayView bytes, qsizetype room);
    void answerWindowEnded();
    bool answerWhole() const;
    void opened(const QString &device);

    Line &line_;
    DeviceMap &devices_;

    std::unique_ptr<PeriodicTimer> repeat_, replyWindow_, settingsClose_, displayClear_;
    // A key release waiting out its grace, and the button it releases.
    std::unique_ptr<PeriodicTimer> keyRelease_;
    const protocol::Command *keyReleasing_ = nullptr;

    QString lastCommand_;
    QString received_;
    bool awaitingReply_ = false;
    const protocol::Command *held_ = nullptr;
    // A hold ended early (see endHoldEarly); its real release is still to come.
    bool holdEndedEarly_ = false;
    protocol::ArrowSpeed arrowSpeed_ = protocol::ArrowSpeed::AsStarted;
    qint64 pressureValue_ = 0;
    int port_ = 1;
    QString device_; // the device of the port last opened
    // Where the port number falls back to when the connection now being made fails, as a
    // failed port change falls back at once.
    int portIfConnectFails_ = 1;
    LineSettings settings_;
    // Whether the operator has been told that a device choice could not be remembered: once a
    // run is enough.
    enum class MemoryNotice : quint8 { NotYet, Given };
    MemoryNotice memoryNotice_ = MemoryNotice::NotYet;
    View view_ = View::Opened;
    bool settingsOpen_ = false;

    QString transmitLine_, receiveLine_, statusLine_;
    // Whether the RXD line is the rendering of received_, so that what arrives next only adds
    // its own tokens to it.
    bool receiveLineShowsReply_ = false;

    // The answer to the latest send, which the status line decodes: what received_ took since
    // that send, without ACKs in front that acknowledge earlier commands. Whatever arrived
    // before the send answered something else, however the RXD line shows it.
    protocol::AnswerFramer answer_;
    QString answerLine_; // its rendering, as the decoder reads it
    // What of it arrived before the receive buffer was last emptied (its reply window ended, a
    // hold came up): the status line starts afresh then, the answer goes on.
    QByteArray answerEarlier_;
    enum class AnswerState : quint8 {
        None,       // nothing sent yet
        Awaited,    // sent; answered() not yet emitted
        Incomplete, // its window ended before it was whole; answered() once more if it becomes so
        Given,      // answered() with the whole answer
    };
    AnswerState answerState_ = AnswerState::None;
    protocol::Answer given_; // the whole answer, once answered() told it
};
