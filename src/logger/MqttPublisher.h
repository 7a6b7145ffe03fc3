#pragma once

#include "core/ParameterSet.h"
#include "logger/MqttClient.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>

#include <deque>
#include <optional>
#include <set>

// The readings of one instrument on an MQTT broker, under one topic prefix:
//   <prefix>/value   every good reading, {"time": ISO 8601 with offset, "value": number or
//                    null, "raw": the reply text}, QoS 1
//   <prefix>/event   loss and return of the instrument, {"time", "event", "reason"}, QoS 1
//   <prefix>/status  "online" while connected, retained; "offline" at the end, and from the
//                    broker (the last will) when the connection ends without a goodbye
//   <prefix>/parameters  the instrument's 15 parameters as read, with the time they were
//                    read, retained: {"time", "senter", "upper", ..., "ziko"}, QoS 1
//
// Readings and events wait in one queue, in order, while the broker is away. The queue
// holds at most `limit` waiting messages; when it is full the oldest is dropped and
// counted. At most inFlightLimit more are handed to the client and not yet acknowledged,
// so that a long queue neither floods the client nor stalls.
class MqttPublisher : public QObject {
    Q_OBJECT
public:
    static constexpr int inFlightLimit = 20;

    MqttPublisher(MqttClient &client, const QByteArray &prefix, int limit,
                  QObject *parent = nullptr);

    void start();
    void publishReading(const QDateTime &at, const QByteArray &reply);
    void publishEvent(const QDateTime &at, const QByteArray &event, const QString &reason);
    void publishParameters(const QDateTime &at, const ParameterSet &parameters);
    // Publishes "offline" and ends once everything queued is acknowledged, or at once when
    // the broker is away; the client is stopped. finished() follows.
    void finish();
    // Ends now, whatever still waits (finish() took too long), without a goodbye: the
    // broker then says "offline" for us.
    void abandon();

    bool isConnected() const { return m_connected; }
    qsizetype queued() const
    {
        return qsizetype(m_waiting.size() + m_inFlight.size() + (m_state ? 1 : 0));
    }
    qint64 dropped() const { return m_dropped; }
    qint64 delivered() const { return m_delivered; }

Q_SIGNALS:
    // The broker's state in words, for the program's own log.
    void stateChanged(const QString &text);
    void finished();

private:
    void enqueue(const QByteArray &subtopic, const QByteArray &payload);
    void pump();
    void onConnected();
    void onDelivered(int id);
    void endIfDone();

    MqttClient &m_client;
    QByteArray m_prefix;
    qsizetype m_limit;
    std::deque<MqttClient::Message> m_waiting;
    std::optional<MqttClient::Message> m_state; // the latest parameters, until handed over
    std::set<int> m_inFlight;
    int m_offlineId = 0; // the goodbye, once handed over
    bool m_connected = false;
    bool m_finishing = false;
    bool m_finished = false;
    bool m_abandoned = false;
    bool m_reportedFailure = false;
    qint64 m_dropped = 0;
    qint64 m_droppedReported = 0;
    qint64 m_delivered = 0;
};
