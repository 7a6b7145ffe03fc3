#pragma once

#include "serial/ShareProtocol.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <deque>
#include <memory>
#include <vector>

class LiveHistory;
class LocalServer;
class LocalSocket;
class Monitor;
class SerialPort;

// Serves the logger's line to the windows that attach to it over a local socket (see
// ShareProtocol): says hello, passes on every reading, loss and return, answers history
// requests in chunks and runs the cycles they ask for on the logger's own port, one at a
// time between its polls. No client can hold the logger up: a line it sends that is too
// long or malformed ends its connection, a cycle beyond the short queue is answered busy,
// and a client that stops reading is dropped once its send buffer is full.
class ShareServer : public QObject {
    Q_OBJECT
public:
    struct Bounds {
        qsizetype sendBuffer = 1 << 20; // bytes waiting for a client before it is dropped
        int queuedCycles = 4;           // waiting for the line; more are answered busy
        int clients = 128;
    };

    // All given must outlive the server. `hello` is what each client is told first; its
    // state follows the monitor.
    ShareServer(SerialPort &port, Monitor &monitor, const LiveHistory &history,
                ShareProtocol::Hello hello, Bounds bounds, QObject *parent = nullptr);
    ShareServer(SerialPort &port, Monitor &monitor, const LiveHistory &history,
                ShareProtocol::Hello hello, QObject *parent = nullptr)
        : ShareServer(port, monitor, history, std::move(hello), Bounds{}, parent)
    {
    }
    ~ShareServer() override;

    // Serves at `path` (its folder made if missing), readable and writable by the owner and
    // by `group` (the device's, so whoever may open the instrument may attach), nobody
    // else. A socket left there by an ended process is replaced.
    bool listen(const QString &path, const QString &deviceNode, QString *error);
    QString path() const;
    int clientCount() const { return int(m_clients.size()); }

Q_SIGNALS:
    // A client's cycle has run on the line (not emitted for busy answers).
    void cycleRan(const ShareProtocol::CycleRequest &request, const CycleResult &result);

private:
    struct Client;
    struct Queued {
        Client *client;
        ShareProtocol::CycleRequest request;
    };

    void accept(LocalSocket *socket);
    void receive(Client *client);
    void handle(Client *client, QByteArrayView line);
    void refuse(Client *client, const QString &reason);
    void send(Client *client, const QByteArray &line);
    void broadcast(const QByteArray &line);
    void sendHistory(Client *client);
    void runNext();
    void drop(Client *client);

    SerialPort &m_port;
    Monitor &m_monitor;
    const LiveHistory &m_history;
    ShareProtocol::Hello m_hello;
    Bounds m_bounds;
    LocalServer *m_server;
    std::vector<std::unique_ptr<Client>> m_clients;
    std::deque<Queued> m_queue;
    Client *m_running = nullptr; // whose cycle is on the line; null when none or gone
    bool m_cycleOnLine = false;
    quint64 m_serials = 0;
};
