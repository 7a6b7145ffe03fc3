#pragma once

#include "core/ProcessClaim.h"
#include "monitor/Clock.h"
#include "monitor/LogRecord.h"
#include "monitor/TickSchedule.h"
#include "serial/Exchange.h"
#include "serial/ShareProtocol.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>

class SerialPort;
class ShareClient;
class SleepInhibitor;

// The Main window's monitor and logger without the window: polls the instrument with "R"
// at one interval and appends the last reply to the CSV log at another.
//
// Polling: the first poll is due one full interval after the start, then every interval
// with no drift; a poll that falls due while the previous cycle (or any other cycle on
// the same port) still runs is skipped. Logging runs only while polling runs; its ticks run
// on the monotonic clock, one per interval whatever the wall clock does, and are placed
// mid-second on the wall clock so that records at 1 s carry consecutive seconds.
//
// Unattended operation, all off by default: with keepPolling a failed poll stops nothing
// and shows nothing; the next poll opens the port anew. Before the first reply and while
// the last poll failed, log ticks write no record, so a stale or empty value is never
// logged as a new reading. With eventFile,
// each loss and return of the instrument during logging is appended to the log's event
// file; with dailyLog each record goes to the file of its own date.
class Monitor : public QObject {
    Q_OBJECT
public:
    using ms = std::chrono::milliseconds;

    struct Unattended {
        bool keepPolling = false;
        bool eventFile = false; // with keepPolling only
        bool dailyLog = false;
    };

    // `port` and `clock` must outlive the monitor. Destroying the monitor ends a poll that
    // still waits, quietly.
    Monitor(SerialPort &port, const Clock &clock, QObject *parent = nullptr);
    ~Monitor() override;

    void startPolling(ms interval);
    // Stops polling and logging. A poll already waiting for its reply runs to its end and
    // still reports.
    void stopPolling();
    bool isPolling() const { return m_polling; }
    bool isPollRunning() const { return m_pollRunning; }

    // Only while polling runs, and while no other process writes `path` (who does, in
    // `holder`); false, and nothing started, otherwise. The file is claimed until logging
    // stops, so that no second writer interleaves its records with ours.
    bool startLogging(ms interval, const QString &path, ProcessClaim::Holder *holder = nullptr);
    void stopLogging();
    bool isLogging() const { return m_logging; }

    void setUnattended(const Unattended &unattended) { m_unattended = unattended; }
    // A poll that falls due while another requester's cycle holds the line waits until
    // lineFreed() instead of being skipped (the logger, whose line also serves windows).
    void setPollsWaitForTheLine(bool wait) { m_waitForLine = wait; }
    // Another requester's cycle has left the line: a poll that waited for it runs now.
    void lineFreed();
    // Attached to a logger that owns the line: its readings stand for our polls.
    bool isAttached() const { return m_share != nullptr; }
    // Attached: asks the logger for what it received since `sinceMs` (historyChunk).
    void requestHistory(qint64 sinceMs);
    // How records reach their files (tests: a disk that fills up). Empty: QFile's write.
    void setRecordWrite(LogRecord::Write write) { m_write = std::move(write); }
    // While logging runs, keeps the computer awake through `inhibitor` (none: null; it
    // must outlive the monitor). Taken when logging starts, let go when it stops.
    void setSleepInhibitor(SleepInhibitor *inhibitor);
    // keepPolling: the last poll failed; since when (the first failure of the run).
    bool isFailing() const { return m_failingSince.isValid(); }
    QDateTime failingSince() const { return m_failingSince; }
    // The file a record written at `at` goes to.
    QString logPathAt(const QDateTime &at) const;

    // The latest successful reply, exactly as read. Empty until the first one.
    QByteArray lastReply() const { return m_lastReply; }
    int skippedPolls() const { return m_skippedPolls; }

    // Why a poll failed, in the same words in every language, as the event file gives it.
    static QString describeFailure(const CycleResult &result);

Q_SIGNALS:
    void pollStarted();
    // A good reply, exactly as read, and the local time it came in: the one clock reading
    // that the value shown, the history and the publisher all share.
    void reading(const QDateTime &at, const QByteArray &reply);
    // Polling has ended, by stopPolling() or by a failed poll (pollFailed follows).
    void stopped(const QDateTime &at);
    // No reply, a port that could not be opened, or a line that failed. Polling and
    // logging have stopped and the port is closed.
    void pollFailed(const CycleResult &result);
    // A poll's cycle is over and its outcome told; the line is free.
    void pollEnded();
    void recordStarted(); // a log tick begins
    // The log file could not be written; logging has stopped.
    void logFailed(const QString &path, const QString &reason);
    // keepPolling: the instrument stopped answering, and answers again.
    void instrumentLost(const QDateTime &since, const CycleResult &result);
    void instrumentBack(const QDateTime &at);
    // Logging started, but the system would not stay awake; logging goes on.
    void keepAwakeRefused(const QString &reason);
    // A logger of another process owns the line and shares it: polling takes its readings
    // (and its losses and returns) instead of sending anything, until it ends (detached;
    // the next poll is ours again).
    void attached(const ShareProtocol::Hello &logger);
    void detached(const QString &reason);
    void historyChunk(const ShareProtocol::HistoryChunk &chunk);

private:
    void pollTick();
    void poll();
    bool attachIfShared();
    void detach();
    void onSharedReading(const QDateTime &at, const QByteArray &raw);
    void onSharedEvent(const ShareProtocol::Event &event);
    void logTick();
    void onCycleFinished(const CycleResult &result);
    // `readAt`: when the reply was read, if not now (a logger's reading).
    void reportCycle(const CycleResult &result, const QDateTime &readAt = {});
    void noteEvent(const QDateTime &at, const QByteArray &event, const QString &reason);
    bool writeOrStop(const QString &path, const QByteArray &bytes);
    static ms monotonicNow();
    // How far the wall clock reading `wall` is ahead of the monotonic clock.
    static ms wallOffset(const QDateTime &wall);

    SerialPort &m_port;
    const Clock &m_clock;
    QTimer m_pollTimer;
    QTimer m_logTimer;
    TickSchedule m_pollSchedule;
    TickSchedule m_logSchedule;
    QString m_logPath;
    QByteArray m_lastReply;
    bool m_polling = false;
    bool m_pollRunning = false; // a cycle of ours is on the line
    bool m_logging = false;
    int m_skippedPolls = 0;
    Unattended m_unattended;
    SleepInhibitor *m_inhibitor = nullptr;
    QDateTime m_failingSince;   // invalid while the last poll succeeded
    bool m_lostNoted = false;   // the event file holds a "lost" not yet answered by "back"
    QString m_failure;          // why polls fail, while they do
    bool m_haveReading = false; // a reply came in since polling started
    bool m_alignLog = false;    // log ticks sit mid-second on the wall clock
    bool m_waitForLine = false;
    bool m_pollWaiting = false;               // a poll fell due while another cycle held the line
    std::unique_ptr<ProcessClaim> m_logClaim; // held while logging
    ShareClient *m_share = nullptr;           // attached to a logger
    LogRecord::Write m_write;
};
