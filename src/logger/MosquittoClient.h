#pragma once

#include "logger/MqttClient.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

struct mosquitto;

// MqttClient on the Mosquitto client library. The network runs on a thread of its own
// (name lookup, connecting, TLS, sending and receiving), so the caller's thread never
// waits for the broker; the signals arrive in the thread this object lives in.
//
// After a failed attempt it waits 1 s, then twice as long each time, up to 60 s, a little
// shuffled so that many loggers do not return at the same instant; after a lost connection
// it starts again from 1 s. A broker that takes the connection but does not answer within
// 10 s counts as a failed attempt. Messages handed over and not yet acknowledged are sent
// again after reconnecting.
class MosquittoClient : public MqttClient {
    Q_OBJECT
public:
    struct Settings {
        QString host;
        int port = 1883;
        bool tls = false;
        QString caFile;   // empty: the system's certificate authorities
        QString certFile; // a client certificate and its key (tls); empty: none
        QString keyFile;
        QString user;
        QString password;
        QString clientId; // with it, the session at the broker outlasts a connection
        int keepAliveSeconds = 30;
        std::chrono::milliseconds answerBound = std::chrono::seconds(10);
        std::chrono::milliseconds firstPause = std::chrono::seconds(1);
    };

    explicit MosquittoClient(const Settings &settings, QObject *parent = nullptr);
    ~MosquittoClient() override;

    void start(const Message &will) override;
    int publish(const Message &message) override;
    void stop() override;
    void abort() override;

    // The reason for a failed call that returned `rc`, with `error` the errno it left.
    static QString describe(int rc, int error, const Settings &settings);

private:
    void run();
    bool pause(std::chrono::milliseconds length);
    static void onConnect(mosquitto *, void *self, int rc);
    static void onPublish(mosquitto *, void *self, int mid);

    Settings m_settings;
    QString m_setupError; // the client cannot connect safely at all
    mosquitto *m_mosq = nullptr;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false; // under m_mutex
    bool m_goodbye = true;   // under m_mutex
    // The network thread's own:
    bool m_connected = false;
    bool m_refused = false; // the broker said no, and onConnect has told why
    QByteArray m_lastError; // the library's last error message (TLS failures)
};
