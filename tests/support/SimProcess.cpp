#include "SimProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTest>

#include <csignal>
#include <sys/types.h>

SimProcess::SimProcess(const QString &linkPath, const QStringList &arguments)
    : m_linkPath(linkPath), m_arguments(arguments)
{
    m_logPath = m_dir.filePath(QStringLiteral("received.log"));
    m_controlPath = m_dir.filePath(QStringLiteral("control"));
    // Diagnostics go to the test's own stderr, where a failing test shows them.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (!m_dir.isValid())
        m_error = QStringLiteral("cannot create a temporary folder: ") + m_dir.errorString();
    else
        m_ready = start();
}

SimProcess::~SimProcess()
{
    stop();
}

bool SimProcess::start()
{
    m_stdout.clear();
    m_terminalPath.clear();
    if (!QFileInfo(m_linkPath).isAbsolute()) {
        m_error = QStringLiteral("link path is not absolute: ") + m_linkPath;
        return false;
    }
    QStringList args = m_arguments;
    args << QStringLiteral("--link") << m_linkPath << QStringLiteral("--log") << m_logPath
         << QStringLiteral("--control") << m_controlPath << QStringLiteral("--exit-with-parent");
    m_process.start(QStringLiteral(QSR_SIM_PATH), args);
    if (!m_process.waitForStarted(int(startBound.count()))) {
        m_error = QStringLiteral("cannot start the simulator: ") + m_process.errorString();
        return false;
    }
    QByteArray line;
    if (!waitForLine(line, startBound)) {
        m_error = QStringLiteral("the simulator did not get ready: ") + m_process.errorString();
        stop();
        return false;
    }
    m_terminalPath = QString::fromLocal8Bit(line);
    if (QFileInfo(m_linkPath).symLinkTarget() != m_terminalPath) {
        m_error = QStringLiteral("link %1 does not lead to %2").arg(m_linkPath, m_terminalPath);
        stop();
        return false;
    }
    m_error.clear();
    return true;
}

bool SimProcess::waitForLine(QByteArray &line, std::chrono::milliseconds bound)
{
    QDeadlineTimer deadline(bound);
    while (true) {
        m_stdout += m_process.readAllStandardOutput();
        const qsizetype end = m_stdout.indexOf('\n');
        if (end >= 0) {
            line = m_stdout.left(end);
            m_stdout.remove(0, end + 1);
            return true;
        }
        if (m_process.state() != QProcess::Running || deadline.hasExpired())
            return false;
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
}

QByteArray SimProcess::receivedBytes() const
{
    QFile file(m_logPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool SimProcess::waitForReceived(qsizetype n, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return receivedBytes().size() >= n; }, timeoutMs);
}

bool SimProcess::setFault(const QString &kind)
{
    if (m_process.state() != QProcess::Running)
        return false;
    QSaveFile control(m_controlPath);
    if (!control.open(QIODevice::WriteOnly))
        return false;
    control.write(kind.toLocal8Bit() + '\n');
    if (!control.commit())
        return false;
    ::kill(pid_t(m_process.processId()), SIGUSR1);
    QByteArray line;
    return waitForLine(line, startBound) && line == "fault " + kind.toLocal8Bit();
}

void SimProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(int(stopBound.count()))) {
        m_process.kill();
        m_process.waitForFinished(int(stopBound.count()));
    }
}

void SimProcess::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(int(stopBound.count()));
}

bool SimProcess::restart()
{
    stop();
    m_ready = start();
    return m_ready;
}

ProgramFolderFixture::ProgramFolderFixture()
{
    m_valid = m_dir.isValid() && QDir(m_dir.path()).mkpath(QStringLiteral("ports"));
}

QString ProgramFolderFixture::portPath(int portNumber) const
{
    return m_dir.filePath(QStringLiteral("ports/COM%1").arg(portNumber));
}
