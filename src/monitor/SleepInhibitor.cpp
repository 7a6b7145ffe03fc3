#include "monitor/SleepInhibitor.h"

#if defined(Q_OS_LINUX)
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>

#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace {
void report(QString *error, const QString &text)
{
    if (error)
        *error = text;
}
} // namespace

SystemSleepInhibitor::~SystemSleepInhibitor()
{
    release();
}

#if defined(Q_OS_LINUX)

namespace {
const QString appName = QStringLiteral("QSRLINK");
const QString screenSaver = QStringLiteral("org.freedesktop.ScreenSaver");

// The calls block the caller; a bus that does not answer holds it this long at most.
constexpr int callTimeoutMs = 2000;

QDBusMessage call(const QDBusConnection &bus, const QString &service, const QString &path,
                  const QString &interface, const QString &method, const QVariantList &args)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(args);
    return bus.call(message, QDBus::Block, callTimeoutMs);
}
} // namespace

SystemSleepInhibitor::SystemSleepInhibitor(const QDBusConnection &system,
                                           const QDBusConnection &session)
    : m_system(system), m_session(session)
{
}

bool SystemSleepInhibitor::acquire(const QString &reason, QString *error)
{
    if (isHeld())
        return true;
    QString loginError;
    QString screenSaverError;
    if (inhibitLogin(reason, &loginError) || inhibitScreenSaver(reason, &screenSaverError))
        return true;
    report(error, QStringLiteral("The computer may go to sleep: neither the login manager (%1) "
                                 "nor the screen saver (%2) would keep it awake.")
                      .arg(loginError, screenSaverError));
    return false;
}

bool SystemSleepInhibitor::inhibitLogin(const QString &reason, QString *error)
{
    const QDBusReply<QDBusUnixFileDescriptor> reply =
        call(m_system, QStringLiteral("org.freedesktop.login1"),
             QStringLiteral("/org/freedesktop/login1"),
             QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"),
             {QStringLiteral("sleep:idle"), appName, reason, QStringLiteral("block")});
    if (!reply.isValid()) {
        *error = reply.error().message();
        return false;
    }
    // Ours alone from here on: the reply's copies no longer close it.
    m_lockFd = reply.value().takeFileDescriptor();
    if (m_lockFd < 0)
        *error = QStringLiteral("no lock in its answer");
    return m_lockFd >= 0;
}

bool SystemSleepInhibitor::inhibitScreenSaver(const QString &reason, QString *error)
{
    // Desktops publish the service under either path.
    for (const QString &path :
         {QStringLiteral("/org/freedesktop/ScreenSaver"), QStringLiteral("/ScreenSaver")}) {
        const QDBusReply<uint> reply = call(m_session, screenSaver, path, screenSaver,
                                            QStringLiteral("Inhibit"), {appName, reason});
        if (reply.isValid()) {
            m_screenSaverCookie = reply.value();
            m_screenSaverPath = path;
            return true;
        }
        // The usual path's error tells the cause; the other's would only say "no such object".
        if (error->isEmpty())
            *error = reply.error().message();
    }
    return false;
}

void SystemSleepInhibitor::release()
{
    if (m_lockFd >= 0)
        ::close(m_lockFd);
    m_lockFd = -1;
    if (!m_screenSaverPath.isEmpty())
        call(m_session, screenSaver, m_screenSaverPath, screenSaver, QStringLiteral("UnInhibit"),
             {m_screenSaverCookie});
    m_screenSaverPath.clear();
}

bool SystemSleepInhibitor::isHeld() const
{
    return m_lockFd >= 0 || !m_screenSaverPath.isEmpty();
}

#else

bool SystemSleepInhibitor::acquire(const QString &, QString *error)
{
#ifdef Q_OS_WIN
    // Kept beyond this call (ES_CONTINUOUS) until release() resets it.
    m_held = m_held || SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0;
#endif
    if (!m_held)
        report(error, QStringLiteral("The computer may go to sleep: the system would not keep "
                                     "it awake."));
    return m_held;
}

void SystemSleepInhibitor::release()
{
#ifdef Q_OS_WIN
    if (m_held)
        SetThreadExecutionState(ES_CONTINUOUS);
#endif
    m_held = false;
}

bool SystemSleepInhibitor::isHeld() const
{
    return m_held;
}

#endif
