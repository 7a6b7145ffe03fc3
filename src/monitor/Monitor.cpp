#include "monitor/Monitor.h"

#include "monitor/LogRecord.h"
#include "monitor/SleepInhibitor.h"
#include "serial/Protocol.h"
#include "serial/SerialPort.h"

#include <QElapsedTimer>

namespace {
using namespace std::chrono_literals;
// Log ticks of whole-second intervals sit this far past the wall-clock second.
constexpr std::chrono::milliseconds logPhase = 500ms;
// A wall clock that moved by more than this against the schedule was set, not late.
constexpr std::chrono::milliseconds clockStepTolerance = 2000ms;

QElapsedTimer &monotonic()
{
    static QElapsedTimer t = [] {
        QElapsedTimer e;
        e.start();
        return e;
    }();
    return t;
}
} // namespace

QString Monitor::describeFailure(const CycleResult &result)
{
    const auto with = [&](const char *what) {
        return result.reason.isEmpty()
                   ? QString::fromLatin1(what)
                   : QString::fromLatin1(what) + QStringLiteral(": ") + result.reason;
    };
    switch (result.status) {
    case CycleStatus::TimedOut:
        return QStringLiteral("no reply");
    case CycleStatus::OpenFailed:
        return with("port not opened");
    case CycleStatus::WriteFailed:
        return with("request not sent");
    case CycleStatus::LineFailed:
        return with("line failed");
    case CycleStatus::BadReply:
        return with("bad reply");
    case CycleStatus::OutputDropped:
        return with("output not sent");
    case CycleStatus::Ok:
        break;
    }
    return {};
}

Monitor::Monitor(SerialPort &port, const Clock &clock, QObject *parent)
    : QObject(parent), m_port(port), m_clock(clock)
{
    for (QTimer *t : {&m_pollTimer, &m_logTimer}) {
        t->setSingleShot(true);
        t->setTimerType(Qt::PreciseTimer);
    }
    connect(&m_pollTimer, &QTimer::timeout, this, &Monitor::pollTick);
    connect(&m_logTimer, &QTimer::timeout, this, &Monitor::logTick);
}

Monitor::~Monitor()
{
    stopLogging();
}

void Monitor::setSleepInhibitor(SleepInhibitor *inhibitor)
{
    if (m_inhibitor && m_logging)
        m_inhibitor->release();
    m_inhibitor = inhibitor;
}

Monitor::ms Monitor::monotonicNow()
{
    return ms(monotonic().elapsed());
}

Monitor::ms Monitor::wallNow() const
{
    return ms(m_clock.now().toMSecsSinceEpoch());
}

void Monitor::startPolling(ms interval)
{
    m_polling = true;
    m_failingSince = {};
    m_lostNoted = false;
    m_skippedPolls = 0;
    m_pollSchedule.start(monotonicNow(), interval);
    m_pollTimer.start(m_pollSchedule.delayFrom(monotonicNow()));
}

void Monitor::stopPolling()
{
    m_polling = false;
    m_pollTimer.stop();
    stopLogging();
}

bool Monitor::startLogging(ms interval, const QString &path)
{
    if (!m_polling)
        return false;
    m_logging = true;
    m_logInterval = interval;
    m_logPath = path;
    // Whole-second intervals are placed mid-second; others simply run from the click.
    if (interval.count() % 1000 == 0)
        m_logSchedule.startAligned(wallNow(), interval, logPhase);
    else
        m_logSchedule.start(wallNow(), interval);
    armLogTimer();
    QString refused;
    if (m_inhibitor &&
        !m_inhibitor->acquire(QStringLiteral("Logging measured values unattended"), &refused))
        Q_EMIT keepAwakeRefused(refused);
    return true;
}

void Monitor::stopLogging()
{
    if (m_logging && m_inhibitor)
        m_inhibitor->release();
    m_logging = false;
    m_logTimer.stop();
}

void Monitor::armLogTimer()
{
    const ms now = wallNow();
    if (m_logSchedule.nextDue() - now > m_logInterval + clockStepTolerance) {
        // The clock was set back: keep the rhythm from now on instead of stalling.
        m_logSchedule.startAligned(now, m_logInterval, logPhase);
    }
    m_logTimer.start(m_logSchedule.delayFrom(now));
}

void Monitor::pollTick()
{
    if (!m_polling)
        return;
    m_skippedPolls += m_pollSchedule.advance(monotonicNow());
    m_pollTimer.start(m_pollSchedule.delayFrom(monotonicNow()));
    if (m_pollRunning || m_port.isBusy()) {
        ++m_skippedPolls; // never a second open of a port in use
        return;
    }
    Q_EMIT pollStarted();
    m_pollRunning = true; // a port that cannot be opened reports before startCycle returns
    if (!m_port.startCycle(
            {{Protocol::readRequest(Protocol::pollLetter), true}},
            [this](int, const QByteArray &reply, QString *) {
                m_lastReply = reply;
                return true;
            },
            this, [this](const CycleResult &r) { onCycleFinished(r); })) {
        m_pollRunning = false;
        ++m_skippedPolls;
    }
}

void Monitor::onCycleFinished(const CycleResult &result)
{
    m_pollRunning = false;
    reportCycle(result);
    Q_EMIT pollEnded();
}

void Monitor::reportCycle(const CycleResult &result)
{
    if (result.status == CycleStatus::Ok) {
        if (isFailing()) {
            const QDateTime at = m_clock.now();
            m_failingSince = {};
            if (m_lostNoted)
                noteEvent(at, "back", QString());
            m_lostNoted = false;
            Q_EMIT instrumentBack(at);
        }
        Q_EMIT replyReceived(m_lastReply);
        return;
    }
    if (m_unattended.keepPolling) {
        // The next tick tries again; a poll that ends after polling was stopped is let go.
        if (m_polling && !isFailing()) {
            m_failingSince = m_clock.now();
            noteEvent(m_failingSince, "lost", describeFailure(result));
            Q_EMIT instrumentLost(m_failingSince, result);
        }
        return;
    }
    m_polling = false;
    m_pollTimer.stop();
    stopLogging();
    Q_EMIT pollFailed(result);
}

void Monitor::logTick()
{
    if (!m_logging)
        return;
    const QDateTime at = m_clock.now();
    m_logSchedule.advance(ms(at.toMSecsSinceEpoch()));
    if (isFailing()) { // no reading since the last record: nothing new to log
        armLogTimer();
        return;
    }
    Q_EMIT recordStarted();
    if (writeOrStop(logPathAt(at), LogRecord::format(at, m_lastReply)))
        armLogTimer();
}

QString Monitor::logPathAt(const QDateTime &at) const
{
    return m_unattended.dailyLog ? LogRecord::dailyPath(m_logPath, at.date()) : m_logPath;
}

void Monitor::noteEvent(const QDateTime &at, const QByteArray &event, const QString &reason)
{
    if (!m_logging || !m_unattended.keepPolling || !m_unattended.eventFile)
        return;
    if (writeOrStop(LogRecord::eventsPath(m_logPath), LogRecord::formatEvent(at, event, reason)))
        m_lostNoted = event == "lost";
}

bool Monitor::writeOrStop(const QString &path, const QByteArray &bytes)
{
    QString error;
    if (LogRecord::append(path, bytes, &error))
        return true;
    stopLogging();
    Q_EMIT logFailed(path, error);
    return false;
}
