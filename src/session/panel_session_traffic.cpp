// SPDX-License-Identifier: MIT
// The session's traffic: sending, the reply window, receiving, the display clear, and the hold
// buttons' press, repeat and release.
#include "session/panel_session.h"

#include "protocol/decoder.h"
#include "protocol/traffic.h"

#include <utility>

using protocol::Command;

void PanelSession::send(const Command &command)
{
    if (command.replyWindowMs > 0) {
        replyWindow_->setInterval(command.replyWindowMs);
        displayClear_->setInterval(command.displayClearMs);
    }
    transmit(protocol::commandString(command.code));
    if (command.effect == protocol::Effect::PrimeArrows) {
        repeat_->setInterval(protocol::kPrimedRepeatMs);
        arrowSpeed_ = protocol::ArrowSpeed::Primed;
    }
}

void PanelSession::sendText(const QString &text)
{
    replyWindow_->setInterval(protocol::kTypedReplyWindowMs);
    displayClear_->setInterval(protocol::kTypedDisplayClearMs);
    // Exactly as typed: no trimming, no change of case, any length.
    transmit(text + QLatin1Char('\r'));
}

void PanelSession::transmit(const QString &command)
{
    lastCommand_ = command;
    // Characters that came while no reply window was open answer nothing we are about to ask;
    // a send that opens a window starts from an empty buffer. (A send while a window is open, as
    // during a hold, keeps what has arrived.)
    if (!replyWindow_->isEnabled())
        emptyReceived();
    // Its answer starts with what arrives from now on. A status line showing an earlier query's
    // answer is blanked: it would be taken for the answer to this one.
    answer_.sent();
    startAnswer();
    answerEarlier_.clear();
    answerState_ = AnswerState::Awaited;
    if (status::isStatusQuery(command) && !statusLine_.isEmpty())
        setStatusLine(QString());

    const QByteArray bytes = charsToBytes(command);
    const bool open = line_.isOpen();
    const bool sent = open && line_.write(bytes);
    if (sent)
        emit this->sent(bytes);
    setTransmitLine(renderTraffic(bytesToChars(bytes)));
    if (!sent) {
        // Say plainly that nothing went out, so that a closed port is never taken for a silent
        // projector. The reply window still runs as for any send.
        setStatusLine(open ? QStringLiteral(" COM%1 write failed").arg(port_)
                           : QStringLiteral(" COM%1 not open").arg(port_));
    }
    replyWindow_->setEnabled(true);
    awaitingReply_ = true;
    displayClear_->setEnabled(true);
}

void PanelSession::takeArrivals()
{
    const QByteArray bytes = line_.readAll();
    if (!bytes.isEmpty())
        emit arrived(bytes);
    const QString chars = bytesToChars(bytes);
    const qsizetype before = received_.size();
    const qsizetype room = kReceiveLimit - before;
    if (room > 0)
        received_ += QStringView(chars).left(room);
    awaitingReply_ = false;

    // The RXD line shows the whole reply so far: where it already shows the start of it, only
    // the new characters' tokens are added.
    if (receiveLineShowsReply_) {
        QString tokens;
        appendTraffic(tokens, QStringView(received_).mid(before));
        if (!tokens.isEmpty()) {
            receiveLine_ += tokens;
            emit receiveLineExtended(tokens);
        }
    } else {
        setReceiveLine(renderTraffic(received_));
        receiveLineShowsReply_ = true;
    }
    takeAnswer(bytes, std::max<qsizetype>(room, 0));
}

void PanelSession::startAnswer()
{
    answerLine_ = QStringLiteral(" ");
}

void PanelSession::takeAnswer(QByteArrayView bytes, qsizetype room)
{
    const QByteArrayView taken = answer_.take(bytes, room);
    if (!answer_.started())
        return;
    appendTraffic(answerLine_, QString::fromLatin1(taken));
    const status::Decoded decoded = status::decodeReply(lastCommand_, answerLine_);
    if (decoded.pressure)
        pressureValue_ = *decoded.pressure;
    if (decoded.text)
        setStatusLine(*decoded.text);
    if (answerWhole() &&
        (answerState_ == AnswerState::Awaited || answerState_ == AnswerState::Incomplete)) {
        given_ = answerSoFar();
        answerState_ = AnswerState::Given;
        emit answered(given_);
    }
}

void PanelSession::answerWindowEnded()
{
    if (answerState_ != AnswerState::Awaited)
        return;
    answerState_ = AnswerState::Incomplete;
    emit answered(answerSoFar());
}

bool PanelSession::answerWhole() const
{
    // What arrived before the buffer was emptied ends with no CR (or it would have been whole):
    // only the bytes since can end it.
    if (answerEarlier_.isEmpty())
        return answer_.complete();
    return answer_.bytes().endsWith('\r');
}

protocol::Answer PanelSession::answerSoFar() const
{
    // A whole answer stays what it was: what arrives after it answers nothing.
    if (answerState_ == AnswerState::Given)
        return given_;
    return protocol::readAnswer(lastCommand_, answerEarlier_ + answer_.bytes(), answerWhole());
}

void PanelSession::replyWindowEnded()
{
    if (awaitingReply_)
        setReceiveLine(kNoReply);
    answerWindowEnded(); // what has not become whole
    replyWindow_->setEnabled(false);
    emptyReceived();
    awaitingReply_ = false;
}

void PanelSession::displayCleared()
{
    setTransmitLine(QString());
    setReceiveLine(QString());
    setStatusLine(QString());
    displayClear_->setEnabled(false);
}

// Hold buttons ----------------------------------------------------------------------------------

void PanelSession::press(const Command &command)
{
    finishKeyRelease(); // a key let go a moment ago is released before anything else goes down
    holdEndedEarly_ = false;
    if (command.kind == protocol::Kind::MenuArrow) {
        // The arrows take their timings from the arrow speed, and repeat at the period the last
        // event left.
        const protocol::ArrowTiming &timing = protocol::arrowTiming(arrowSpeed_);
        if (timing.replyWindowMs > 0) {
            replyWindow_->setInterval(timing.replyWindowMs);
            displayClear_->setInterval(timing.displayClearMs);
        }
        held_ = &command;
        transmit(protocol::commandString(command.code));
        repeat_->setEnabled(true);
        return;
    }
    held_ = &command;
    transmit(protocol::commandString(command.code));
    repeat_->setInterval(command.repeatMs);
    replyWindow_->setInterval(command.replyWindowMs);
    displayClear_->setInterval(command.displayClearMs);
    repeat_->setEnabled(true);
}

void PanelSession::repeatTick()
{
    if (!held_) {
        repeat_->setEnabled(false); // nothing is held: nothing to repeat
        return;
    }
    transmit(protocol::commandString(held_->code));
}

void PanelSession::release(const Command &command)
{
    if (holdEndedEarly_ && !held_) {
        holdEndedEarly_ = false; // this hold has been ended already
        return;
    }
    releaseHold(command);
}

void PanelSession::keyPress(const Command &command)
{
    if (keyReleasing_ == &command && held_ == &command) {
        // Down again within the grace: the key's own auto-repeat, the same hold.
        keyRelease_->setEnabled(false);
        keyReleasing_ = nullptr;
        return;
    }
    press(command);
}

void PanelSession::keyRelease(const Command &command)
{
    finishKeyRelease();
    keyReleasing_ = &command;
    keyRelease_->setEnabled(true);
}

void PanelSession::finishKeyRelease()
{
    keyRelease_->setEnabled(false);
    if (const Command *command = std::exchange(keyReleasing_, nullptr))
        release(*command);
}

void PanelSession::endHoldEarly()
{
    // A key release still in its grace ends with the hold: it is the release to come.
    keyRelease_->setEnabled(false);
    keyReleasing_ = nullptr;
    if (!held_)
        return;
    releaseHold(*held_);
    holdEndedEarly_ = true;
}

void PanelSession::releaseHold(const Command &command)
{
    held_ = nullptr;
    repeat_->setEnabled(false);
    replyWindow_->setEnabled(false);
    displayClear_->setEnabled(true);
    setTransmitLine(QString());
    setReceiveLine(QString());
    replyWindow_->setInterval(protocol::kReleaseReplyWindowMs);
    displayClear_->setInterval(protocol::kReleaseDisplayClearMs);
    emptyReceived(); // a half-received reply is dropped
    if (command.effect == protocol::Effect::FastArrowsOnRelease) {
        repeat_->setInterval(protocol::kFastRepeatMs);
        arrowSpeed_ = protocol::ArrowSpeed::Fast;
    }
}

// The monitor lines ----------------------------------------------------------------------------

void PanelSession::setTransmitLine(const QString &line)
{
    transmitLine_ = line;
    emit transmitLineChanged(line);
}

void PanelSession::setReceiveLine(const QString &line)
{
    receiveLine_ = line;
    receiveLineShowsReply_ = false;
    emit receiveLineChanged(line);
}

void PanelSession::setStatusLine(const QString &line)
{
    statusLine_ = line;
    emit statusLineChanged(line);
}

void PanelSession::emptyReceived()
{
    received_.clear();
    receiveLineShowsReply_ = false;
    if (answerState_ == AnswerState::Awaited || answerState_ == AnswerState::Incomplete)
        answerEarlier_ += answer_.bytes();
    answer_.reset();
    startAnswer();
}
