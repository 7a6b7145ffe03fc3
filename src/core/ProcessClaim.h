#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// A claim that one process makes on something named by a path (a serial device, a log
// file), across processes and users: a lock file in the shared lock folder, held for as
// long as the claim lives. A lock file left by a process that has ended counts for nothing.
class ProcessClaim {
public:
    struct Holder {
        qint64 pid = 0;  // 0: nobody else
        QString program; // the holder's program name, as the system tells it ("qsrlink-logger")
        QString socket;  // where the holder serves what it claims, when it does
        // "qsrlink-logger, process 1234"; "process 1234" when the program is unknown.
        QString describe() const;
    };

    // $QSRLINK_LOCK_DIR when set (a test's own folder), else the folder every user shares
    // (/run/lock), else the temporary folder when that cannot be written.
    static QString defaultFolder();
    // Where `subject` is claimed; `prefix` names the kind of claim. `subject` is taken as
    // it resolves (links followed), so that two names of one thing are one claim; a subject
    // that does not exist yet is resolved through its folder.
    static QString lockPath(const QString &prefix, const QString &subject,
                            const QString &folder = defaultFolder());
    // The path `subject` resolves to (see lockPath).
    static QString resolved(const QString &subject);
    // Another live process that holds the lock file at `lockPath`; pid 0 when none does.
    static Holder otherHolder(const QString &lockPath);

    explicit ProcessClaim(QString lockPath);
    ~ProcessClaim();
    ProcessClaim(const ProcessClaim &) = delete;
    ProcessClaim &operator=(const ProcessClaim &) = delete;

    // False when another process holds the claim (who, in `holder`), or when no lock file
    // can be made (the reason in `error`).
    bool take(Holder *holder, QString *error);
    bool isHeld() const { return m_lock != nullptr; }
    void release() { m_lock.reset(); }
    const QString &path() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};
