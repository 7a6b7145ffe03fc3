#include "logger/MqttPublisher.h"

#include "logger/MessageJournal.h"
#include "logger/ReadingFormat.h"

namespace {
// What a journal line's kind byte stands for.
QByteArray subtopicOf(char kind)
{
    return kind == 'v' ? "/value" : kind == 'e' ? "/event" : QByteArray();
}
} // namespace

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

void MqttPublisher::keepIn(MessageJournal *journal)
{
    m_journal = journal;
    for (const MessageJournal::Entry &e : journal->loaded()) {
        if (subtopicOf(e.kind).isEmpty())
            journal->done(e.id); // a kind this version does not send
        else
            enqueue(e.kind, e.payload, e.id);
    }
    m_restored = qsizetype(m_waiting.size());
    journal->forgetLoaded();
}

void MqttPublisher::start()
{
    if (m_restored > 0)
        Q_EMIT stateChanged(QStringLiteral("%1 readings kept from the last run wait for the broker")
                                .arg(m_restored));
    m_client.start({m_prefix + "/status", "offline", 1, true});
}

void MqttPublisher::publishReading(const QDateTime &at, const QByteArray &reply)
{
    enqueue('v', ReadingFormat::readingJson(at, reply));
}

void MqttPublisher::publishEvent(const QDateTime &at, const QByteArray &event,
                                 const QString &reason)
{
    enqueue('e', ReadingFormat::eventJson(at, event, reason));
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

void MqttPublisher::enqueue(char kind, const QByteArray &payload, qint64 kept)
{
    if (m_finishing)
        return;
    if (m_journal && kept < 0) {
        kept = m_journal->append(kind, payload);
        // Told once per trouble, not once per reading; the message waits in memory.
        if (kept < 0 && std::exchange(m_journalError, m_journal->lastError()) != m_journalError)
            Q_EMIT stateChanged(m_journalError + QStringLiteral("; readings wait in memory"));
    }
    // The bound is on what waits for the broker. Handed-over messages are the client's, at
    // most inFlightLimit of them, and never count against it: a reading arriving before the
    // broker acknowledged the last ones must not be the one dropped.
    if (m_waiting.size() >= size_t(m_limit)) {
        ++m_dropped;
        if (m_journal)
            m_journal->done(m_waiting.front().kept);
        m_waiting.pop_front();
    }
    const bool retain = kind == 'v' && m_retainValues;
    m_waiting.push_back({{m_prefix + subtopicOf(kind), payload, 1, retain}, kept});
    pump();
}

void MqttPublisher::pump()
{
    if (m_state && m_connected && m_inFlight.size() < size_t(inFlightLimit)) {
        const int id = m_client.publish(*m_state);
        if (id >= 0) {
            m_inFlight.emplace(id, -1);
            m_state.reset();
        }
    }
    while (m_connected && !m_waiting.empty() && m_inFlight.size() < size_t(inFlightLimit)) {
        const int id = m_client.publish(m_waiting.front().message);
        if (id < 0)
            break; // the client is going down; the message waits for the next connection
        m_inFlight.emplace(id, m_waiting.front().kept);
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
    m_announcing.clear();
    for (const MqttClient::Message &m : m_announcements) {
        if (const int id = m_client.publish(m); id >= 0)
            m_announcing.insert(id);
    }
    pump();
    endIfDone();
}

void MqttPublisher::onDelivered(int id)
{
    if (id == m_offlineId && m_offlineId != 0) {
        m_offlineId = -1; // acknowledged
    } else if (const auto it = m_inFlight.find(id); it != m_inFlight.end()) {
        if (m_journal)
            m_journal->done(it->second);
        m_inFlight.erase(it);
        ++m_delivered;
    } else if (m_announcing.erase(id) && m_announcing.empty()) {
        Q_EMIT announced();
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
        Q_EMIT stateChanged(
            QStringLiteral("ending; %1 readings not published%2, %3 dropped")
                .arg(queued())
                .arg(m_journal ? QStringLiteral(" (kept for the next run)") : QString())
                .arg(m_dropped));
    if (m_abandoned)
        m_client.abort();
    else
        m_client.stop();
    Q_EMIT finished();
}
