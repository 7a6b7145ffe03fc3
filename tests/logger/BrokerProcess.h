#pragma once

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A Mosquitto broker of the test's own on 127.0.0.1 at a free port, with a config file of
// its own (anonymous access, persistence in its folder so that sessions outlive a restart,
// plus the lines given), and subscribers to it through mosquitto_sub.
class BrokerProcess {
public:
    explicit BrokerProcess(const QByteArray &extraConfig = {});
    ~BrokerProcess();

    bool start();
    void stop(); // SIGTERM: the broker saves its sessions
    int port() const { return m_port; }
    QString folder() const { return m_dir.path(); }
    QString errorString() const { return m_error; }
    // What the broker has said on its outputs so far, over all its runs ("New client
    // connected from ... as ID (p2, c0, k30)." for each connection).
    QByteArray log();

private:
    QByteArray m_log;
    QTemporaryDir m_dir;
    QByteArray m_extraConfig;
    QProcess m_process;
    int m_port = 0;
    QString m_error;
};

// mosquitto_sub with a lasting session (QoS 1, no clean start), printing "topic payload"
// lines; it reconnects by itself when the broker returns.
class Subscriber {
public:
    Subscriber(int port, const QString &topic, const QStringList &extra = {});
    ~Subscriber();

    bool waitUntilSubscribed(const QByteArray &probeTopic, int port, const QStringList &extra = {});
    // Payloads of messages on `topic`.
    QList<QByteArray> payloads(const QByteArray &topic);
    bool waitFor(const QByteArray &topic, qsizetype count, int timeoutMs);

private:
    QProcess m_process;
    QByteArray m_out;
};

// The retained messages under `filter` now, as a subscriber that comes now gets them:
// topic -> payload.
QMap<QByteArray, QByteArray> retainedMessages(int port, const QString &filter);

// Publishes one message with mosquitto_pub; true when it was delivered.
bool publishOnce(int port, const QByteArray &topic, const QByteArray &payload,
                 const QStringList &extra = {});
