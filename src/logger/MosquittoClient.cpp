#include "logger/MosquittoClient.h"

#include <QRandomGenerator>

#include <mosquitto.h>

#include <cerrno>
#include <cstring>

#include <netdb.h>

namespace {
using namespace std::chrono_literals;
// The library is set up while any client exists (all on one thread).
int clients = 0;
constexpr std::chrono::milliseconds longestPause = 60s;
// How often the network thread looks whether it is to stop.
constexpr int loopTimeoutMs = 200;
constexpr std::chrono::milliseconds goodbyeBound = 1s;

QString seconds(std::chrono::milliseconds length)
{
    return QString::number(double(length.count()) / 1000);
}
} // namespace

QString MosquittoClient::describe(int rc, int error, const Settings &settings)
{
    switch (rc) {
    case MOSQ_ERR_ERRNO:
        return QString::fromLocal8Bit(std::strerror(error));
    case MOSQ_ERR_EAI:
        // The library leaves the lookup's own code (negative) in errno.
        if (error < 0)
            return QStringLiteral("cannot look up the broker: ") +
                   QString::fromLocal8Bit(gai_strerror(error));
        break;
    // Codes this library version calls "Unknown error".
    case MOSQ_ERR_TIMEOUT: // our own bound on the broker's first answer
        return QStringLiteral("no answer from the broker within %1 s")
            .arg(seconds(settings.answerBound));
    case MOSQ_ERR_KEEPALIVE:
        return QStringLiteral("no answer from the broker to a keep-alive within %1 s")
            .arg(settings.keepAliveSeconds);
    case MOSQ_ERR_MALFORMED_PACKET:
        return QStringLiteral("malformed packet from the broker");
    default:
        break;
    }
    return QString::fromUtf8(mosquitto_strerror(rc));
}

MosquittoClient::MosquittoClient(const Settings &settings, QObject *parent)
    : MqttClient(parent), m_settings(settings)
{
    if (clients++ == 0)
        mosquitto_lib_init();
    const QByteArray id = m_settings.clientId.toUtf8();
    // A lasting session (no clean start) needs an id that is the same at every start.
    m_mosq = mosquitto_new(id.isEmpty() ? nullptr : id.constData(), id.isEmpty(), this);
    if (!m_mosq)
        return;
    mosquitto_threaded_set(m_mosq, true);
    mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(m_mosq, &MosquittoClient::onConnect);
    mosquitto_publish_callback_set(m_mosq, &MosquittoClient::onPublish);
    mosquitto_log_callback_set(m_mosq, [](mosquitto *, void *self, int level, const char *text) {
        if (level == MOSQ_LOG_ERR)
            static_cast<MosquittoClient *>(self)->m_lastError = text;
    });
    if (!m_settings.user.isEmpty())
        mosquitto_username_pw_set(
            m_mosq, m_settings.user.toUtf8().constData(),
            m_settings.password.isEmpty() ? nullptr : m_settings.password.toUtf8().constData());
    if (m_settings.tls) {
        const QByteArray ca = m_settings.caFile.toLocal8Bit();
        const QByteArray cert = m_settings.certFile.toLocal8Bit();
        const QByteArray key = m_settings.keyFile.toLocal8Bit();
        const auto orNull = [](const QByteArray &b) {
            return b.isEmpty() ? nullptr : b.constData();
        };
        // A key that asks for a passphrase gets none (there is nobody to type it) and fails,
        // rather than the library asking on a terminal the service does not have.
        const int rc = mosquitto_tls_set(m_mosq, orNull(ca),
                                         ca.isEmpty() ? "/etc/ssl/certs" : nullptr, orNull(cert),
                                         orNull(key), [](char *, int, int, void *) { return 0; });
        // Without its TLS set up the client would speak plain text, password and all.
        if (rc != MOSQ_ERR_SUCCESS)
            m_setupError = QStringLiteral("cannot set up TLS: ") + describe(rc, errno, m_settings);
    }
}

MosquittoClient::~MosquittoClient()
{
    stop();
    if (m_mosq)
        mosquitto_destroy(m_mosq);
    if (--clients == 0)
        mosquitto_lib_cleanup();
}

void MosquittoClient::start(const Message &will)
{
    if (!m_mosq || m_thread.joinable())
        return;
    mosquitto_will_set(m_mosq, will.topic.constData(), int(will.payload.size()),
                       will.payload.constData(), will.qos, will.retain);
    m_thread = std::thread([this] { run(); });
}

int MosquittoClient::publish(const Message &message)
{
    int id = 0;
    if (!m_mosq || mosquitto_publish(m_mosq, &id, message.topic.constData(),
                                     int(message.payload.size()), message.payload.constData(),
                                     message.qos, message.retain) != MOSQ_ERR_SUCCESS)
        return -1;
    return id;
}

void MosquittoClient::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void MosquittoClient::abort()
{
    {
        std::lock_guard lock(m_mutex);
        m_goodbye = false;
    }
    stop();
}

bool MosquittoClient::pause(std::chrono::milliseconds length)
{
    // A little shuffled, so that loggers that lost one broker do not all return at once.
    const auto shuffled = length * (80 + QRandomGenerator::global()->bounded(41)) / 100;
    std::unique_lock lock(m_mutex);
    return !m_wake.wait_for(lock, shuffled, [this] { return m_stopping; });
}

void MosquittoClient::run()
{
    const auto stopping = [this] {
        std::lock_guard lock(m_mutex);
        return m_stopping;
    };
    if (!m_setupError.isEmpty()) {
        Q_EMIT connectFailed(m_setupError);
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [this] { return m_stopping; });
        return;
    }
    const QByteArray host = m_settings.host.toUtf8();
    auto nextPause = m_settings.firstPause;
    while (!stopping()) {
        m_lastError.clear();
        m_refused = false;
        int rc = mosquitto_connect_async(m_mosq, host.constData(), m_settings.port,
                                         m_settings.keepAliveSeconds);
        int error = errno; // before anything else can change it
        const auto attempt = std::chrono::steady_clock::now();
        if (rc == MOSQ_ERR_SUCCESS) {
            while (!stopping()) {
                rc = mosquitto_loop(m_mosq, loopTimeoutMs, 1);
                error = errno;
                if (rc != MOSQ_ERR_SUCCESS)
                    break;
                if (!m_connected &&
                    std::chrono::steady_clock::now() - attempt > m_settings.answerBound) {
                    rc = MOSQ_ERR_TIMEOUT;
                    break;
                }
            }
        }
        if (stopping())
            break;
        QString reason = describe(rc, error, m_settings);
        if (rc == MOSQ_ERR_TLS && !m_lastError.isEmpty())
            reason += QStringLiteral(": ") + QString::fromUtf8(m_lastError);
        if (m_connected) {
            m_connected = false;
            nextPause = m_settings.firstPause; // a new outage starts with a short pause
            Q_EMIT connectionLost(reason);
        } else if (!m_refused) {
            Q_EMIT connectFailed(reason);
        }
        mosquitto_disconnect(m_mosq);
        if (!pause(nextPause))
            break;
        nextPause = std::min(nextPause * 2, longestPause);
    }
    bool goodbye = false;
    {
        std::lock_guard lock(m_mutex);
        goodbye = m_goodbye;
    }
    if (m_connected && goodbye) {
        // A goodbye, so that the broker does not publish the will.
        mosquitto_disconnect(m_mosq);
        const auto until = std::chrono::steady_clock::now() + goodbyeBound;
        while (mosquitto_loop(m_mosq, loopTimeoutMs, 1) == MOSQ_ERR_SUCCESS &&
               std::chrono::steady_clock::now() < until) {
        }
        m_connected = false;
    }
}

void MosquittoClient::onConnect(mosquitto *, void *self, int rc)
{
    auto *client = static_cast<MosquittoClient *>(self);
    if (rc != 0) {
        client->m_refused = true;
        Q_EMIT client->connectFailed(QString::fromUtf8(mosquitto_connack_string(rc)));
        return;
    }
    client->m_connected = true;
    Q_EMIT client->connected();
}

void MosquittoClient::onPublish(mosquitto *, void *self, int mid)
{
    Q_EMIT static_cast<MosquittoClient *>(self)->delivered(mid);
}
