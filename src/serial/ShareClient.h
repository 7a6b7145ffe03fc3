#pragma once

#include "serial/LocalSocket.h"
#include "serial/ShareProtocol.h"

#include <QByteArray>
#include <QObject>

#include <optional>

// A window's end of a logger's socket (see ShareProtocol): connects, takes the logger's
// hello, readings and events as they come, and sends the requests it is given. Requests
// made before the hello wait for it.
class ShareClient : public QObject {
    Q_OBJECT
public:
    explicit ShareClient(QObject *parent = nullptr);

    void connectTo(const QString &path);
    void close();
    // Closes `client` (if any) for `owner`, which hears nothing more of it, and forgets it.
    // Deleted later: it may be telling the owner something right now.
    static void release(ShareClient *&client, QObject *owner);
    // Connected and greeted.
    bool isReady() const { return m_hello.has_value(); }
    const std::optional<ShareProtocol::Hello> &hello() const { return m_hello; }

    // Each returns the id its answer will carry.
    qint64 requestCycle(const QList<Exchange> &exchanges);
    qint64 requestHistory(qint64 sinceMs);

Q_SIGNALS:
    void ready(const ShareProtocol::Hello &hello);
    void reading(const QDateTime &at, const QByteArray &raw);
    void instrumentEvent(const ShareProtocol::Event &event); // lost or back
    void historyChunk(const ShareProtocol::HistoryChunk &chunk);
    void cycleAnswered(const ShareProtocol::CycleAnswer &answer);
    // The connection is over: the logger ended, refused us, or could not be reached.
    void closed(const QString &reason);

private:
    void receive();
    void send(const QByteArray &line);
    void end(const QString &reason);

    LocalSocket m_socket;
    std::optional<ShareProtocol::Hello> m_hello;
    QByteArray m_waiting; // requests made before the hello
    qint64 m_nextId = 1;
    bool m_ended = false;
};
