#pragma once

#include "monitor/Clock.h"
#include "monitor/TickSchedule.h"
#include "serial/Exchange.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>

class SerialPort;

// The Main window's monitor and logger without the window: polls the instrument with "R"
// at one interval and appends the last reply to the CSV log at another.
//
// Polling: the first poll is due one full interval after the start, then every interval
// with no drift; a poll that falls due while the previous cycle (or any other cycle on
// the same port) still runs is skipped. Logging runs only while polling runs; its ticks are
// placed mid-second on the wall clock so that records at 1 s carry consecutive seconds.
class Monitor : public QObject {
    Q_OBJECT
public:
    using ms = std::chrono::milliseconds;

    // `port` and `clock` must outlive the monitor. Destroying the monitor ends a poll that
    // still waits, quietly.
    Monitor(SerialPort &port, const Clock &clock, QObject *parent = nullptr);

    void startPolling(ms interval);
    // Stops polling and logging. A poll already waiting for its reply runs to its end and
    // still reports.
    void stopPolling();
    bool isPolling() const { return m_polling; }
    bool isPollRunning() const { return m_pollRunning; }

    // Only while polling runs; false (and nothing started) otherwise.
    bool startLogging(ms interval, const QString &path);
    void stopLogging();
    bool isLogging() const { return m_logging; }

    // The latest successful reply, exactly as read. Empty until the first one.
    QByteArray lastReply() const { return m_lastReply; }
    int skippedPolls() const { return m_skippedPolls; }

Q_SIGNALS:
    void pollStarted();
    void replyReceived(const QByteArray &reply);
    // No reply, a port that could not be opened, or a line that failed. Polling and
    // logging have stopped and the port is closed.
    void pollFailed(const CycleResult &result);
    void recordStarted(); // a log tick begins
    // The log file could not be written; logging has stopped.
    void logFailed(const QString &path, const QString &reason);

private:
    void pollTick();
    void logTick();
    void onCycleFinished(const CycleResult &result);
    void armLogTimer();
    static ms monotonicNow();
    ms wallNow() const;

    SerialPort &m_port;
    const Clock &m_clock;
    QTimer m_pollTimer;
    QTimer m_logTimer;
    TickSchedule m_pollSchedule;
    TickSchedule m_logSchedule;
    ms m_logInterval{1000};
    QString m_logPath;
    QByteArray m_lastReply;
    bool m_polling = false;
    bool m_pollRunning = false; // a cycle of ours is on the line
    bool m_logging = false;
    int m_skippedPolls = 0;
};
