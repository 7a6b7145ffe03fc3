#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// A headless logger's claim on an instrument, across processes and users: a lock file named
// after the device (after its real path, so that two links to one device are one claim),
// held for the logger's life. A lock file left by a process that has ended counts for
// nothing. Every port cycle looks for another process's claim before it opens the device,
// so the window does not talk across a logger's line.
class DeviceClaim {
public:
    // The lock folder shared by every user (/run/lock), or the temporary folder when that
    // cannot be written.
    static QString defaultFolder();
    static QString lockPath(const QString &device, const QString &folder = defaultFolder());
    // The process number of another live process that claims `device`; 0 when none does.
    static qint64 otherHolder(const QString &device, const QString &folder = defaultFolder());

    explicit DeviceClaim(const QString &device, const QString &folder = defaultFolder());

    // False when another process holds the claim, with who it is in `holder`
    // ("qsrlink-logger, process 1234"), or when no claim can be made (the reason).
    bool take(QString *holder);

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};
