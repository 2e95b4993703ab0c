// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QHash>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A mosquitto broker as a child process of a test or the bench: anonymous, without persistence,
// listening on 127.0.0.1 only, on a free port that it keeps across a restart.
class MosquittoProcess
{
public:
    MosquittoProcess() = default;
    ~MosquittoProcess();
    MosquittoProcess(const MosquittoProcess &) = delete;
    MosquittoProcess &operator=(const MosquittoProcess &) = delete;

    static bool available();

    // Starts it (on the port of the last start, if any) and waits, generously, until it listens.
    bool start();
    // SIGKILL: the broker vanishes without a word, as a crashed host does.
    void kill();
    quint16 port() const { return port_; }
    QString url() const { return QStringLiteral("mqtt://127.0.0.1:%1").arg(port_); }

    // mosquitto_pub: one message, retained or not; true when it went.
    bool publish(const QString &topic, const QByteArray &payload, bool retain = false) const;

private:
    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
};

// mosquitto_sub -v on some topic filters, running until this object goes: every message it
// printed, in order, and waits for one to come.
class MqttSubscriber
{
public:
    MqttSubscriber() = default;
    ~MqttSubscriber();
    MqttSubscriber(const MqttSubscriber &) = delete;
    MqttSubscriber &operator=(const MqttSubscriber &) = delete;

    bool start(quint16 port, const QStringList &filters);

    // Waits up to timeoutMs for a message on topic with payload ("(null)" for an empty one),
    // counting from the from-th message received.
    bool waitFor(const QString &topic, const QByteArray &payload, int timeoutMs = 20000,
                 qsizetype from = 0);
    // The last payload seen on topic; an empty array when none came.
    QByteArray last(const QString &topic);
    // Messages so far as "topic payload" lines; count() for a from index.
    QList<QByteArray> lines();
    qsizetype count() { return lines().size(); }

private:
    void readAll();

    QProcess process_;
    QList<QByteArray> lines_;
};
