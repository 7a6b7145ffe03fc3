#include "core/ProcessClaim.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#endif

namespace {

bool isAlive(qint64 pid)
{
#ifdef Q_OS_UNIX
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
#else
    return pid > 0;
#endif
}

// The name the system gives the process, or the name its lock file records.
QString programOf(qint64 pid, const QString &recorded)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (comm.open(QIODevice::ReadOnly)) {
        const QString name = QString::fromLocal8Bit(comm.readLine(64)).trimmed();
        if (!name.isEmpty())
            return name;
    }
    return recorded;
}

// Longer names are hashed: a lock file's name must stay within what a folder can hold.
constexpr qsizetype maxReadableName = 160;

} // namespace

QString ProcessClaim::Holder::describe() const
{
    const QString process = QStringLiteral("process %1").arg(pid);
    return program.isEmpty() ? process : program + QStringLiteral(", ") + process;
}

QString ProcessClaim::defaultFolder()
{
    const QString own = qEnvironmentVariable("QSRLINK_LOCK_DIR");
    if (!own.isEmpty()) {
        QDir().mkpath(own);
        return own;
    }
    static const QString folder = [] {
        const QString shared = QStringLiteral("/run/lock");
        const QFileInfo info(shared);
        return info.isDir() && info.isWritable() ? shared : QDir::tempPath();
    }();
    return folder;
}

QString ProcessClaim::resolved(const QString &subject)
{
    const QFileInfo info(subject);
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    if (info.isSymLink()) // a dangling link is claimed under its own name
        return info.absoluteFilePath();
    const QString folder = info.absoluteDir().canonicalPath();
    return folder.isEmpty() ? QDir::cleanPath(info.absoluteFilePath())
                            : QDir(folder).filePath(info.fileName());
}

QString ProcessClaim::lockPath(const QString &prefix, const QString &subject, const QString &folder)
{
    QString name = resolved(subject);
    if (name.size() > maxReadableName)
        name = u'_' + QString::fromLatin1(
                          QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha256)
                              .toHex()
                              .left(32));
    name.replace(u'/', u'_');
    return QDir(folder).filePath(prefix + name + QStringLiteral(".lock"));
}

ProcessClaim::Holder ProcessClaim::otherHolder(const QString &lockPath)
{
    if (!QFileInfo::exists(lockPath))
        return {}; // the usual case: one look at the folder
    qint64 pid = 0;
    QString host, application;
    if (!QLockFile(lockPath).getLockInfo(&pid, &host, &application))
        return {};
    if (pid == QCoreApplication::applicationPid() || !isAlive(pid))
        return {};
    return {pid, programOf(pid, application), {}};
}

ProcessClaim::ProcessClaim(QString lockPath) : m_path(std::move(lockPath))
{
}

ProcessClaim::~ProcessClaim() = default;

bool ProcessClaim::take(Holder *holder, QString *error)
{
    if (m_lock)
        return true;
    auto lock = std::make_unique<QLockFile>(m_path);
    lock->setStaleLockTime(0); // stale only when its process is gone, however old
    if (lock->tryLock(0)) {
        m_lock = std::move(lock);
        return true;
    }
    qint64 pid = 0;
    QString host, application;
    if (lock->error() == QLockFile::LockFailedError &&
        lock->getLockInfo(&pid, &host, &application)) {
        if (holder)
            *holder = {pid, programOf(pid, application), {}};
    } else if (error) {
        *error = QStringLiteral("cannot make the lock file %1").arg(m_path);
    }
    return false;
}
