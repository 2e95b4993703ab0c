// SPDX-License-Identifier: MIT
#include "service/mqtt_client.h"

#include "core/scheduler.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QLoggingCategory>
#include <QSocketNotifier>

#include <mosquitto.h>

#include <cerrno>
#include <cstring>

Q_LOGGING_CATEGORY(lcMqtt, "odra.service.mqtt")

namespace {

constexpr int kFirstRetryMs = 1000;
constexpr int kLastRetryMs = 60000;
// Keep-alive pings and resends are due at whole seconds; looking twice a second is plenty.
constexpr int kHousekeepingMs = 500;
// QoS 1 everywhere: a command or a state must not vanish on a busy broker, and nothing we send
// is harmed by arriving twice.
constexpr int kQos = 1;

QString describe(int rc)
{
    if (rc == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(errno));
    QString text = QString::fromUtf8(mosquitto_strerror(rc));
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1); // it goes in the middle of our sentence
    return text;
}

} // namespace

MqttClient::MqttClient(Scheduler &scheduler, const MqttSettings &settings, const Will &will,
                       QObject *parent)
    : QObject(parent), scheduler_(scheduler), settings_(settings), will_(will),
      retry_(scheduler.createTimer(kFirstRetryMs)), misc_(scheduler.createTimer(kHousekeepingMs))
{
    // Counted by the library: each client's init is matched by its cleanup below.
    mosquitto_lib_init();
    mosq_ = mosquitto_new(settings_.effectiveClientId().toUtf8().constData(), true, this);
    Q_ASSERT(mosq_); // only fails for want of memory, with a client id given
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    // A state change is several small messages in a row: with Nagle's algorithm the second
    // would wait for the broker's delayed ACK of the first, some 40 ms.
    mosquitto_int_option(mosq_, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_connect_callback_set(mosq_, &MqttClient::onConnect);
    mosquitto_disconnect_callback_set(mosq_, &MqttClient::onDisconnect);
    mosquitto_message_callback_set(mosq_, &MqttClient::onMessage);
    if (!settings_.username.isEmpty())
        mosquitto_username_pw_set(
            mosq_, settings_.username.toUtf8().constData(),
            settings_.password.isEmpty() ? nullptr : settings_.password.toUtf8().constData());
    if (!will_.topic.isEmpty())
        mosquitto_will_set(mosq_, will_.topic.toUtf8().constData(), int(will_.payload.size()),
                           will_.payload.constData(), kQos, true);
    if (settings_.transport == MqttSettings::Transport::Tls) {
        int rc = MOSQ_ERR_SUCCESS;
        if (settings_.caFile.isEmpty())
            rc = mosquitto_int_option(mosq_, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        else
            rc = mosquitto_tls_set(mosq_, settings_.caFile.toLocal8Bit().constData(), nullptr,
                                   nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS)
            qCWarning(lcMqtt, "TLS set-up for %s: %s", qUtf8Printable(settings_.host),
                      qUtf8Printable(describe(rc)));
    }

    retry_->setHandler([this] {
        retry_->setEnabled(false);
        attempt();
    });
    misc_->setHandler([this] { housekeeping(); });
}

MqttClient::~MqttClient()
{
    if (lookupId_ >= 0)
        QHostInfo::abortHostLookup(lookupId_);
    unwatchSocket();
    mosquitto_destroy(mosq_);
    mosquitto_lib_cleanup();
}

int MqttClient::backoffMs(int failures)
{
    int ms = kFirstRetryMs;
    for (int i = 0; i < failures && ms < kLastRetryMs; ++i)
        ms *= 2;
    return qMin(ms, kLastRetryMs);
}

void MqttClient::start()
{
    if (state_ != State::Idle)
        return;
    failures_ = 0;
    misc_->setEnabled(true);
    attempt();
}

void MqttClient::stop(const QByteArray &finalWillPayload)
{
    if (state_ == State::Idle)
        return;
    if (state_ == State::Connected && !will_.topic.isEmpty()) {
        // A clean disconnect makes the broker drop the will: say it ourselves.
        publish(will_.topic, finalWillPayload, Retain::Yes);
    }
    state_ = State::Idle;
    retry_->setEnabled(false);
    misc_->setEnabled(false);
    if (lookupId_ >= 0) {
        QHostInfo::abortHostLookup(lookupId_);
        lookupId_ = -1;
    }
    mosquitto_disconnect(mosq_);
    // Whatever the socket still takes without waiting; the rest is lost with the connection.
    mosquitto_loop_write(mosq_, 1);
    unwatchSocket();
}

void MqttClient::attempt()
{
    state_ = State::Resolving;
    // An address needs no lookup; a name is looked up off our thread, so that a slow or absent
    // DNS server never holds up the projectors' lines.
    if (!QHostAddress(settings_.host).isNull()) {
        connectTo(settings_.host);
        return;
    }
    lookupId_ = QHostInfo::lookupHost(settings_.host, this, [this](const QHostInfo &info) {
        lookupId_ = -1;
        if (state_ != State::Resolving)
            return;
        if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
            lost(QStringLiteral("cannot find %1: %2").arg(settings_.host, info.errorString()));
            return;
        }
        // TLS checks the certificate against the name, so it connects by name; the name was
        // just found, so the library's own lookup is quick.
        connectTo(settings_.transport == MqttSettings::Transport::Tls
                      ? settings_.host
                      : info.addresses().constFirst().toString());
    });
}

void MqttClient::connectTo(const QString &address)
{
    state_ = State::Connecting;
    unwatchSocket();
    // Non-blocking: the TCP connect and the CONNECT packet complete on the socket's events.
    // A connect that never completes ends after the keep-alive, by the housekeeping.
    const int rc = mosquitto_connect_async(mosq_, address.toUtf8().constData(), settings_.port,
                                           settings_.keepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS) {
        lost(describe(rc));
        return;
    }
    watchSocket();
}

void MqttClient::watchSocket()
{
    socket_ = mosquitto_socket(mosq_);
    if (socket_ < 0)
        return;
    readNotifier_ = new QSocketNotifier(socket_, QSocketNotifier::Read, this);
    connect(readNotifier_, &QSocketNotifier::activated, this, &MqttClient::readable);
    writeNotifier_ = new QSocketNotifier(socket_, QSocketNotifier::Write, this);
    connect(writeNotifier_, &QSocketNotifier::activated, this, &MqttClient::writable);
    updateWriteInterest();
}

// The library has closed (or is about to reuse) the descriptor: our notifiers must not watch a
// number that may come back as somebody else's.
void MqttClient::unwatchSocket()
{
    for (QPointer<QSocketNotifier> *n : {&readNotifier_, &writeNotifier_}) {
        if (*n) {
            (*n)->setEnabled(false);
            (*n)->deleteLater();
        }
        *n = nullptr;
    }
    socket_ = -1;
}

void MqttClient::readable()
{
    afterIo(mosquitto_loop_read(mosq_, 1));
}

void MqttClient::writable()
{
    // During a TLS handshake the library goes on with it from its read step, whichever way
    // the socket turned ready; without a handshake the read finds nothing and returns.
    int rc = MOSQ_ERR_SUCCESS;
    if (settings_.transport == MqttSettings::Transport::Tls)
        rc = mosquitto_loop_read(mosq_, 1);
    if (rc == MOSQ_ERR_SUCCESS && mosquitto_socket(mosq_) == socket_)
        rc = mosquitto_loop_write(mosq_, 1);
    afterIo(rc);
}

void MqttClient::housekeeping()
{
    if (state_ != State::Connecting && state_ != State::Connected)
        return;
    int rc = mosquitto_loop_misc(mosq_);
    // TLS may hold decrypted bytes that no socket event announces any more.
    if (rc == MOSQ_ERR_SUCCESS && settings_.transport == MqttSettings::Transport::Tls &&
        mosquitto_socket(mosq_) == socket_ && socket_ >= 0)
        rc = mosquitto_loop_read(mosq_, 1);
    afterIo(rc);
}

void MqttClient::afterIo(int rc)
{
    // On a failure the library has closed the socket and called onDisconnect already.
    if (mosquitto_socket(mosq_) != socket_ || socket_ < 0) {
        unwatchSocket();
        if (state_ == State::Connecting || state_ == State::Connected)
            lost(describe(rc == MOSQ_ERR_SUCCESS ? MOSQ_ERR_CONN_LOST : rc));
        return;
    }
    updateWriteInterest();
}

void MqttClient::updateWriteInterest()
{
    if (writeNotifier_)
        writeNotifier_->setEnabled(mosquitto_want_write(mosq_));
}

void MqttClient::lost(const QString &why)
{
    unwatchSocket();
    if (state_ == State::Idle || state_ == State::WaitingToRetry)
        return;
    const bool wasConnected = state_ == State::Connected;
    const int waitMs = backoffMs(failures_++);
    state_ = State::WaitingToRetry;
    // One line when the broker goes or cannot be reached, one when it is back: never one per
    // attempt.
    if (!lossReported_) {
        lossReported_ = true;
        qCWarning(lcMqtt, "%s %s:%d: %s; trying again, from every %d s up to every %d s",
                  wasConnected ? "lost the broker" : "cannot reach the broker",
                  qUtf8Printable(settings_.host), int(settings_.port), qUtf8Printable(why),
                  kFirstRetryMs / 1000, kLastRetryMs / 1000);
    }
    retry_->setInterval(waitMs);
    retry_->setEnabled(true);
    if (wasConnected)
        emit disconnected();
}

bool MqttClient::publish(const QString &topic, const QByteArray &payload, Retain retain)
{
    if (state_ != State::Connected)
        return false;
    const int rc =
        mosquitto_publish(mosq_, nullptr, topic.toUtf8().constData(), int(payload.size()),
                          payload.constData(), kQos, retain == Retain::Yes);
    updateWriteInterest();
    return rc == MOSQ_ERR_SUCCESS;
}

bool MqttClient::subscribe(const QString &filter)
{
    if (state_ != State::Connected)
        return false;
    const int rc = mosquitto_subscribe(mosq_, nullptr, filter.toUtf8().constData(), kQos);
    updateWriteInterest();
    return rc == MOSQ_ERR_SUCCESS;
}

void MqttClient::onConnect(mosquitto *, void *self, int rc)
{
    auto *client = static_cast<MqttClient *>(self);
    if (rc != 0) {
        // Refused (a wrong password, an id not allowed): the library closes the connection
        // next, and we try again after the backoff, in case the broker's mind changes.
        if (!client->lossReported_) {
            qCWarning(lcMqtt, "the broker %s:%d refused us: %s",
                      qUtf8Printable(client->settings_.host), int(client->settings_.port),
                      mosquitto_connack_string(rc));
            client->lossReported_ = true;
        }
        return;
    }
    client->state_ = State::Connected;
    client->failures_ = 0;
    qCInfo(lcMqtt, "connected to the broker %s:%d as %s", qUtf8Printable(client->settings_.host),
           int(client->settings_.port), qUtf8Printable(client->settings_.effectiveClientId()));
    client->lossReported_ = false;
    emit client->connected();
    client->updateWriteInterest();
}

void MqttClient::onDisconnect(mosquitto *, void *self, int rc)
{
    auto *client = static_cast<MqttClient *>(self);
    if (client->state_ == State::Connecting || client->state_ == State::Connected)
        client->lost(describe(rc == MOSQ_ERR_SUCCESS ? MOSQ_ERR_CONN_LOST : rc));
}

void MqttClient::onMessage(mosquitto *, void *self, const mosquitto_message *message)
{
    auto *client = static_cast<MqttClient *>(self);
    emit client->messageReceived(
        QString::fromUtf8(message->topic),
        QByteArray(static_cast<const char *>(message->payload), message->payloadlen));
}
