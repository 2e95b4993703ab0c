#pragma once

#include "core/scheduler.h"
#include "link/serial_port.h"

#include <QHash>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QFrame;
class QLineEdit;
class QPushButton;
class QRadioButton;
class PanelImage;
class PanelLabel;
namespace panel {
struct Hold;
struct OneShot;
} // namespace panel

// The window: every control, every piece of state the panel keeps, and every handler. It is the
// only place that changes that state, and it does so only in its handlers, one event at a time.
class Form1 final : public QWidget
{
    Q_OBJECT
public:
    // What the window asks of the desktop around it; tests replace both.
    struct Platform
    {
        // A warning for the operator (a message box with the warning icon and OK).
        std::function<void(Form1 *, const QString &)> warning;
        // Ends the program.
        std::function<void()> endProgram;
    };

    // Builds the window and runs Form_Load.
    Form1(Scheduler &scheduler, SerialPort &port, Platform platform = {}, QWidget *parent = nullptr);
    ~Form1() override;

    // The application's short title, used on message boxes.
    static QString appTitle();

    // State ------------------------------------------------------------------------------------
    // Read by tests and by nothing else outside the window.
    QString LastCommand;
    QString ReceiveBuffer;
    quint8 AwaitingReply = 0;
    quint8 HeldKey = 0;
    quint8 ArrowSpeed = 0;
    QString PortSettings;
    qint16 ExtendedView = 0;
    qint64 PressureValue = 0;

    // The most characters ReceiveBuffer holds; later characters are dropped until it empties.
    static constexpr qsizetype kReceiveBufferLimit = 32767;

    // Controls ---------------------------------------------------------------------------------
    SerialPort &MSComm1;
    std::unique_ptr<WindowTimer> Timer1, Timer2, Timer3, Timer4;

    QFrame *Frame8 = nullptr;
    QRadioButton *Option1 = nullptr, *Option2 = nullptr, *Option9 = nullptr, *Option10 = nullptr;
    QPushButton *Command16 = nullptr, *Command33 = nullptr, *Command34 = nullptr;
    PanelLabel *Label11 = nullptr, *Label12 = nullptr, *Label22 = nullptr;
    QLineEdit *Text1 = nullptr;
    PanelImage *Image1 = nullptr;

    // Any control of the layout by name, or nullptr.
    QWidget *control(const QString &name) const { return controls_.value(name); }

    // The window's outer height in twips, as last set.
    int Height() const { return heightTwips_; }
    void setHeight(int outerTwips);

    // Handlers ---------------------------------------------------------------------------------
    void Form_Load();
    void Command33_Click();
    void Option1_Click();
    void Option2_Click();
    void Option9_Click();
    void Option10_Click();
    void Timer3_Timer();
    void Command16_Click();

    void Hyouji(const QString &data, quint8 mode);
    void MSComm1_OnComm();
    void Timer2_Timer();
    void Timer4_Timer();

    // The one-shot click of a row of the command table ("Command17_Click" is the click of row
    // Command17), and the press, release and repeat of the hold buttons.
    void Command_Click(const panel::OneShot &row);
    void Command_MouseDown(const panel::Hold &row);
    void Command_MouseUp(const panel::Hold &row);
    void Timer1_Timer();

    // The hidden views.
    void Form_KeyDown(int keyCode, int shift);
    void Image1_DblClick();
    void Command34_Click();

    // The command box: SEND and CLS.
    void Command95_Click();
    void Command96_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void connectButtons();
    bool holdButtonEvent(const panel::Hold &row, QEvent *event);
    void endHoldEarly();

    void portChange(int port, int otherPort);
    void speedChange(const QString &settings);
    void portLost(const QString &description);
    void warn(const QString &text);

    void appendReceived(const QString &chars);
    void emptyReceiveBuffer();

    Scheduler &scheduler_;
    Platform platform_;
    QHash<QString, QWidget *> controls_;
    int heightTwips_ = 0;

    // The RXD line lives on Label12 alone. While the label still shows what was rendered there
    // last (its revision is the one noted), a notification renders only the characters it
    // brought and adds them to the label's line, so its cost does not grow with the buffer;
    // a second copy of the line would have to be copied whole at every notification.
    qsizetype rxdRendered_ = 0;
    qint64 rxdRevision_ = -1; // -1: the label does not show ReceiveBuffer

    // The hold buttons by widget, for the mouse events.
    QHash<QObject *, const panel::Hold *> holdButtons_;
    // A hold ended by the window losing the mouse; the real release still to come is swallowed.
    bool holdEndedEarly_ = false;
};
