// SPDX-License-Identifier: MIT
// The panel's session on the manual clock and the fake line, without a window, fed arbitrary
// chunks of received bytes between clock advances, one-shot sends, presses and releases of the
// hold buttons, typed commands, port and speed choices, losses of the line, and the operations
// that carry no traffic (a hold ended early, the settings frame, the views). After every step
// the session must still tell the truth:
//  - the reply buffer is every character received since it was last emptied, at most
//    PanelSession::kReceiveLimit;
//  - the RXD line is the rendering of that buffer right after a receive, and otherwise blank,
//    the no-reply marker (only at the end of a reply window) or what the last receive showed;
//  - the status line is unchanged or the decoder's text for the answer to the latest send (what
//    arrived since, less the ACKs in front owed to earlier commands), blank after the display
//    clear or the send of a status query, or the plain "not open" note after a send that found
//    the line closed;
//  - every byte written is asked for: a command's code and CR, the repeat code of the held
//    command, or the typed text and CR; nothing at all while the line is closed;
//  - a warning during a hold ends it, and the release of a hold ended early changes nothing;
//  - what the signals said is what the getters say: a window that follows the signals shows
//    the session's own lines, and sent() reports exactly the writes the line took;
//  - an open line is the device of the port the session reports, at the session's settings.
//
// Input: a sequence of steps, each an opcode byte and its operands (see step()).
#include "fuzz_check.h"

#include "fake_line.h"
#include "line/device_map.h"
#include "manual_clock.h"
#include "protocol/catalogue.h"
#include "protocol/decoder.h"
#include "protocol/traffic.h"
#include "session/panel_session.h"

#include <QCoreApplication>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

constexpr qsizetype kCap = PanelSession::kReceiveLimit;
const QString kCom1 = QStringLiteral("/dev/fake-com1");
const QString kCom2 = QStringLiteral("/dev/fake-com2");

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

QString commandString(const protocol::Command &command)
{
    return QString::fromLatin1(command.code.data(), qsizetype(command.code.size())) +
           QLatin1Char('\r');
}

QString notOpen(int port)
{
    return QStringLiteral(" COM%1 not open").arg(port);
}

// The catalogue's one-shots and hold buttons, each in catalogue order.
std::vector<const protocol::Command *> ofKind(bool holds)
{
    std::vector<const protocol::Command *> out;
    for (const protocol::Command &c : protocol::commands())
        if ((c.kind != protocol::Kind::OneShot) == holds)
            out.push_back(&c);
    return out;
}

class Run
{
public:
    Run()
    {
        devices_.setGiven(1, kCom1);
        devices_.setGiven(2, kCom2);
        session_ = std::make_unique<PanelSession>(clock_, line_, devices_);
        PanelSession *s = session_.get();
        // What a window following the signals would show.
        QObject::connect(s, &PanelSession::warning, [this] { ++warnings_; });
        QObject::connect(s, &PanelSession::transmitLineChanged, [this](const QString &line) {
            shownTxd_ = line;
            if (!line.isEmpty()) // a send: its answer starts with what arrives next
                answerStartsAnew(true);
        });
        QObject::connect(s, &PanelSession::receiveLineChanged,
                         [this](const QString &line) { shownRxd_ = line; });
        QObject::connect(s, &PanelSession::receiveLineExtended,
                         [this](const QString &tokens) { shownRxd_ += tokens; });
        QObject::connect(s, &PanelSession::statusLineChanged,
                         [this](const QString &line) { shownStatus_ = line; });
        QObject::connect(s, &PanelSession::sent, [this](const QByteArray &b) { sent_ << b; });
        QObject::connect(s, &PanelSession::arrived, [this](const QByteArray &b) { arrived_ << b; });
        session_->start();
        FUZZ_CHECK(session_->portOpen(), "the fake line did not open at start-up");
    }

    void step(Reader &in)
    {
        const uint8_t op = in.byte();
        Before before(*session_, line_);
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
        case 5: sendOneShot(in.byte(), before); break;
        case 6:
        case 7: {
            const uint8_t which = in.byte();
            in.byte(); // which mouse button: the window hands the session any button's press
            press(which, before);
            break;
        }
        case 8: release(in.byte(), before); break;
        case 9: typed(in, before); break;
        case 10: portEvent(in.byte(), before); break;
        default: quietEvent(op / 12, before); break;
        }
        checkAlways();
    }

private:
    // What the session showed and held before a step.
    struct Before
    {
        Before(const PanelSession &s, const FakeLine &l)
            : txd(s.transmitLine()), rxd(s.receiveLine()), status(s.statusLine()),
              buffer(s.received()), lastCommand(s.lastCommand()), pressure(s.pressureValue()),
              awaiting(s.awaitingReply()), held(s.held()), writes(l.writes.size()),
              open(l.isOpen()), replyWindow(s.replyWindow().isEnabled()), port(s.port())
        {
        }
        QString txd, rxd, status, buffer, lastCommand;
        qint64 pressure;
        bool awaiting;
        const protocol::Command *held;
        qsizetype writes;
        bool open, replyWindow;
        int port;
    };

    QList<QByteArray> newWrites(const Before &b) const
    {
        QList<QByteArray> out;
        for (qsizetype i = b.writes; i < line_.writes.size(); ++i)
            out << line_.writes[i].bytes;
        return out;
    }

    void receive(const QByteArray &bytes)
    {
        Before b(*session_, line_);
        const qsizetype arrivals = arrived_.size();
        line_.receive(bytes);
        if (!b.open) {
            checkNothingChanged(b); // a closed line hears nothing
            FUZZ_CHECK(arrived_.size() == arrivals, "arrivals on a closed line");
            return;
        }
        FUZZ_CHECK(arrived_.size() == arrivals + (bytes.isEmpty() ? 0 : 1) &&
                       (bytes.isEmpty() || arrived_.last() == bytes),
                   "arrived() is not what the line delivered");
        const qsizetype kept = model_.size();
        model_ = (model_ + latin1(bytes)).left(kCap);
        FUZZ_CHECK(session_->received() == model_, "received characters lost or changed");
        if (!bytes.isEmpty())
            sendsSinceArrival_ = 0;
        QStringView fresh = QStringView(model_).mid(kept);
        while (!answerStarted_ && acksToSkip_ > 0 && fresh.startsWith(QChar(0x06))) {
            fresh = fresh.mid(1);
            --acksToSkip_;
        }
        if (!fresh.isEmpty()) {
            answer_ += fresh;
            answerStarted_ = true;
        }
        lastRxd_ = renderTraffic(model_);
        FUZZ_CHECK(session_->receiveLine() == lastRxd_,
                   "the RXD line is not the rendering of the buffer (%lld characters)",
                   static_cast<long long>(model_.size()));
        FUZZ_CHECK(!session_->awaitingReply(), "a reply is still awaited after a receive");
        FUZZ_CHECK(session_->transmitLine() == b.txd, "a receive changed the TXD line");
        qint64 pressure = b.pressure;
        std::optional<QString> text;
        if (answerStarted_) {
            const status::Decoded decoded =
                status::decodeReply(b.lastCommand, renderTraffic(answer_));
            text = decoded.text;
            pressure = decoded.pressure.value_or(pressure);
        }
        FUZZ_CHECK(session_->statusLine() == (text ? *text : b.status),
                   "the status line is not the decoder's text for the latest answer");
        FUZZ_CHECK(session_->pressureValue() == pressure,
                   "the pressure value differs from the decoder's");
        FUZZ_CHECK(newWrites(b).isEmpty(), "a receive wrote to the line");
    }

    void advance(int ms, const Before &b)
    {
        const protocol::Command *held = session_->held();
        const int period = session_->repeat().interval();
        clock_.advance(ms);
        const QList<QByteArray> writes = newWrites(b);
        if (!held || !b.open) {
            FUZZ_CHECK(writes.isEmpty(), "a timer wrote with nothing held");
        } else {
            const QByteArray repeat = commandString(*held).toLatin1();
            for (const QByteArray &w : writes)
                FUZZ_CHECK(w == repeat, "a repeat wrote the wrong bytes");
            FUZZ_CHECK(writes.size() <= ms / period + 1, "%lld repeats in %d ms at %d ms",
                       static_cast<long long>(writes.size()), ms, period);
        }
        checkBufferKeptOrEmptied(b);
        const QString rxd = session_->receiveLine();
        FUZZ_CHECK(rxd == b.rxd || rxd.isEmpty() || rxd == PanelSession::kNoReply,
                   "the RXD line changed");
        if (!held && rxd != b.rxd) {
            // Without a repeat, only the end of the reply window shows the marker, and only for
            // a command that got nothing; only the display clear blanks, and it blanks all three.
            if (rxd == PanelSession::kNoReply)
                FUZZ_CHECK(b.awaiting, "the no-reply marker after a reply");
            else
                FUZZ_CHECK(session_->transmitLine().isEmpty() && session_->statusLine().isEmpty(),
                           "the RXD line blanked alone");
        }
        const QString status = session_->statusLine();
        FUZZ_CHECK(status == b.status || status.isEmpty() || status == notOpen(b.port),
                   "the status line changed on a timer");
        FUZZ_CHECK(session_->pressureValue() == b.pressure,
                   "the pressure value changed on a timer");
    }

    // A send: exactly its bytes when the line is open, nothing and a plain note on the status
    // line when it is not.
    void checkSent(const Before &b, const QString &command, const QByteArray &bytes)
    {
        const QList<QByteArray> writes = newWrites(b);
        FUZZ_CHECK(session_->lastCommand() == command, "the last command is not the one sent");
        if (b.open) {
            FUZZ_CHECK(writes.size() == 1 && writes[0] == bytes,
                       "a send wrote other bytes than its command");
            // A status query blanks an earlier answer; any other command leaves it.
            FUZZ_CHECK(session_->statusLine() ==
                           (status::isStatusQuery(command) ? QString() : b.status),
                       "a send changed the status line");
        } else {
            FUZZ_CHECK(writes.isEmpty(), "a send wrote to a closed line");
            FUZZ_CHECK(session_->statusLine() == notOpen(b.port), "no note of the closed port");
        }
        FUZZ_CHECK(session_->transmitLine() == renderTraffic(latin1(bytes)),
                   "the TXD line is not what went out");
        FUZZ_CHECK(session_->awaitingReply(), "no reply awaited after a send");
        FUZZ_CHECK(session_->replyWindow().isEnabled() && session_->displayClear().isEnabled(),
                   "a send did not open the reply window");
        FUZZ_CHECK(session_->receiveLine() == b.rxd, "a send changed the RXD line");
        // A send that opens a reply window starts from an empty buffer; one inside an open
        // window keeps what has arrived.
        if (b.replyWindow)
            FUZZ_CHECK(session_->received() == b.buffer, "a send in a reply window lost a reply");
        else
            FUZZ_CHECK(session_->received().isEmpty(), "a new reply window kept stale characters");
        checkBufferKeptOrEmptied(b);
    }

    void sendOneShot(uint8_t which, const Before &b)
    {
        const protocol::Command &command = *oneShots_[which % oneShots_.size()];
        session_->send(command);
        checkSent(b, commandString(command), commandString(command).toLatin1());
    }

    void press(uint8_t which, const Before &b)
    {
        const protocol::Command &command = *holds_[which % holds_.size()];
        session_->press(command);
        endedEarly_ = false;
        FUZZ_CHECK(session_->held() == &command, "the held command is not the pressed one");
        checkSent(b, commandString(command), commandString(command).toLatin1());
    }

    void release(uint8_t which, const Before &b)
    {
        // Mostly the button that is down, as the mouse delivers it; sometimes any other. (Bit
        // 0x40 chose the mouse button; the session does not see which.)
        const protocol::Command *command = session_->held();
        if (!command || which & 0x80)
            command = holds_[which % holds_.size()];
        session_->release(*command);
        if (endedEarly_ && !b.held) {
            // The hold was ended already; its release changes nothing.
            endedEarly_ = false;
            FUZZ_CHECK(session_->transmitLine() == b.txd && session_->receiveLine() == b.rxd &&
                           session_->received() == b.buffer,
                       "the release of a hold ended early acted again");
        } else {
            FUZZ_CHECK(session_->transmitLine().isEmpty() && session_->receiveLine().isEmpty(),
                       "a release left the TXD or RXD line");
            FUZZ_CHECK(session_->received().isEmpty(), "a release kept the buffer");
            FUZZ_CHECK(!session_->replyWindow().isEnabled(),
                       "a release left the reply window open");
        }
        FUZZ_CHECK(!session_->held(), "a release left a button held");
        FUZZ_CHECK(!session_->repeat().isEnabled(), "a release left the repeat running");
        FUZZ_CHECK(newWrites(b).isEmpty(), "a release wrote to the line");
        FUZZ_CHECK(session_->statusLine() == b.status, "a release changed the status line");
        const QString rxd = session_->receiveLine();
        FUZZ_CHECK(rxd == b.rxd || rxd.isEmpty(), "a release changed the RXD line");
        checkBufferKeptOrEmptied(b);
    }

    // A command typed into the command box and sent. Byte values 0xFC to 0xFE stand for
    // characters without a Latin-1 code: a surrogate pair, a lone surrogate and the euro sign.
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
        session_->sendText(text);
        checkSent(b, text + QLatin1Char('\r'), bytes + '\r');
    }

    void portEvent(uint8_t what, const Before &b)
    {
        const int warningsBefore = warnings_;
        switch (what % 4) {
        case 0: line_.loseLine(); break;
        case 1: // a port chosen again, with COM1 or COM2 there or not
        case 2:
            line_.missing.clear();
            if (what & 0x10)
                line_.missing << kCom1;
            if (what & 0x20)
                line_.missing << kCom2;
            session_->choosePort(what % 4 == 1 ? 1 : 2);
            break;
        default: session_->chooseSpeed(what & 0x10 ? 9600 : 19200); break;
        }
        // A warning while a button is held ends the hold: its repeat must not run on unseen.
        if (warnings_ > warningsBefore && b.held) {
            endedEarly_ = true;
            FUZZ_CHECK(!session_->held() && !session_->repeat().isEnabled(),
                       "a warning left the repeat running");
        }
        FUZZ_CHECK(newWrites(b).isEmpty(), "a port change wrote to the line");
        FUZZ_CHECK(session_->statusLine() == b.status, "a port change changed the status line");
        const QString rxd = session_->receiveLine();
        FUZZ_CHECK(rxd == b.rxd || rxd.isEmpty(), "a port change changed the RXD line");
        checkBufferKeptOrEmptied(b);
    }

    // The operations without traffic, chosen by the opcode itself (they take no operand).
    void quietEvent(int which, const Before &b)
    {
        switch (which % 5) {
        case 0: // the mouse grab or the window's activation lost
            session_->endHoldEarly();
            if (b.held) {
                endedEarly_ = true;
                FUZZ_CHECK(!session_->held() && !session_->repeat().isEnabled(),
                           "a hold ended early left the repeat running");
                FUZZ_CHECK(session_->transmitLine().isEmpty() &&
                               session_->receiveLine().isEmpty() && session_->received().isEmpty(),
                           "a hold ended early is not ended as at its release");
                FUZZ_CHECK(session_->statusLine() == b.status && newWrites(b).isEmpty(),
                           "a hold ended early sent or changed the status line");
                checkBufferKeptOrEmptied(b);
                return;
            }
            break;
        case 1: session_->openSettings(); break;
        case 2: session_->openExtendedView(); break;
        case 3: session_->openFullView(); break;
        default: session_->toggleDataView(); break;
        }
        checkNothingChanged(b);
    }

    void checkNothingChanged(const Before &b)
    {
        FUZZ_CHECK(session_->transmitLine() == b.txd && session_->receiveLine() == b.rxd &&
                       session_->statusLine() == b.status,
                   "an event without traffic changed the monitor");
        FUZZ_CHECK(session_->received() == b.buffer && session_->awaitingReply() == b.awaiting &&
                       session_->held() == b.held,
                   "an event without traffic changed the state");
        FUZZ_CHECK(newWrites(b).isEmpty(), "an event without traffic wrote to the line");
    }

    // Steps other than a receive may empty the buffer, never change it otherwise.
    void checkBufferKeptOrEmptied(const Before &b)
    {
        if (session_->received().isEmpty()) {
            model_.clear();
            answerStartsAnew(false); // what is not in the buffer is no answer either
        } else
            FUZZ_CHECK(session_->received() == b.buffer, "the buffer changed without a receive");
    }

    // The answer model after a send (the ACKs of the commands before it may still come first)
    // or after the buffer was emptied.
    void answerStartsAnew(bool send)
    {
        answer_.clear();
        answerStarted_ = false;
        if (send)
            acksToSkip_ = sendsSinceArrival_++;
    }

    void checkAlways()
    {
        const QString rxd = session_->receiveLine();
        FUZZ_CHECK(session_->received().size() <= kCap, "the buffer passed its limit");
        FUZZ_CHECK(session_->received() == model_, "the buffer is not what was received");
        FUZZ_CHECK(rxd.isEmpty() || rxd == PanelSession::kNoReply || rxd == lastRxd_,
                   "the RXD line shows something never received");
        FUZZ_CHECK(shownTxd_ == session_->transmitLine() && shownRxd_ == rxd &&
                       shownStatus_ == session_->statusLine(),
                   "the signals left a window showing other lines than the session's");
        if (line_.isOpen()) {
            FUZZ_CHECK(line_.device() == (session_->port() == 2 ? kCom2 : kCom1) &&
                           (session_->port() == 1 || session_->port() == 2),
                       "the open line is not the device of the session's port");
            FUZZ_CHECK(line_.settings() == session_->settings(),
                       "the open line is not at the session's settings");
        }
        FUZZ_CHECK(sent_.size() == line_.writes.size(), "sent() and the line's writes differ");
        for (qsizetype i = 0; i < sent_.size(); ++i)
            FUZZ_CHECK(sent_[i] == line_.writes[i].bytes, "sent() is not what the line took");
        for (const auto &w : line_.writes)
            FUZZ_CHECK(w.bytes.endsWith('\r'), "a write without its CR");
    }

    const std::vector<const protocol::Command *> oneShots_ = ofKind(false);
    const std::vector<const protocol::Command *> holds_ = ofKind(true);
    ManualClock clock_;
    FakeLine line_{&clock_};
    DeviceMap devices_;
    std::unique_ptr<PanelSession> session_;
    int warnings_ = 0;
    bool endedEarly_ = false; // a hold was ended before its release, which is still to come
    QString model_;           // every character received since the session last emptied its buffer
    QString lastRxd_;         // the RXD line the last receive produced
    QString answer_;          // the answer to the latest send, as the status line decodes it
    bool answerStarted_ = false;
    int acksToSkip_ = 0;
    int sendsSinceArrival_ = 0;
    QString shownTxd_, shownRxd_, shownStatus_;
    QList<QByteArray> sent_, arrived_;
};

void quiet(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    // The session logs every warning it raises; that is noise here. Anything worse is worth
    // seeing.
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(quiet);
    // Our own arguments: libFuzzer's must not reach Qt's parser.
    static int argc = 1;
    static char name[] = "fuzz_session";
    static char *argv[] = {name, nullptr};
    // Never destroyed: at exit Qt's own globals go first, and the application must not outlive
    // them in a destructor.
    static QCoreApplication *app = new QCoreApplication(argc, argv);
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
