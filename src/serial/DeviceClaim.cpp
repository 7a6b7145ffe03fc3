#include "serial/DeviceClaim.h"

#include <QCoreApplication>
#include <QDir>
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
} // namespace

QString DeviceClaim::defaultFolder()
{
    static const QString folder = [] {
        const QString shared = QStringLiteral("/run/lock");
        const QFileInfo info(shared);
        return info.isDir() && info.isWritable() ? shared : QDir::tempPath();
    }();
    return folder;
}

QString DeviceClaim::lockPath(const QString &device, const QString &folder)
{
    const QString canonical = QFileInfo(device).canonicalFilePath();
    QString name = canonical.isEmpty() ? device : canonical;
    name.replace(u'/', u'_');
    return QDir(folder).filePath(QStringLiteral("qsrlink-logger") + name + QStringLiteral(".lock"));
}

qint64 DeviceClaim::otherHolder(const QString &device, const QString &folder)
{
    const QString path = lockPath(device, folder);
    if (!QFileInfo::exists(path))
        return 0; // the usual case: one look at the folder
    qint64 pid = 0;
    QString host, application;
    if (!QLockFile(path).getLockInfo(&pid, &host, &application))
        return 0;
    return pid != QCoreApplication::applicationPid() && isAlive(pid) ? pid : 0;
}

DeviceClaim::DeviceClaim(const QString &device, const QString &folder)
    : m_path(lockPath(device, folder))
{
}

bool DeviceClaim::take(QString *holder)
{
    m_lock = std::make_unique<QLockFile>(m_path);
    m_lock->setStaleLockTime(0); // stale only when its process is gone, however old
    if (m_lock->tryLock(0))
        return true;
    qint64 pid = 0;
    QString host, application;
    if (m_lock->error() == QLockFile::LockFailedError &&
        m_lock->getLockInfo(&pid, &host, &application))
        *holder = QStringLiteral("qsrlink-logger, process %1").arg(pid); // only loggers claim
    else
        *holder = QStringLiteral("cannot make the lock file %1").arg(m_path);
    m_lock.reset();
    return false;
}
