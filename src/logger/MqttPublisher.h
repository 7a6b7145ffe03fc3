#pragma once

#include "core/ParameterSet.h"
#include "logger/MqttClient.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>

#include <deque>
#include <map>
#include <optional>
#include <set>

class MessageJournal;

// The readings of one instrument on an MQTT broker, under one topic prefix:
//   <prefix>/value   every good reading, {"time": ISO 8601 with offset, "value": number or
//                    null, "raw": the reply text}, QoS 1; retained if asked for
//   <prefix>/event   loss and return of the instrument, {"time", "event", "reason"}, QoS 1
//   <prefix>/status  "online" while connected, retained; "offline" at the end, and from the
//                    broker (the last will) when the connection ends without a goodbye
//   <prefix>/parameters  the instrument's 15 parameters as read, with the time they were
//                    read, retained: {"time", "senter", "upper", ..., "ziko"}, QoS 1
//
// and, at each connection, the announcements it is given (retained: what the logger is, a
// dashboard's discovery config).
//
// Readings and events wait in one queue, in order, while the broker is away. The queue
// holds at most `limit` waiting messages; when it is full the oldest is dropped and
// counted. At most inFlightLimit more are handed to the client and not yet acknowledged,
// so that a long queue neither floods the client nor stalls. With a journal, every message
// not yet acknowledged is kept in its file too, and what an earlier run left there goes
// first.
class MqttPublisher : public QObject {
    Q_OBJECT
public:
    static constexpr int inFlightLimit = 20;

    MqttPublisher(MqttClient &client, const QByteArray &prefix, int limit,
                  QObject *parent = nullptr);

    // Before start(): value messages retained, so a dashboard that starts later has the last.
    void setRetainValues(bool retain) { m_retainValues = retain; }
    // Before start(): messages are kept in `journal` (open; it must outlive the publisher)
    // until acknowledged; those it holds from an earlier run are queued first.
    void keepIn(MessageJournal *journal);
    // Published, retained, at each connection, after "online".
    void setAnnouncements(const QList<MqttClient::Message> &messages)
    {
        m_announcements = messages;
    }
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
    // The broker has acknowledged this connection's announcements.
    void announced();
    void finished();

private:
    struct Pending {
        MqttClient::Message message;
        qint64 kept; // its id in the journal; -1 when not kept there
    };
    void enqueue(char kind, const QByteArray &payload, qint64 kept = -1);
    void pump();
    void onConnected();
    void onDelivered(int id);
    void endIfDone();

    MqttClient &m_client;
    QByteArray m_prefix;
    qsizetype m_limit;
    std::deque<Pending> m_waiting;
    std::optional<MqttClient::Message> m_state; // the latest parameters, until handed over
    std::map<int, qint64> m_inFlight;           // client's id -> journal's id
    MessageJournal *m_journal = nullptr;
    QString m_journalError; // the last one told
    QList<MqttClient::Message> m_announcements;
    std::set<int> m_announcing; // this connection's, not yet acknowledged
    bool m_retainValues = false;
    qsizetype m_restored = 0; // readings an earlier run left in the journal
    int m_offlineId = 0;      // the goodbye, once handed over
    bool m_connected = false;
    bool m_finishing = false;
    bool m_finished = false;
    bool m_abandoned = false;
    bool m_reportedFailure = false;
    qint64 m_dropped = 0;
    qint64 m_droppedReported = 0;
    qint64 m_delivered = 0;
};
