#include "serial/LocalSocket.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr int retryMs = 50;
constexpr int retries = 100; // a server too busy to take us for 5 s is given up on
constexpr qsizetype readChunk = 64 * 1024;

QString systemReason(int error)
{
    return QString::fromLocal8Bit(strerror(error));
}

// The address of `path`, or false when it does not fit one.
bool addressOf(const QByteArray &path, sockaddr_un *address)
{
    *address = {};
    address->sun_family = AF_UNIX;
    if (path.isEmpty() || size_t(path.size()) >= sizeof address->sun_path)
        return false;
    memcpy(address->sun_path, path.constData(), size_t(path.size()));
    return true;
}

} // namespace

LocalSocket::LocalSocket(QObject *parent) : QObject(parent)
{
}

LocalSocket::~LocalSocket()
{
    release();
}

void LocalSocket::connectTo(const QString &path)
{
    release();
    ++m_connection;
    m_ended = m_closing = false;
    m_input.clear();
    m_output.clear();
    m_outputSent = 0;
    m_connectPath = QFile::encodeName(path);
    m_connectTries = 0;
    m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return fail(systemReason(errno));
    m_connecting = true;
    tryConnect();
}

void LocalSocket::tryConnect()
{
    sockaddr_un address;
    if (!addressOf(m_connectPath, &address))
        return fail(QStringLiteral("the socket's path is too long"));
    if (::connect(m_fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        const int error = errno;
        // A Unix-domain socket answers EAGAIN when the server's queue is full.
        if (error == EAGAIN && ++m_connectTries < retries) {
            if (!m_retry) {
                m_retry = new QTimer(this);
                m_retry->setSingleShot(true);
                connect(m_retry, &QTimer::timeout, this, &LocalSocket::tryConnect);
            }
            m_retry->start(retryMs);
            return;
        }
        return fail(systemReason(error));
    }
    m_connecting = false;
    adopt(m_fd);
    QMetaObject::invokeMethod(
        this,
        [this, connection = m_connection] {
            if (connection == m_connection && isConnected())
                Q_EMIT connected();
        },
        Qt::QueuedConnection);
}

void LocalSocket::adopt(int fd)
{
    m_fd = fd;
    m_readable = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_readable, &QSocketNotifier::activated, this, &LocalSocket::readSome);
    m_writable = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    m_writable->setEnabled(false);
    connect(m_writable, &QSocketNotifier::activated, this, &LocalSocket::writeSome);
}

QByteArray LocalSocket::read(qsizetype max)
{
    const QByteArray taken = m_input.left(max);
    m_input.remove(0, taken.size());
    if (m_readable && !m_closing && (m_readLimit <= 0 || m_input.size() < m_readLimit))
        m_readable->setEnabled(true);
    return taken;
}

QByteArray LocalSocket::readLine(qsizetype max)
{
    const qsizetype end = m_input.indexOf('\n');
    return read(end >= 0 && end < max ? end + 1 : max);
}

void LocalSocket::readSome()
{
    bool got = false;
    while (m_fd >= 0 && (m_readLimit <= 0 || m_input.size() < m_readLimit)) {
        qsizetype want = readChunk;
        if (m_readLimit > 0)
            want = std::min(want, m_readLimit - m_input.size());
        const qsizetype had = m_input.size();
        m_input.resize(had + want);
        const ssize_t n = ::recv(m_fd, m_input.data() + had, size_t(want), 0);
        m_input.resize(had + std::max<qsizetype>(n, 0));
        if (n > 0) {
            got = true;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        // The peer is gone; what it sent before still reaches the reader first.
        const QString reason = n == 0 ? QString() : systemReason(errno);
        if (got)
            Q_EMIT readyRead();
        return fail(reason);
    }
    if (m_readable && m_readLimit > 0 && m_input.size() >= m_readLimit)
        m_readable->setEnabled(false); // until the reader takes some
    if (got)
        Q_EMIT readyRead();
}

void LocalSocket::write(const QByteArray &bytes)
{
    if (m_fd < 0 || m_connecting || m_closing)
        return;
    if (m_outputSent > 0 && m_outputSent == m_output.size()) {
        m_output.clear();
        m_outputSent = 0;
    }
    m_output += bytes;
    // At once where the system takes it; told through bytesWritten only when some had to
    // wait, so a writer is never called back from inside its own write.
    if (!m_writable->isEnabled())
        writeSome();
}

void LocalSocket::writeSome()
{
    const bool waited = m_writable && m_writable->isEnabled();
    while (m_fd >= 0 && m_outputSent < m_output.size()) {
        const ssize_t n = ::send(m_fd, m_output.constData() + m_outputSent,
                                 size_t(m_output.size() - m_outputSent), MSG_NOSIGNAL);
        if (n > 0) {
            m_outputSent += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        return fail(systemReason(errno));
    }
    if (m_fd < 0)
        return;
    const bool rest = m_outputSent < m_output.size();
    if (!rest) {
        m_output.clear();
        m_outputSent = 0;
    } else if (m_outputSent > (1 << 20)) {
        m_output.remove(0, m_outputSent); // what went out is not kept forever
        m_outputSent = 0;
    }
    m_writable->setEnabled(rest);
    if (!rest && m_closing)
        return fail({});
    if (waited)
        Q_EMIT bytesWritten();
}

void LocalSocket::closeAfterWriting()
{
    if (m_fd < 0 || m_connecting || bytesToWrite() == 0)
        return abort();
    m_closing = true;
    m_input.clear();
    m_readable->setEnabled(false);
}

void LocalSocket::abort()
{
    fail({});
}

void LocalSocket::fail(const QString &reason)
{
    release();
    if (std::exchange(m_ended, true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this, reason, connection = m_connection] {
            if (connection == m_connection) // not a connection made since
                Q_EMIT closed(reason);
        },
        Qt::QueuedConnection);
}

void LocalSocket::release()
{
    delete m_readable;
    delete m_writable;
    m_readable = m_writable = nullptr;
    if (m_retry)
        m_retry->stop();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_connecting = false;
    m_output.clear();
    m_outputSent = 0;
}

LocalServer::LocalServer(QObject *parent) : QObject(parent)
{
}

LocalServer::~LocalServer()
{
    close();
}

bool LocalServer::listen(const QString &path, unsigned mode, int backlog, QString *error)
{
    close();
    const auto failed = [&](const QString &why) {
        if (error)
            *error = why;
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        return false;
    };
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address;
    if (!addressOf(name, &address))
        return failed(QStringLiteral("the path is too long for a socket"));
    m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return failed(systemReason(errno));
    struct stat st {};
    if (::lstat(name.constData(), &st) == 0 && S_ISSOCK(st.st_mode))
        ::unlink(name.constData()); // left by a process that ended
    if (::bind(m_fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        return failed(systemReason(errno));
    // Nobody can connect before listen(), so the mode holds from the first connection.
    if (::chmod(name.constData(), mode_t(mode)) != 0 || ::listen(m_fd, backlog) != 0) {
        const int e = errno;
        ::unlink(name.constData());
        return failed(systemReason(e));
    }
    m_path = path;
    m_incoming = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_incoming, &QSocketNotifier::activated, this, &LocalServer::accept);
    return true;
}

void LocalServer::close()
{
    delete m_incoming;
    m_incoming = nullptr;
    if (m_fd < 0)
        return;
    ::close(m_fd);
    m_fd = -1;
    ::unlink(QFile::encodeName(m_path).constData());
}

void LocalServer::accept()
{
    for (;;) {
        const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                // Out of descriptors or memory: the rest wait in the queue a while.
                m_incoming->setEnabled(false);
                QTimer::singleShot(100, this, [this] {
                    if (m_incoming)
                        m_incoming->setEnabled(true);
                });
            }
            return;
        }
        auto *socket = new LocalSocket(this);
        socket->adopt(fd);
        Q_EMIT connection(socket);
        if (m_fd < 0)
            return; // closed by a receiver
    }
}
