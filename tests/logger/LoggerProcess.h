#pragma once

#include "TestFiles.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStringList>
#include <QTest>

#include <csignal>

// qsrlink-logger run by a test; its output is kept as it arrives.
class LoggerProcess {
public:
    explicit LoggerProcess(const QStringList &arguments)
    {
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput,
                         [this] { m_out += m_process.readAllStandardOutput(); });
        QObject::connect(&m_process, &QProcess::readyReadStandardError,
                         [this] { m_err += m_process.readAllStandardError(); });
        m_process.start(QStringLiteral(QSR_LOGGER_PATH), arguments);
        m_process.waitForStarted();
    }
    ~LoggerProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    QProcess &process() { return m_process; }
    qint64 pid() const { return m_process.processId(); }
    void signal(int number) { ::kill(pid_t(m_process.processId()), number); }

    // The readings printed so far, one "TIME VALUE" line each.
    QList<QByteArray> readings() const { return completeLines(m_out); }
    QByteArray errors() const { return m_err; }

    bool waitForReadings(qsizetype n, int timeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (readings().size() < n && !deadline.hasExpired() &&
               m_process.state() == QProcess::Running)
            QTest::qWait(20);
        return readings().size() >= n;
    }
    // True when it ended within the time, with `status`.
    bool waitForExit(int timeoutMs, int status)
    {
        if (!m_process.waitForFinished(timeoutMs))
            return false;
        m_out += m_process.readAllStandardOutput();
        m_err += m_process.readAllStandardError();
        return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == status;
    }

private:
    QProcess m_process;
    QByteArray m_out;
    QByteArray m_err;
};
