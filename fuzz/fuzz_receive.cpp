// The whole receive path of a real window on the manual clock and the fake port, fed arbitrary
// chunks of received bytes between clock advances, button clicks, presses and releases of the
// hold buttons, typed commands and losses of the line. After every step the window must still
// tell the truth:
//  - ReceiveBuffer is every character received since it was last emptied, at most 32767;
//  - the RXD line is the rendering of that buffer right after a receive, and otherwise blank,
//    the no-reply marker (only at the end of a reply window) or what the last receive showed;
//  - the status line is unchanged or the decoder's text for the RXD line, blank after the
//    display clear, or the plain "not open" note after a send that found the port closed;
//  - every byte written is asked for: a button's code and CR, the repeat code of the held
//    button, or the typed text and CR; nothing at all while the port is closed.
//
// Input: a sequence of steps, each an opcode byte and its operands (see step()).
#include "fuzz_check.h"

#include "app/form1.h"
#include "core/manual_scheduler.h"
#include "fake_serial_port.h"
#include "link/traffic.h"
#include "panel/commands.h"
#include "panel/widgets.h"
#include "status/decoder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

const QString kNoReply = QStringLiteral(" X X X X");
constexpr qsizetype kCap = Form1::kReceiveBufferLimit;

class Reader
{
public:
    Reader(const uint8_t *data, size_t size) : data_(data), size_(size) {}
    bool atEnd() const { return size_ == 0; }
    uint8_t byte()
    {
        if (size_ == 0)
            return 0;
        --size_;
        return *data_++;
    }
    QByteArray bytes(size_t n)
    {
        n = std::min(n, size_);
        QByteArray out(reinterpret_cast<const char *>(data_), qsizetype(n));
        data_ += n;
        size_ -= n;
        return out;
    }

private:
    const uint8_t *data_;
    size_t size_;
};

QString latin1(const QByteArray &bytes)
{
    QString out;
    for (const char b : bytes)
        out += QChar(char16_t(static_cast<unsigned char>(b)));
    return out;
}

QString commandString(const char *code)
{
    return QString::fromLatin1(code) + QLatin1Char('\r');
}

QString notOpen(int port)
{
    return QStringLiteral(" COM%1 not open").arg(port);
}

class Run
{
public:
    Run()
    {
        Form1::Platform platform;
        platform.warning = [this](Form1 *, const QString &) { ++warnings_; };
        platform.endProgram = [] {};
        form_ = std::make_unique<Form1>(clock_, port_, platform);
        FUZZ_CHECK(port_.portOpen(), "the fake port did not open at start-up");
    }

    void step(Reader &in)
    {
        const uint8_t op = in.byte();
        Before before(*form_, port_);
        switch (op % 12) {
        case 0:
        case 1: receive(in.bytes(in.byte())); break;
        case 2: // a flood: one byte many times, to reach the buffer's limit quickly
        {
            const char b = char(in.byte());
            receive(QByteArray((in.byte() + 1) * 256, b));
            break;
        }
        case 3:
        case 4: {
            const int coarse = in.byte();
            advance(coarse * 8 + in.byte() % 8, before);
            break;
        }
        case 5: clickOneShot(in.byte(), before); break;
        case 6:
        case 7: {
            const uint8_t which = in.byte();
            press(which, in.byte() & 1 ? Qt::RightButton : Qt::LeftButton, before);
            break;
        }
        case 8: release(in.byte(), before); break;
        case 9: typed(in, before); break;
        case 10: portEvent(in.byte(), before); break;
        default:
            port_.notify(SerialPort::Receive + 1 + op);
            checkNothingChanged(before);
            break;
        }
        checkAlways();
    }

private:
    // What the window showed and held before a step.
    struct Before
    {
        Before(const Form1 &f, const FakeSerialPort &p)
            : txd(f.Label11->text()), rxd(f.Label12->text()), status(f.Label22->text()),
              buffer(f.ReceiveBuffer), lastCommand(f.LastCommand), pressure(f.PressureValue),
              awaiting(f.AwaitingReply), held(f.HeldKey), writes(p.writes.size()),
              open(p.portOpen()), replyWindow(f.Timer2->isEnabled()), port(p.commPort())
        {
        }
        QString txd, rxd, status, buffer, lastCommand;
        qint64 pressure;
        quint8 awaiting, held;
        qsizetype writes;
        bool open, replyWindow;
        int port;
    };

    QList<QByteArray> newWrites(const Before &b) const
    {
        QList<QByteArray> out;
        for (qsizetype i = b.writes; i < port_.writes.size(); ++i)
            out << port_.writes[i].bytes;
        return out;
    }

    QAbstractButton *button(std::string_view name) const
    {
        auto *b = qobject_cast<QAbstractButton *>(
            form_->control(QString::fromLatin1(name.data(), qsizetype(name.size()))));
        FUZZ_CHECK(b, "no button %.*s", int(name.size()), name.data());
        return b;
    }

    void receive(const QByteArray &bytes)
    {
        Before b(*form_, port_);
        port_.receive(bytes);
        if (!b.open) {
            checkNothingChanged(b); // a closed port hears nothing
            return;
        }
        model_ = (model_ + latin1(bytes)).left(kCap);
        FUZZ_CHECK(form_->ReceiveBuffer == model_, "received characters lost or changed");
        lastRxd_ = renderTraffic(model_);
        FUZZ_CHECK(form_->Label12->text() == lastRxd_,
                   "the RXD line is not the rendering of the buffer (%lld characters)",
                   static_cast<long long>(model_.size()));
        FUZZ_CHECK(form_->AwaitingReply == 0, "a reply is still awaited after a receive");
        FUZZ_CHECK(form_->Label11->text() == b.txd, "a receive changed the TXD line");
        qint64 pressure = b.pressure;
        const auto text = status::decodeReply(b.lastCommand, lastRxd_, &pressure);
        FUZZ_CHECK(form_->Label22->text() == (text ? *text : b.status),
                   "the status line is not the decoder's text");
        FUZZ_CHECK(form_->PressureValue == pressure, "PressureValue differs from the decoder's");
        FUZZ_CHECK(newWrites(b).isEmpty(), "a receive wrote to the port");
    }

    void advance(int ms, const Before &b)
    {
        const quint8 held = form_->HeldKey;
        const int period = form_->Timer1->interval();
        clock_.advance(ms);
        const QList<QByteArray> writes = newWrites(b);
        if (held == 0 || !b.open) {
            FUZZ_CHECK(writes.isEmpty(), "a timer wrote with nothing held");
        } else {
            const QByteArray repeat = commandString(panel::repeatCode(held)).toLatin1();
            for (const QByteArray &w : writes)
                FUZZ_CHECK(w == repeat, "a repeat wrote the wrong bytes");
            FUZZ_CHECK(writes.size() <= ms / period + 1, "%lld repeats in %d ms at %d ms",
                       static_cast<long long>(writes.size()), ms, period);
        }
        checkBufferKeptOrEmptied(b);
        const QString rxd = form_->Label12->text();
        FUZZ_CHECK(rxd == b.rxd || rxd.isEmpty() || rxd == kNoReply, "the RXD line changed");
        if (held == 0 && rxd != b.rxd) {
            // Without a repeat, only the end of the reply window shows the marker, and only for
            // a command that got nothing; only the display clear blanks, and it blanks all three.
            if (rxd == kNoReply)
                FUZZ_CHECK(b.awaiting == 1, "the no-reply marker after a reply");
            else
                FUZZ_CHECK(form_->Label11->text().isEmpty() && form_->Label22->text().isEmpty(),
                           "the RXD line blanked alone");
        }
        const QString status = form_->Label22->text();
        FUZZ_CHECK(status == b.status || status.isEmpty() || status == notOpen(b.port),
                   "the status line changed on a timer");
        FUZZ_CHECK(form_->PressureValue == b.pressure, "PressureValue changed on a timer");
    }

    // A send by a button: exactly its bytes when the port is open, nothing and a plain note on
    // the status line when it is not.
    void checkSent(const Before &b, const QString &command, const QByteArray &bytes)
    {
        const QList<QByteArray> writes = newWrites(b);
        FUZZ_CHECK(form_->LastCommand == command, "LastCommand is not the command sent");
        if (b.open) {
            FUZZ_CHECK(writes.size() == 1 && writes[0] == bytes,
                       "a button wrote other bytes than its command");
            FUZZ_CHECK(form_->Label22->text() == b.status, "a send changed the status line");
        } else {
            FUZZ_CHECK(writes.isEmpty(), "a send wrote to a closed port");
            FUZZ_CHECK(form_->Label22->text() == notOpen(b.port), "no note of the closed port");
        }
        FUZZ_CHECK(form_->Label11->text() == renderTraffic(latin1(bytes)),
                   "the TXD line is not what went out");
        FUZZ_CHECK(form_->AwaitingReply == 1, "no reply awaited after a send");
        FUZZ_CHECK(form_->Timer2->isEnabled() && form_->Timer4->isEnabled(),
                   "a send did not open the reply window");
        FUZZ_CHECK(form_->Label12->text() == b.rxd, "a send changed the RXD line");
        // A send that opens a reply window starts from an empty buffer; one inside an open
        // window keeps what has arrived.
        if (b.replyWindow)
            FUZZ_CHECK(form_->ReceiveBuffer == b.buffer, "a send in a reply window lost a reply");
        else
            FUZZ_CHECK(form_->ReceiveBuffer.isEmpty(), "a new reply window kept stale characters");
        checkBufferKeptOrEmptied(b);
    }

    void clickOneShot(uint8_t which, const Before &b)
    {
        const auto rows = panel::oneShots();
        const panel::OneShot &row = rows[which % rows.size()];
        button(row.control)->click();
        checkSent(b, commandString(row.code), commandString(row.code).toLatin1());
    }

    void press(uint8_t which, Qt::MouseButton mouse, const Before &b)
    {
        const auto rows = panel::holds();
        const panel::Hold &row = rows[which % rows.size()];
        QMouseEvent event(QEvent::MouseButtonPress, QPointF(4, 4), QPointF(4, 4), mouse, mouse,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(button(row.control), &event);
        endedEarly_ = false;
        FUZZ_CHECK(form_->HeldKey == row.key, "HeldKey is not the pressed button's");
        checkSent(b, commandString(row.code), commandString(row.code).toLatin1());
    }

    void release(uint8_t which, const Before &b)
    {
        // Mostly the button that is down, as the mouse delivers it; sometimes any other.
        const auto rows = panel::holds();
        const panel::Hold *row = panel::holdForKey(form_->HeldKey);
        if (!row || which & 0x80)
            row = &rows[which % rows.size()];
        const Qt::MouseButton mouse = which & 0x40 ? Qt::RightButton : Qt::LeftButton;
        QMouseEvent event(QEvent::MouseButtonRelease, QPointF(4, 4), QPointF(4, 4), mouse,
                          Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(button(row->control), &event);
        if (endedEarly_ && b.held == 0) {
            // The hold was ended already by the warning; its release changes nothing.
            endedEarly_ = false;
            FUZZ_CHECK(form_->Label11->text() == b.txd && form_->Label12->text() == b.rxd &&
                           form_->ReceiveBuffer == b.buffer,
                       "the release of a hold ended early acted again");
        } else {
            FUZZ_CHECK(form_->Label11->text().isEmpty() && form_->Label12->text().isEmpty(),
                       "a release left the TXD or RXD line");
            FUZZ_CHECK(form_->ReceiveBuffer.isEmpty(), "a release kept the buffer");
            FUZZ_CHECK(!form_->Timer2->isEnabled(), "a release left the reply window open");
        }
        FUZZ_CHECK(form_->HeldKey == 0, "a release left a button held");
        FUZZ_CHECK(!form_->Timer1->isEnabled(), "a release left the repeat running");
        FUZZ_CHECK(newWrites(b).isEmpty(), "a release wrote to the port");
        FUZZ_CHECK(form_->Label22->text() == b.status, "a release changed the status line");
        const QString rxd = form_->Label12->text();
        FUZZ_CHECK(rxd == b.rxd || rxd.isEmpty(), "a release changed the RXD line");
        checkBufferKeptOrEmptied(b);
    }

    // A command typed into the CMD box and sent. Byte values 0xFC to 0xFE stand for characters
    // without a Latin-1 code: a surrogate pair, a lone surrogate and the euro sign.
    void typed(Reader &in, const Before &b)
    {
        const QByteArray keys = in.bytes(in.byte());
        QString text;
        QByteArray bytes;
        for (const char k : keys) {
            switch (static_cast<unsigned char>(k)) {
            case 0xFC: text += QString::fromUtf8("\xF0\x9F\x98\x80"); break;
            case 0xFD: text += QChar(char16_t(0xD800)); break;
            case 0xFE: text += QChar(char16_t(0x20AC)); break;
            default: text += QChar(char16_t(static_cast<unsigned char>(k))); break;
            }
            bytes += static_cast<unsigned char>(k) >= 0xFC && static_cast<unsigned char>(k) <= 0xFE
                         ? '?'
                         : k;
        }
        form_->Text1->setText(text);
        FUZZ_CHECK(form_->Text1->text() == text, "the CMD box changed the text");
        button("Command95")->click();
        checkSent(b, text + QLatin1Char('\r'), bytes + '\r');
    }

    void portEvent(uint8_t what, const Before &b)
    {
        const int warningsBefore = warnings_;
        switch (what % 4) {
        case 0: port_.loseLine(); break;
        case 1: // a port chosen again, with port 1 or 2 there or not
        case 2:
            port_.missingPorts.clear();
            if (what & 0x10)
                port_.missingPorts << 1;
            if (what & 0x20)
                port_.missingPorts << 2;
            button(what % 4 == 1 ? "Option1" : "Option2")->click();
            break;
        default: button(what & 0x10 ? "Option10" : "Option9")->click(); break;
        }
        // A warning while a button is held ends the hold: its repeat must not run on unseen.
        if (warnings_ > warningsBefore && b.held != 0) {
            endedEarly_ = true;
            FUZZ_CHECK(form_->HeldKey == 0 && !form_->Timer1->isEnabled(),
                       "a warning left the repeat running");
        }
        FUZZ_CHECK(newWrites(b).isEmpty(), "a port change wrote to the port");
        FUZZ_CHECK(form_->Label22->text() == b.status, "a port change changed the status line");
        const QString rxd = form_->Label12->text();
        FUZZ_CHECK(rxd == b.rxd || rxd.isEmpty(), "a port change changed the RXD line");
        checkBufferKeptOrEmptied(b);
    }

    void checkNothingChanged(const Before &b)
    {
        FUZZ_CHECK(form_->Label11->text() == b.txd && form_->Label12->text() == b.rxd &&
                       form_->Label22->text() == b.status,
                   "a notification without characters changed the monitor");
        FUZZ_CHECK(form_->ReceiveBuffer == b.buffer && form_->AwaitingReply == b.awaiting,
                   "a notification without characters changed the state");
        FUZZ_CHECK(newWrites(b).isEmpty(), "a notification wrote to the port");
    }

    // Steps other than a receive may empty the buffer, never change it otherwise.
    void checkBufferKeptOrEmptied(const Before &b)
    {
        if (form_->ReceiveBuffer.isEmpty())
            model_.clear();
        else
            FUZZ_CHECK(form_->ReceiveBuffer == b.buffer, "the buffer changed without a receive");
    }

    void checkAlways()
    {
        FUZZ_CHECK(form_->ReceiveBuffer.size() <= kCap, "the buffer passed its limit");
        FUZZ_CHECK(form_->ReceiveBuffer == model_, "the buffer is not what was received");
        const QString rxd = form_->Label12->text();
        FUZZ_CHECK(rxd.isEmpty() || rxd == kNoReply || rxd == lastRxd_,
                   "the RXD line shows something never received");
        FUZZ_CHECK(!port_.portOpen() || port_.commPort() == 1 || port_.commPort() == 2,
                   "an open port that is neither COM1 nor COM2");
        for (const auto &w : port_.writes)
            FUZZ_CHECK(w.bytes.endsWith('\r'), "a write without its CR");
    }

    ManualScheduler clock_;
    FakeSerialPort port_{&clock_};
    int warnings_ = 0;
    bool endedEarly_ = false; // a warning ended a hold whose release is still to come
    std::unique_ptr<Form1> form_;
    QString model_;   // every character received since the window last emptied its buffer
    QString lastRxd_; // the RXD line the last receive produced
};

void quiet(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    // The offscreen platform's chatter is noise here; anything worse is worth seeing.
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quiet);
    // Our own arguments: libFuzzer's must not reach Qt's parser.
    static int argc = 1;
    static char name[] = "fuzz_receive";
    static char *argv[] = {name, nullptr};
    // Never destroyed: at exit Qt's own globals go first, and the application must not outlive
    // them in a destructor.
    static QApplication *app = new QApplication(argc, argv);
    Q_UNUSED(app);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Reader in(data, size);
    Run run;
    for (int steps = 0; !in.atEnd() && steps < 256; ++steps)
        run.step(in);
    return 0;
}
