// SPDX-License-Identifier: MIT
#pragma once

#include "command_framer.h"
#include "options.h"
#include "projector.h"

#include <QObject>
#include <QTimer>

#include <deque>

class Journal;
class Line;

// Puts the projector on the line: frames the commands, answers them with the options'
// latency and pacing, adds line noise and pulls the plug when asked to.
class Simulator : public QObject
{
    Q_OBJECT

public:
    Simulator(const Options &options, Line &line, const Journal &journal,
              QObject *parent = nullptr);

private:
    struct Piece
    {
        qint64 due; // journal time at which it goes out
        QByteArray bytes;
    };

    void onReceived(const QByteArray &bytes);
    void onCommand(const QByteArray &command);
    void queueReply(const QByteArray &reply);
    void sendDue();
    void sendNoise();
    void settlePower();
    void armPowerTimer();
    void beginHangUp();
    void finishHangUp();

    const Options options_;
    Line &line_;
    const Journal &journal_;
    CommandFramer framer_;
    Projector projector_;

    std::deque<Piece> outbox_;
    qint64 lastDue_ = 0;
    QTimer outboxTimer_;
    QTimer powerTimer_;
    QTimer noiseTimer_;
    QTimer hangUpTimer_;
    qint64 hangUpFrom_ = 0;
    qint64 noiseFrom_ = 0;
    qint64 noiseSent_ = 0;
    qint64 noiseNotedAt_ = 0; // the noise is logged once a second, not byte by byte
    qint64 noiseSinceNote_ = 0;
    int commands_ = 0;
    bool hangUpPending_ = false;
};
