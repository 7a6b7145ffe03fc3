#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>

// Runs qsr540-sim (QSR_SIM_PATH) for one test. The simulator gets the extra arguments plus
// --link <linkPath>, --log and --control files in a private temporary folder, and
// --exit-with-parent so a crashed test leaves no simulator behind. The constructor waits until
// the simulator has printed its ready line and the link exists; check isReady().
// The destructor stops it (SIGTERM, then SIGKILL) and waits.
class SimProcess {
public:
    static constexpr std::chrono::milliseconds startBound{5000};
    static constexpr std::chrono::milliseconds stopBound{3000};

    // linkPath must be absolute; distinct tests should use distinct paths (Qt locks per name).
    explicit SimProcess(const QString &linkPath, const QStringList &arguments = {});
    ~SimProcess();
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    bool isReady() const { return m_ready; }
    QString errorString() const { return m_error; }

    QString linkPath() const { return m_linkPath; }
    QString terminalPath() const { return m_terminalPath; } // /dev/pts/N behind the link
    qint64 processId() const { return m_process.processId(); }

    // Every byte the simulator has received since it first started (restarts keep appending).
    QByteArray receivedBytes() const;
    // Waits (event loop running) until at least n bytes have been received in total.
    bool waitForReceived(qsizetype n, int timeoutMs = 2000) const;

    // Switches the fault kind at run time ("none", "silent", "flood", ...); true once the
    // simulator has confirmed the switch.
    bool setFault(const QString &kind);

    void stop();    // SIGTERM: the simulator removes its link
    void kill();    // SIGKILL: the link stays behind, dangling, as after a crash
    bool restart(); // stop if running, start again with the same arguments and link

private:
    bool start();
    bool waitForLine(QByteArray &line, std::chrono::milliseconds bound);

    QString m_linkPath;
    QStringList m_arguments;
    QTemporaryDir m_dir;
    QString m_logPath;
    QString m_controlPath;
    QProcess m_process;
    QByteArray m_stdout;
    QString m_terminalPath;
    QString m_error;
    bool m_ready = false;
};

// A temporary program folder with an empty ports/ subfolder, where SimProcess can place the
// links the program opens as COMn:
//     ProgramFolderFixture folder;
//     SimProcess sim(folder.portPath(1), {"--params", "..."});
class ProgramFolderFixture {
public:
    ProgramFolderFixture();

    bool isValid() const { return m_valid; }
    QString path() const { return m_dir.path(); }
    QString portPath(int portNumber) const; // <path>/ports/COM<portNumber>

private:
    QTemporaryDir m_dir;
    bool m_valid = false;
};
