#include "serial/ShareClient.h"

namespace S = ShareProtocol;

ShareClient::ShareClient(QObject *parent) : QObject(parent)
{
    // What cannot be a line is not held: the logger never sends one that long.
    m_socket.setReadLimit(S::maxLineLength + 1);
    connect(&m_socket, &LocalSocket::readyRead, this, &ShareClient::receive);
    connect(&m_socket, &LocalSocket::closed, this, [this](const QString &error) {
        end(error.isEmpty() ? QStringLiteral("the logger closed the connection") : error);
    });
}

void ShareClient::connectTo(const QString &path)
{
    m_ended = false;
    m_hello.reset();
    m_socket.connectTo(path);
}

void ShareClient::close()
{
    m_ended = true; // asked for: nothing to tell
    m_socket.abort();
}

void ShareClient::release(ShareClient *&client, QObject *owner)
{
    if (!client)
        return;
    client->disconnect(owner);
    client->close();
    client->deleteLater();
    client = nullptr;
}

qint64 ShareClient::requestCycle(const QList<Exchange> &exchanges)
{
    const qint64 id = m_nextId++;
    send(S::encode(S::CycleRequest{id, exchanges}));
    return id;
}

qint64 ShareClient::requestHistory(qint64 sinceMs)
{
    const qint64 id = m_nextId++;
    send(S::encode(S::HistoryRequest{id, sinceMs}));
    return id;
}

void ShareClient::send(const QByteArray &line)
{
    if (m_hello)
        m_socket.write(line);
    else
        m_waiting += line;
}

void ShareClient::receive()
{
    while (m_socket.canReadLine()) {
        const QByteArray line = m_socket.readLine(S::maxLineLength + 2).chopped(1);
        const auto m = S::decode(line, nullptr);
        if (!m)
            return end(QStringLiteral("the logger sent what this program does not read"));
        if (const auto hello = S::toHello(*m)) {
            if (hello->protocol != S::version)
                return end(QStringLiteral("the logger speaks protocol %1").arg(hello->protocol));
            m_hello = *hello;
            m_socket.write(std::exchange(m_waiting, {}));
            Q_EMIT ready(*hello);
        } else if (const auto r = S::toReading(*m)) {
            Q_EMIT reading(r->at, r->raw);
        } else if (const auto e = S::toEvent(*m)) {
            Q_EMIT instrumentEvent(*e);
        } else if (const auto h = S::toHistoryChunk(*m)) {
            Q_EMIT historyChunk(*h);
        } else if (const auto a = S::toCycleAnswer(*m)) {
            Q_EMIT cycleAnswered(*a);
        } else if (m->type == QLatin1String("error")) {
            return end(m->fields.value(QStringLiteral("reason")).toString());
        } // a newer logger's other messages are let pass
    }
    if (m_socket.bytesAvailable() > S::maxLineLength)
        end(QStringLiteral("the logger sent a line too long"));
}

void ShareClient::end(const QString &reason)
{
    if (std::exchange(m_ended, true))
        return;
    m_socket.abort();
    Q_EMIT closed(reason);
}
