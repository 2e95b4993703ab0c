// SPDX-License-Identifier: MIT
#pragma once

#include "service/mqtt_settings.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class PeriodicTimer;
class QSocketNotifier;
class Scheduler;
struct mosquitto;
struct mosquitto_message;

// One connection to the broker, kept up for as long as the service runs: connects without
// blocking, reconnects after a loss with a backoff of 1 s doubling to 60 s, and leaves the last
// will with the broker on every connect.
//
// libmosquitto runs on our own event loop, not on its own thread: its socket is watched by
// QSocketNotifiers (read always, write only while it has bytes to send) and its housekeeping
// (keep-alive pings, resends) runs from a Scheduler timer. So the callbacks come on the one
// thread where the projectors' owners live, no lock is needed anywhere, and its time is the
// Scheduler's like every other timer of the service.
class MqttClient final : public QObject
{
    Q_OBJECT
public:
    enum class State : quint8 { Idle, Resolving, Connecting, Connected, WaitingToRetry };
    enum class Retain : quint8 { No, Yes };

    struct Will
    {
        QString topic;
        QByteArray payload;
    };

    MqttClient(Scheduler &scheduler, const MqttSettings &settings, const Will &will,
               QObject *parent = nullptr);
    ~MqttClient() override;

    // Connects, and from then on keeps connecting until stop().
    void start();
    // Publishes the will's topic itself (a clean end is no loss), then disconnects.
    void stop(const QByteArray &finalWillPayload);

    State state() const { return state_; }
    bool isConnected() const { return state_ == State::Connected; }

    // False when not connected: what is not sent now is sent in full after the next connect.
    bool publish(const QString &topic, const QByteArray &payload, Retain retain);
    bool subscribe(const QString &filter);

    // The wait before the next attempt after n failures in a row (1 s doubling to 60 s).
    static int backoffMs(int failures);

signals:
    void connected();
    // Lost, refused or never reached; the client tries again by itself.
    void disconnected();
    void messageReceived(const QString &topic, const QByteArray &payload);

private:
    static void onConnect(mosquitto *, void *self, int rc);
    static void onDisconnect(mosquitto *, void *self, int rc);
    static void onMessage(mosquitto *, void *self, const mosquitto_message *message);

    void attempt();
    void connectTo(const QString &address);
    void watchSocket();
    void unwatchSocket();
    void readable();
    void writable();
    void housekeeping();
    void afterIo(int rc);
    void lost(const QString &why);
    void updateWriteInterest();

    Scheduler &scheduler_;
    const MqttSettings settings_;
    const Will will_;
    mosquitto *mosq_ = nullptr;
    State state_ = State::Idle;
    int failures_ = 0;
    int socket_ = -1;
    QPointer<QSocketNotifier> readNotifier_, writeNotifier_;
    std::unique_ptr<PeriodicTimer> retry_, misc_, connectDeadline_;
    int lookupId_ = -1;
    bool lossReported_ = false;
};
