#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// A connection to an MQTT broker, as the publisher needs it. Implementations connect in the
// background and, after a failed attempt or a lost connection, try again on their own with
// a growing pause; they never block the caller for the network.
class MqttClient : public QObject {
    Q_OBJECT
public:
    struct Message {
        QByteArray topic;
        QByteArray payload;
        int qos = 1;
        bool retain = false;
    };

    using QObject::QObject;
    ~MqttClient() override = default;

    // `will` is what the broker publishes for us when the connection ends without a
    // goodbye (the program killed, the computer gone).
    virtual void start(const Message &will) = 0;
    // Hands a message over for delivery; the client keeps it, and sends it again after a
    // reconnection, until the broker has acknowledged it (then delivered(id)). Returns the
    // message's id, or -1 when the message was refused outright.
    virtual int publish(const Message &message) = 0;
    // Says goodbye to the broker (the will is not published) and stops trying.
    virtual void stop() = 0;
    // Drops the connection without a goodbye, so that the broker publishes the will, and
    // stops trying.
    virtual void abort() = 0;

Q_SIGNALS:
    void connected();
    // A connection attempt failed, or an established connection ended.
    void connectFailed(const QString &reason);
    void connectionLost(const QString &reason);
    void delivered(int id);
};
