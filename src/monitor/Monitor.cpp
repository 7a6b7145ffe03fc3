#include "monitor/Monitor.h"

#include "monitor/LogRecord.h"
#include "monitor/SleepInhibitor.h"
#include "serial/DeviceClaim.h"
#include "serial/Protocol.h"
#include "serial/SerialPort.h"
#include "serial/ShareClient.h"

#include <QElapsedTimer>

#include <utility>

namespace {
using namespace std::chrono_literals;
// Log ticks of whole-second intervals sit this far past the wall-clock second.
constexpr std::chrono::milliseconds logPhase = 500ms;
// Names the claim on a log file, one writer per file.
const QString logClaimPrefix = QStringLiteral("qsrlink-log");

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

Monitor::ms Monitor::wallOffset(const QDateTime &wall)
{
    return ms(wall.toMSecsSinceEpoch()) - monotonicNow();
}

void Monitor::startPolling(ms interval)
{
    m_polling = true;
    m_failingSince = {};
    m_lostNoted = false;
    m_haveReading = false;
    m_skippedPolls = 0;
    m_pollSchedule.start(monotonicNow(), interval);
    m_pollTimer.start(m_pollSchedule.delayFrom(monotonicNow()));
}

void Monitor::stopPolling()
{
    const bool wasPolling = m_polling;
    m_polling = false;
    m_pollWaiting = false;
    detach();
    m_pollTimer.stop();
    stopLogging();
    if (wasPolling)
        Q_EMIT stopped(m_clock.now());
}

bool Monitor::startLogging(ms interval, const QString &path, ProcessClaim::Holder *holder)
{
    if (!m_polling)
        return false;
    stopLogging(); // a restart claims the file anew
    auto claim = std::make_unique<ProcessClaim>(ProcessClaim::lockPath(logClaimPrefix, path));
    ProcessClaim::Holder other;
    if (!claim->take(&other, nullptr)) {
        if (other.pid) { // two writers would interleave their records in one file
            if (holder)
                *holder = other;
            return false;
        }
        claim.reset(); // no lock folder to be had: the file is written all the same
    }
    m_logClaim = std::move(claim);
    m_logging = true;
    m_logPath = path;
    // Ticks run on the monotonic clock, so that a wall clock that is set neither loses nor
    // doubles an interval. Whole-second intervals are placed mid-second on the wall clock;
    // others simply run from the click.
    const QDateTime now = m_clock.now();
    m_alignLog = interval.count() % 1000 == 0;
    if (m_alignLog)
        m_logSchedule.startAligned(monotonicNow(), interval, logPhase, wallOffset(now));
    else
        m_logSchedule.start(monotonicNow(), interval);
    m_logTimer.start(m_logSchedule.delayFrom(monotonicNow()));
    // The log starts without records: the event file says why from its first line.
    if (isFailing())
        noteEvent(now, "lost", m_failure);
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
    m_logClaim.reset();
}

void Monitor::pollTick()
{
    if (!m_polling)
        return;
    m_skippedPolls += m_pollSchedule.advance(monotonicNow());
    m_pollTimer.start(m_pollSchedule.delayFrom(monotonicNow()));
    if (attachIfShared())
        return;
    if (m_pollRunning || m_port.isBusy()) {
        // Never a second open of a port in use.
        if (m_waitForLine && !m_pollRunning)
            m_pollWaiting = true;
        else
            ++m_skippedPolls;
        return;
    }
    poll();
}

void Monitor::lineFreed()
{
    if (!std::exchange(m_pollWaiting, false) || !m_polling || m_pollRunning)
        return;
    if (m_port.isBusy())
        m_pollWaiting = true;
    else
        poll();
}

bool Monitor::attachIfShared()
{
    if (m_share)
        return true; // its readings come by themselves
    const ProcessClaim::Holder logger = DeviceClaim::otherHolder(m_port.deviceName());
    if (!logger.pid || logger.socket.isEmpty())
        return false;
    m_share = new ShareClient(this);
    connect(m_share, &ShareClient::ready, this, &Monitor::attached);
    connect(m_share, &ShareClient::reading, this, &Monitor::onSharedReading);
    connect(m_share, &ShareClient::instrumentEvent, this, &Monitor::onSharedEvent);
    connect(m_share, &ShareClient::historyChunk, this, &Monitor::historyChunk);
    connect(m_share, &ShareClient::closed, this, [this](const QString &reason) {
        detach();
        Q_EMIT detached(reason);
    });
    m_share->connectTo(logger.socket);
    return true;
}

void Monitor::requestHistory(qint64 sinceMs)
{
    if (m_share)
        m_share->requestHistory(sinceMs);
}

void Monitor::detach()
{
    ShareClient::release(m_share, this);
}

void Monitor::onSharedReading(const QDateTime &at, const QByteArray &raw)
{
    // As a poll of our own that got this reply, at the time the logger read it.
    m_lastReply = raw;
    reportCycle({}, at);
}

void Monitor::onSharedEvent(const ShareProtocol::Event &event)
{
    if (event.lost) {
        // The logger polls on through it: so do we, whatever our own choice.
        if (!isFailing()) {
            m_failingSince = event.at;
            m_failure = event.reason;
            noteEvent(m_failingSince, "lost", m_failure);
            Q_EMIT instrumentLost(m_failingSince, {CycleStatus::TimedOut, event.reason, 0, 0, {}});
        }
    }
}

void Monitor::poll()
{
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

void Monitor::reportCycle(const CycleResult &result, const QDateTime &readAt)
{
    if (result.status == CycleStatus::Ok) {
        const QDateTime at = readAt.isValid() ? readAt : m_clock.now();
        m_haveReading = true;
        if (isFailing()) {
            m_failingSince = {};
            if (m_lostNoted)
                noteEvent(at, "back", QString());
            m_lostNoted = false;
            Q_EMIT instrumentBack(at);
        }
        Q_EMIT reading(at, m_lastReply);
        return;
    }
    if (m_unattended.keepPolling) {
        // The next tick tries again; a poll that ends after polling was stopped is let go.
        if (m_polling && !isFailing()) {
            m_failingSince = m_clock.now();
            m_failure = describeFailure(result);
            noteEvent(m_failingSince, "lost", m_failure);
            Q_EMIT instrumentLost(m_failingSince, result);
        }
        return;
    }
    stopPolling();
    Q_EMIT pollFailed(result);
}

void Monitor::logTick()
{
    if (!m_logging)
        return;
    const QDateTime at = m_clock.now(); // the one reading behind the record
    m_logSchedule.advance(monotonicNow());
    if (m_alignLog)
        m_logSchedule.realign(logPhase, wallOffset(at));
    m_logTimer.start(m_logSchedule.delayFrom(monotonicNow()));
    // No record without a reading behind it: while the instrument is lost, and, when
    // polling goes on through errors, before its first reply.
    if (isFailing() || (m_unattended.keepPolling && !m_haveReading))
        return;
    Q_EMIT recordStarted();
    writeOrStop(logPathAt(at), LogRecord::format(at, m_lastReply));
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
    if (LogRecord::append(path, bytes, &error, m_write))
        return true;
    stopLogging();
    Q_EMIT logFailed(path, error);
    return false;
}
