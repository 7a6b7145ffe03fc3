#pragma once

#include <QString>
#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <QDBusConnection>
#endif

// Keeps the computer from going to sleep, e.g. while the log runs unattended.
class SleepInhibitor {
public:
    virtual ~SleepInhibitor() = default;
    // True when the computer is kept awake. Already held: true, and nothing new is taken.
    // False with a reason in `error` (when given) that an operator can read.
    virtual bool acquire(const QString &reason, QString *error) = 0;
    // Lets the computer sleep again; harmless when nothing is held.
    virtual void release() = 0;
    virtual bool isHeld() const = 0;
};

// The operating system's own inhibition, released at the latest by the destructor.
//
// Linux: a "block" inhibitor lock of the login manager (login1, system bus), held while its
// file descriptor stays open; failing that, the desktop's screen saver inhibition (session
// bus), which keeps an idle session from suspending. Each bus call waits at most 2 s.
// Windows: the calling thread's execution state; acquire and release on the same thread.
class SystemSleepInhibitor : public SleepInhibitor {
public:
#ifdef Q_OS_LINUX
    explicit SystemSleepInhibitor(const QDBusConnection &system = QDBusConnection::systemBus(),
                                  const QDBusConnection &session = QDBusConnection::sessionBus());
#else
    SystemSleepInhibitor() = default;
#endif
    ~SystemSleepInhibitor() override;
    SystemSleepInhibitor(const SystemSleepInhibitor &) = delete;
    SystemSleepInhibitor &operator=(const SystemSleepInhibitor &) = delete;

    bool acquire(const QString &reason, QString *error) override;
    void release() override;
    bool isHeld() const override;

private:
#ifdef Q_OS_LINUX
    bool inhibitLogin(const QString &reason, QString *error);
    bool inhibitScreenSaver(const QString &reason, QString *error);

    QDBusConnection m_system;
    QDBusConnection m_session;
    int m_lockFd = -1;         // login1's lock, open while held
    QString m_screenSaverPath; // the object that gave the cookie; empty when none is held
    uint m_screenSaverCookie = 0;
#else
    bool m_held = false;
#endif
};
