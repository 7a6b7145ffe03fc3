#include "logger/MessageJournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 rewriteAbove = 1 << 20; // bytes; smaller files are only emptied
constexpr char waitingMark = '+';
constexpr char doneMark = '-';

QByteArray lineOf(char kind, const QByteArray &payload)
{
    QByteArray line;
    line.reserve(payload.size() + 4);
    line += waitingMark;
    line += kind;
    line += ' ';
    line += payload;
    line += '\n';
    return line;
}

bool readAll(int fd, qint64 size, QByteArray *into)
{
    into->resize(size);
    qint64 got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd, into->data() + got, size_t(size - got), got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        got += n;
    }
    return true;
}

// Opens `path` locked for this process alone: the file the name leads to now, not one a
// rewrite by another process has just replaced.
int openLocked(const QByteArray &path, int *error)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0640);
        if (fd < 0) {
            *error = errno;
            return -1;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            *error = errno;
            ::close(fd);
            return -1;
        }
        struct stat opened {
        }, named{};
        if (::fstat(fd, &opened) == 0 && ::stat(path.constData(), &named) == 0 &&
            opened.st_ino == named.st_ino && opened.st_dev == named.st_dev)
            return fd;
        ::close(fd);
    }
    *error = EAGAIN;
    return -1;
}

} // namespace

MessageJournal::~MessageJournal()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool MessageJournal::open(const QString &path, QString *error)
{
    m_path = path;
    const auto failed = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, why);
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        return false;
    };
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return failed(QStringLiteral("cannot make its folder"));
    int why = 0;
    m_fd = openLocked(QFile::encodeName(path), &why);
    if (m_fd < 0)
        return failed(why == EWOULDBLOCK ? QStringLiteral("in use by another process")
                                         : QString::fromLocal8Bit(strerror(why)));
    struct stat st {};
    QByteArray bytes;
    if (::fstat(m_fd, &st) != 0 || !readAll(m_fd, st.st_size, &bytes))
        return failed(QString::fromLocal8Bit(strerror(errno)));

    bool clean = true; // every line waiting and whole
    qint64 offset = 0;
    while (offset < bytes.size()) {
        const qsizetype end = bytes.indexOf('\n', offset);
        if (end < 0) { // cut short
            clean = false;
            break;
        }
        const QByteArrayView line(bytes.constData() + offset, end - offset);
        const bool readable = line.size() >= 4 && line[2] == ' ' && line[1] > ' ' &&
                              (line[0] == waitingMark || line[0] == doneMark);
        if (readable && line[0] == waitingMark) {
            const qint64 id = m_nextId++;
            m_loaded.push_back({line[1], line.sliced(3).toByteArray(), id});
            m_lines.push_back({id, offset, line.size() + 1, true});
            ++m_waiting;
            m_waitingBytes += line.size() + 1;
        } else {
            clean = false;
        }
        offset = end + 1;
    }
    m_size = offset;
    if (!clean && !rewrite())
        return failed(m_error);
    return true;
}

bool MessageJournal::writeAt(qint64 offset, const char *data, qint64 length)
{
    qint64 done = 0;
    while (done < length) {
        const ssize_t n = ::pwrite(m_fd, data + done, size_t(length - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        done += n;
    }
    return true;
}

qint64 MessageJournal::append(char kind, const QByteArray &payload)
{
    if (m_fd < 0 || payload.contains('\n'))
        return -1;
    const QByteArray line = lineOf(kind, payload);
    if (!writeAt(m_size, line.constData(), line.size())) {
        const int error = errno;
        const bool cut = ::ftruncate(m_fd, m_size) == 0; // whole or absent
        fail(cut ? QStringLiteral("cannot keep a message")
                 : QStringLiteral("cannot keep a message, nor cut back what went out of it"),
             error);
        return -1;
    }
    const qint64 id = m_nextId++;
    m_lines.push_back({id, m_size, line.size(), true});
    m_size += line.size();
    ++m_waiting;
    m_waitingBytes += line.size();
    return id;
}

void MessageJournal::done(qint64 id)
{
    const auto it = std::lower_bound(m_lines.begin(), m_lines.end(), id,
                                     [](const Line &l, qint64 wanted) { return l.id < wanted; });
    if (id < 0 || it == m_lines.end() || it->id != id || !it->waiting)
        return;
    it->waiting = false;
    --m_waiting;
    m_waitingBytes -= it->length;
    if (m_waiting == 0) {
        // Nothing waits: the file starts again empty.
        if (::ftruncate(m_fd, 0) != 0)
            fail(QStringLiteral("cannot empty the file"), errno);
        m_size = 0;
        m_lines.clear();
        return;
    }
    if (!writeAt(it->offset, &doneMark, 1))
        fail(QStringLiteral("cannot mark a message sent"), errno);
    while (!m_lines.empty() && !m_lines.front().waiting)
        m_lines.pop_front();
    if (m_size > rewriteAbove && m_size - m_waitingBytes > m_waitingBytes)
        rewrite();
}

bool MessageJournal::rewrite()
{
    // What waits, read back from the file, into a new one that takes the old one's name.
    QByteArray kept;
    kept.reserve(m_waitingBytes);
    std::deque<Line> lines;
    for (const Line &l : m_lines) {
        if (!l.waiting)
            continue;
        QByteArray line(l.length, Qt::Uninitialized);
        qint64 got = 0;
        while (got < l.length) {
            const ssize_t n =
                ::pread(m_fd, line.data() + got, size_t(l.length - got), l.offset + got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                fail(QStringLiteral("cannot read it back"), n == 0 ? EIO : errno);
                return false;
            }
            got += n;
        }
        lines.push_back({l.id, kept.size(), l.length, true});
        kept += line;
    }
    const QByteArray name = QFile::encodeName(m_path);
    const QByteArray fresh = name + ".new";
    const int fd = ::open(fresh.constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0640);
    if (fd < 0) {
        fail(QStringLiteral("cannot rewrite it"), errno);
        return false;
    }
    const int old = std::exchange(m_fd, fd);
    // Locked before it takes the name; on the disk before the old one goes.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !writeAt(0, kept.constData(), kept.size()) ||
        ::fsync(fd) != 0 || ::rename(fresh.constData(), name.constData()) != 0) {
        const int error = errno;
        m_fd = old;
        ::close(fd);
        ::unlink(fresh.constData());
        fail(QStringLiteral("cannot rewrite it"), error);
        return false;
    }
    ::close(old);
    m_lines = std::move(lines);
    m_size = kept.size();
    return true;
}

void MessageJournal::fail(const QString &what, int error)
{
    m_error =
        QStringLiteral("%1: %2: %3").arg(m_path, what, QString::fromLocal8Bit(strerror(error)));
}
