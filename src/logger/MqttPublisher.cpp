#include "logger/MqttPublisher.h"

#include "logger/ReadingFormat.h"

MqttPublisher::MqttPublisher(MqttClient &client, const QByteArray &prefix, int limit,
                             QObject *parent)
    : QObject(parent), m_client(client), m_prefix(prefix), m_limit(qMax(1, limit))
{
    connect(&m_client, &MqttClient::connected, this, &MqttPublisher::onConnected);
    connect(&m_client, &MqttClient::delivered, this, &MqttPublisher::onDelivered);
    connect(&m_client, &MqttClient::connectionLost, this, [this](const QString &reason) {
        m_connected = false;
        m_reportedFailure = true;
        Q_EMIT stateChanged(QStringLiteral("connection lost (%1); readings wait, up to %2")
                                .arg(reason)
                                .arg(m_limit));
        endIfDone();
    });
    connect(&m_client, &MqttClient::connectFailed, this, [this](const QString &reason) {
        // One line per outage, not one per attempt.
        if (!std::exchange(m_reportedFailure, true))
            Q_EMIT stateChanged(QStringLiteral("cannot connect (%1); trying again").arg(reason));
        endIfDone();
    });
}

void MqttPublisher::start()
{
    m_client.start({m_prefix + "/status", "offline", 1, true});
}

void MqttPublisher::publishReading(const QDateTime &at, const QByteArray &reply)
{
    enqueue("/value", ReadingFormat::readingJson(at, reply));
}

void MqttPublisher::publishEvent(const QDateTime &at, const QByteArray &event,
                                 const QString &reason)
{
    enqueue("/event", ReadingFormat::eventJson(at, event, reason));
}

void MqttPublisher::publishParameters(const QDateTime &at, const ParameterSet &parameters)
{
    // State, not a reading: only the latest waits, first in line, never dropped for readings.
    if (m_finishing)
        return;
    m_state = MqttClient::Message{m_prefix + "/parameters",
                                  ReadingFormat::parametersJson(at, parameters), 1, true};
    pump();
}

void MqttPublisher::enqueue(const QByteArray &subtopic, const QByteArray &payload)
{
    if (m_finishing)
        return;
    // The bound is on what waits for the broker. Handed-over messages are the client's, at
    // most inFlightLimit of them, and never count against it: a reading arriving before the
    // broker acknowledged the last ones must not be the one dropped.
    if (m_waiting.size() >= size_t(m_limit)) {
        ++m_dropped;
        m_waiting.pop_front();
    }
    m_waiting.push_back({m_prefix + subtopic, payload, 1, false});
    pump();
}

void MqttPublisher::pump()
{
    if (m_state && m_connected && m_inFlight.size() < size_t(inFlightLimit)) {
        const int id = m_client.publish(*m_state);
        if (id >= 0) {
            m_inFlight.insert(id);
            m_state.reset();
        }
    }
    while (m_connected && !m_waiting.empty() && m_inFlight.size() < size_t(inFlightLimit)) {
        const int id = m_client.publish(m_waiting.front());
        if (id < 0)
            break; // the client is going down; the message waits for the next connection
        m_inFlight.insert(id);
        m_waiting.pop_front();
    }
}

void MqttPublisher::onConnected()
{
    m_connected = true;
    m_reportedFailure = false;
    QString text = QStringLiteral("connected");
    // The parameters, if waiting too, go first and are no reading.
    if (const qsizetype readings = queued() - (m_state ? 1 : 0); readings > 0)
        text += QStringLiteral("; %1 waiting readings follow").arg(readings);
    if (m_dropped > m_droppedReported) {
        text += QStringLiteral("; %1 oldest readings were dropped, the queue being full")
                    .arg(m_dropped - m_droppedReported);
        m_droppedReported = m_dropped;
    }
    Q_EMIT stateChanged(text);
    m_client.publish({m_prefix + "/status", "online", 1, true});
    pump();
    endIfDone();
}

void MqttPublisher::onDelivered(int id)
{
    if (id == m_offlineId && m_offlineId != 0) {
        m_offlineId = -1; // acknowledged
    } else if (m_inFlight.erase(id)) {
        ++m_delivered;
    }
    pump();
    endIfDone();
}

void MqttPublisher::finish()
{
    m_finishing = true;
    endIfDone();
}

void MqttPublisher::abandon()
{
    m_finishing = true;
    m_abandoned = true;
    m_connected = false;
    endIfDone();
}

void MqttPublisher::endIfDone()
{
    if (!m_finishing || m_finished)
        return;
    if (m_connected) {
        if (queued() > 0)
            return; // everything first
        if (m_offlineId == 0) {
            m_offlineId = m_client.publish({m_prefix + "/status", "offline", 1, true});
            if (m_offlineId > 0)
                return;
        } else if (m_offlineId > 0) {
            return; // waiting for the broker to take the goodbye
        }
    }
    m_finished = true;
    if (queued() > 0 || m_dropped > 0)
        Q_EMIT stateChanged(QStringLiteral("ending; %1 readings not published, %2 dropped")
                                .arg(queued())
                                .arg(m_dropped));
    if (m_abandoned)
        m_client.abort();
    else
        m_client.stop();
    Q_EMIT finished();
}
