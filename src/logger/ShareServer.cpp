#include "logger/ShareServer.h"

#include "monitor/LiveHistory.h"
#include "monitor/Monitor.h"
#include "serial/LocalSocket.h"
#include "serial/SerialPort.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace S = ShareProtocol;

struct ShareServer::Client {
    quint64 serial; // never reused, unlike the address
    LocalSocket *socket;
    std::vector<S::Point> history; // still to send, answering `historyId`
    size_t historySent = 0;
    qint64 historyId = 0;
    bool historyOpen = false; // a history answer is under way
    bool closing = false;     // refused: nothing more is taken from it
};

ShareServer::ShareServer(SerialPort &port, Monitor &monitor, const LiveHistory &history,
                         S::Hello hello, Bounds bounds, QObject *parent)
    : QObject(parent), m_port(port), m_monitor(monitor), m_history(history),
      m_hello(std::move(hello)), m_bounds(bounds), m_server(new LocalServer(this))
{
    connect(m_server, &LocalServer::connection, this, &ShareServer::accept);
    connect(&m_monitor, &Monitor::reading, this,
            [this](const QDateTime &at, const QByteArray &raw) {
                broadcast(S::encode(S::Reading{at, raw}));
            });
    connect(&m_monitor, &Monitor::instrumentLost, this,
            [this](const QDateTime &since, const CycleResult &result) {
                broadcast(S::encode(S::Event{true, since, Monitor::describeFailure(result)}));
            });
    connect(&m_monitor, &Monitor::instrumentBack, this, [this](const QDateTime &at) {
        broadcast(S::encode(S::Event{false, at, {}}));
    });
    connect(&m_monitor, &Monitor::pollEnded, this, &ShareServer::runNext);
}

ShareServer::~ShareServer()
{
    m_queue.clear();
    for (const auto &client : m_clients)
        client->socket->disconnect(this);
    m_server->close(); // removes the socket file
}

bool ShareServer::listen(const QString &path, const QString &deviceNode, QString *error)
{
    const QFileInfo where(path);
    if (!QDir().mkpath(where.absolutePath())) {
        if (error)
            *error = QStringLiteral("cannot make the folder %1").arg(where.absolutePath());
        return false;
    }
    // The device is ours (claimed), so a socket by this name is a leftover: replaced. The
    // backlog takes the windows that come all at once.
    QString why;
    if (!m_server->listen(path, 0660, m_bounds.clients, &why)) {
        if (error)
            *error = QStringLiteral("cannot serve at %1: %2").arg(path, why);
        return false;
    }
    // The device's group may attach: whoever may open the instrument.
    struct stat device {};
    if (::stat(QFile::encodeName(deviceNode).constData(), &device) == 0 &&
        ::chown(QFile::encodeName(path).constData(), uid_t(-1), device.st_gid) != 0 && error)
        *error = QStringLiteral("%1 stays in its own group: %2")
                     .arg(path, QString::fromLocal8Bit(strerror(errno)));
    return true;
}

QString ShareServer::path() const
{
    return m_server->path();
}

void ShareServer::accept(LocalSocket *socket)
{
    auto client = std::make_unique<Client>(Client{++m_serials, socket, {}, 0, 0, false, false});
    Client *c = client.get();
    m_clients.push_back(std::move(client));
    // Never more than one line's bound is held for a client: the rest waits in the system.
    socket->setReadLimit(S::maxLineLength + 1);
    connect(socket, &LocalSocket::readyRead, this, [this, c] { receive(c); });
    connect(socket, &LocalSocket::bytesWritten, this, [this, c] { sendHistory(c); });
    connect(socket, &LocalSocket::closed, this, [this, c] { drop(c); });
    if (int(m_clients.size()) > m_bounds.clients)
        return refuse(c, QStringLiteral("too many windows attached (%1)").arg(m_bounds.clients));
    S::Hello hello = m_hello;
    hello.lost = m_monitor.isFailing();
    send(c, S::encode(hello));
}

void ShareServer::receive(Client *c)
{
    while (!c->closing && c->socket->canReadLine())
        handle(c, c->socket->readLine(S::maxLineLength + 2).chopped(1));
    if (!c->closing && c->socket->bytesAvailable() > S::maxLineLength)
        refuse(c, QStringLiteral("a line longer than %1 bytes").arg(S::maxLineLength));
}

void ShareServer::handle(Client *c, QByteArrayView line)
{
    QString error;
    const auto message = S::decode(line, &error);
    if (!message)
        return refuse(c, error);
    if (const auto history = S::toHistoryRequest(*message)) {
        const TrendSeries &series = m_history.series();
        c->history.clear();
        for (qsizetype i = series.lowerBound(history->sinceMs); i < series.size(); ++i)
            c->history.push_back({series.at(i).ms, series.at(i).value});
        c->historySent = 0;
        c->historyId = history->id;
        c->historyOpen = true;
        return sendHistory(c);
    }
    if (message->type == QLatin1String("cycle")) {
        const auto request = S::toCycleRequest(*message, &error);
        if (!request)
            return refuse(c, error);
        if (int(m_queue.size()) >= m_bounds.queuedCycles || !m_monitor.isPolling()) {
            S::CycleAnswer busy{request->id, true, {}, {}};
            return send(c, S::encode(busy));
        }
        m_queue.push_back({c, *request});
        return runNext();
    }
    refuse(c, QStringLiteral("unknown type \"%1\"").arg(message->type));
}

void ShareServer::refuse(Client *c, const QString &reason)
{
    send(c, S::encodeError(reason));
    c->closing = true;
    c->socket->closeAfterWriting(); // after what is queued, unless it never reads
}

void ShareServer::send(Client *c, const QByteArray &line)
{
    if (!c->socket->isConnected())
        return;
    // A client that has stopped reading gets nothing more: it would hold memory here.
    if (c->socket->bytesToWrite() + line.size() > m_bounds.sendBuffer) {
        c->socket->abort();
        return;
    }
    c->socket->write(line);
}

void ShareServer::broadcast(const QByteArray &line)
{
    for (size_t i = 0; i < m_clients.size(); ++i)
        if (!m_clients[i]->closing)
            send(m_clients[i].get(), line);
}

void ShareServer::sendHistory(Client *c)
{
    if (!c->historyOpen)
        return;
    if (c->history.empty()) {
        c->historyOpen = false;
        return send(c, S::encode(S::HistoryChunk{c->historyId, {}, false}));
    }
    // A chunk at a time, as the client takes them: the rest waits here, not in its buffer.
    // One per turn of the event loop, so that a long answer never holds up a poll.
    if (c->closing || c->socket->bytesToWrite() >= m_bounds.sendBuffer / 4)
        return; // bytesWritten comes back here
    const size_t n = std::min(c->history.size() - c->historySent, size_t(S::historyChunkPoints));
    const auto from = c->history.begin() + qsizetype(c->historySent);
    c->historySent += n;
    const bool more = c->historySent < c->history.size();
    send(c, S::encode(S::HistoryChunk{c->historyId, {from, from + qsizetype(n)}, more}));
    if (more && c->socket->bytesToWrite() == 0) { // all went out: no bytesWritten will come
        QTimer::singleShot(0, this, [this, serial = c->serial] {
            for (const auto &client : m_clients)
                if (client->serial == serial)
                    return sendHistory(client.get());
        });
    }
    if (c->historySent == c->history.size()) {
        c->history = {};
        c->historyOpen = false;
    }
}

void ShareServer::runNext()
{
    if (m_cycleOnLine || m_queue.empty() || m_port.isBusy())
        return;
    const Queued next = m_queue.front();
    m_queue.pop_front();
    m_running = next.client;
    m_cycleOnLine = true;
    auto replies = std::make_shared<QList<QByteArray>>();
    const bool started = m_port.startCycle(
        next.request.exchanges,
        [replies](int, const QByteArray &reply, QString *) {
            replies->append(reply);
            return true;
        },
        this,
        [this, request = next.request, replies](const CycleResult &result) {
            m_cycleOnLine = false;
            if (m_running) {
                S::CycleAnswer answer{request.id, false, result, *replies};
                send(m_running, S::encode(answer));
            }
            m_running = nullptr;
            Q_EMIT cycleRan(request, result);
            m_monitor.lineFreed();
            runNext();
        });
    if (!started) { // the poll holds the line: after it
        m_cycleOnLine = false;
        m_running = nullptr;
        m_queue.push_front(next);
    }
}

void ShareServer::drop(Client *c)
{
    std::erase_if(m_queue, [c](const Queued &q) { return q.client == c; });
    if (m_running == c)
        m_running = nullptr; // its cycle runs to its end; the answer goes nowhere
    const auto it = std::find_if(m_clients.begin(), m_clients.end(),
                                 [c](const auto &p) { return p.get() == c; });
    if (it != m_clients.end()) {
        (*it)->socket->deleteLater();
        m_clients.erase(it);
    }
}
