// SPDX-License-Identifier: MIT
#include "simulator.h"

#include "journal.h"
#include "line.h"

#include <QRandomGenerator>

namespace {

// Gap between the characters of a reply with --split: a slow, chatty serial bridge.
constexpr qint64 SplitGapMs = 10;

// Before pulling the plug we let the other side read our last reply (a hang-up throws away
// whatever it has not read yet), but we wait no longer than this for a side that is not
// reading at all.
constexpr qint64 HangUpGraceMs = 1000;
constexpr int HangUpCheckMs = 20;

} // namespace

Simulator::Simulator(const Options &options, Line &line, const Journal &journal, QObject *parent)
    : QObject(parent), options_(options), line_(line), journal_(journal),
      projector_(qint64(options.countdownSeconds * 1000))
{
    connect(&line_, &Line::received, this, &Simulator::onReceived);

    for (QTimer *t : {&outboxTimer_, &powerTimer_, &noiseTimer_})
        t->setTimerType(Qt::PreciseTimer); // a coarse timer may fire early: never before due
    outboxTimer_.setSingleShot(true);
    connect(&outboxTimer_, &QTimer::timeout, this, &Simulator::sendDue);
    hangUpTimer_.setInterval(HangUpCheckMs);
    connect(&hangUpTimer_, &QTimer::timeout, this, &Simulator::finishHangUp);
    powerTimer_.setSingleShot(true);
    connect(&powerTimer_, &QTimer::timeout, this, &Simulator::settlePower);

    if (options_.noisePerSecond > 0) {
        noiseFrom_ = noiseNotedAt_ = journal_.now();
        noiseTimer_.setInterval(int(qMax(1, 1000 / options_.noisePerSecond)));
        connect(&noiseTimer_, &QTimer::timeout, this, &Simulator::sendNoise);
        noiseTimer_.start();
    }
}

void Simulator::onReceived(const QByteArray &bytes)
{
    for (const CommandFramer::Event &e : framer_.feed(bytes)) {
        if (!line_.isOpen())
            return; // pulled the plug halfway through this piece
        if (e.kind == CommandFramer::Event::Overlong) {
            journal_.note(QStringLiteral("line longer than %1 bytes without CR: dropped up to "
                                         "the next CR, no answer")
                              .arg(CommandFramer::MaxLine));
        } else {
            onCommand(e.command);
        }
    }
}

void Simulator::onCommand(const QByteArray &command)
{
    journal_.traffic("rx", command + '\r');
    if (hangUpPending_) {
        journal_.note(QStringLiteral("line is about to close: not answered"));
        return;
    }
    if (command.isEmpty()) {
        // A stray CR is what a terminal sends for an empty Enter; a projector stays quiet.
        journal_.note(QStringLiteral("empty command: no answer"));
        return;
    }

    const QString before = projector_.powerText();
    const QByteArray reply = projector_.answer(command, journal_.now());
    if (projector_.powerText() != before)
        journal_.note(QStringLiteral("projector: %1").arg(projector_.powerText()));
    armPowerTimer();
    if (options_.silent)
        journal_.note(QStringLiteral("silent: no answer"));
    else
        queueReply(reply);

    ++commands_;
    if (options_.hangupAfter > 0 && commands_ >= options_.hangupAfter) {
        hangUpPending_ = true;
        if (outbox_.empty())
            beginHangUp();
    }
}

// Replies go out in order: a reply never overtakes one that is still waiting for its time.
void Simulator::queueReply(const QByteArray &reply)
{
    qint64 due = qMax(journal_.now() + options_.latencyMs, lastDue_);
    if (options_.split) {
        for (const char c : reply) {
            outbox_.push_back({due, QByteArray(1, c)});
            due += SplitGapMs;
        }
        lastDue_ = due; // the next reply keeps the pace
    } else {
        outbox_.push_back({due, reply});
        lastDue_ = due;
    }
    sendDue();
}

void Simulator::sendDue()
{
    const qint64 now = journal_.now();
    while (!outbox_.empty() && outbox_.front().due <= now) {
        const QByteArray bytes = outbox_.front().bytes;
        outbox_.pop_front();
        journal_.traffic("tx", bytes);
        line_.write(bytes);
    }
    if (!outbox_.empty())
        outboxTimer_.start(int(outbox_.front().due - now));
    else if (hangUpPending_)
        beginHangUp();
}

void Simulator::settlePower()
{
    if (projector_.settle(journal_.now()))
        journal_.note(QStringLiteral("projector: %1").arg(projector_.powerText()));
    armPowerTimer();
}

void Simulator::armPowerTimer()
{
    const qint64 at = projector_.nextChangeAt();
    if (at < 0)
        powerTimer_.stop();
    else
        powerTimer_.start(int(qMax<qint64>(0, at - journal_.now())));
}

// Spread evenly: each tick sends what is due by the clock, so that a late tick catches up
// instead of lowering the rate, but a long stall never bursts more than a second's worth.
void Simulator::sendNoise()
{
    const qint64 now = journal_.now();
    const qint64 dueTotal = (now - noiseFrom_) * options_.noisePerSecond / 1000;
    const qint64 count = qMin<qint64>(dueTotal - noiseSent_, options_.noisePerSecond);
    noiseSent_ = dueTotal;
    if (count <= 0)
        return;
    QByteArray bytes(count, Qt::Uninitialized);
    for (char &b : bytes)
        b = char(QRandomGenerator::global()->bounded(256));
    line_.write(bytes);
    // Byte by byte the log would be nothing but noise; a line a second says how much went out.
    noiseSinceNote_ += count;
    if (now - noiseNotedAt_ >= 1000) {
        journal_.note(QStringLiteral("noise: %1 random byte(s) in the last %2 ms")
                          .arg(noiseSinceNote_)
                          .arg(now - noiseNotedAt_));
        noiseNotedAt_ = now;
        noiseSinceNote_ = 0;
    }
}

void Simulator::beginHangUp()
{
    if (hangUpTimer_.isActive() || !line_.isOpen())
        return;
    noiseTimer_.stop();
    hangUpFrom_ = journal_.now();
    hangUpTimer_.start();
}

void Simulator::finishHangUp()
{
    const qint64 waited = journal_.now() - hangUpFrom_;
    if (line_.unreadByFarSide() > 0 && waited < HangUpGraceMs)
        return;
    hangUpTimer_.stop();
    line_.close();
    journal_.note(QStringLiteral("closed the line after %1 command(s), as a pulled adapter; "
                                 "staying up without a line")
                      .arg(commands_));
}
