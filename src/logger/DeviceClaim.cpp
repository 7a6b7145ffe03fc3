#include "logger/DeviceClaim.h"

#include <QDir>
#include <QFileInfo>

QString DeviceClaim::defaultFolder()
{
    const QString shared = QStringLiteral("/run/lock");
    const QFileInfo info(shared);
    return info.isDir() && info.isWritable() ? shared : QDir::tempPath();
}

DeviceClaim::DeviceClaim(const QString &device, const QString &folder)
{
    const QString canonical = QFileInfo(device).canonicalFilePath();
    QString name = canonical.isEmpty() ? device : canonical;
    name.replace(u'/', u'_');
    m_path =
        QDir(folder).filePath(QStringLiteral("qsrlink-logger") + name + QStringLiteral(".lock"));
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
