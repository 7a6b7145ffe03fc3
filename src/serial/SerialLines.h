#pragma once

#include "core/ProcessClaim.h"
#include "core/ProgramFolder.h"
#include "serial/Exchange.h"
#include "serial/PortCycle.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>

class SerialDevice;
class ShareClient;

// The one owner of a physical serial line: every exchange with the instrument on it (poll,
// Load, Transmission) runs here as a port cycle, one at a time; a second request while one
// runs is answered as busy and nothing of it is done. While a logger of another process
// owns the device and shares it, the logger runs the cycle instead, with the same replies
// and outcome.
class SerialLine : public QObject {
    Q_OBJECT
public:
    // Takes ownership of `device`.
    explicit SerialLine(std::unique_ptr<SerialDevice> device, QObject *parent = nullptr);
    ~SerialLine() override;

    bool isBusy() const { return m_cycle.isRunning() || m_remote; }

    // Runs one cycle on `path` at `baud` for `requester`. False while another cycle runs.
    // `onFinished` is called once, after the device has closed; never after `requester` is
    // destroyed or has cancelled, and then the cycle ends at once and quietly.
    bool start(const QString &path, qint32 baud, QList<Exchange> exchanges, ReplyHandler onReply,
               QObject *requester, FinishHandler onFinished);
    // Ends `requester`'s running cycle without a report; anything else is left alone.
    void cancel(const QObject *requester);

    SerialDevice &device() { return *m_device; }

private:
    void onFinished(const CycleResult &result);
    void forgetRequester();
    bool startRemote(const ProcessClaim::Holder &logger, QList<Exchange> exchanges,
                     ReplyHandler onReply);
    void dropRemote();

    std::unique_ptr<SerialDevice> m_device;
    PortCycle m_cycle;
    QPointer<QObject> m_requester;
    FinishHandler m_onFinished;
    QMetaObject::Connection m_requesterGone;
    ShareClient *m_remote = nullptr; // a logger runs the cycle, when it owns the line
};

// The program's serial lines, one per physical device, made on first use and kept for the
// program's life. Owned by the application. Port number n (COM1..COM7) maps to a device
// at every cycle, so a ports/COMn link made or changed meanwhile is honoured; two port
// numbers that lead to one device share its line.
class SerialLines : public QObject {
    Q_OBJECT
public:
    using DeviceFactory = std::function<std::unique_ptr<SerialDevice>()>;

    // `makeDevice` makes the device of each new line; QtSerialDevice when empty.
    explicit SerialLines(ProgramFolder folder, DeviceFactory makeDevice = {},
                         QObject *parent = nullptr);
    ~SerialLines() override;

    const ProgramFolder &folder() const { return m_folder; }
    // The path port number n opens now (a link, or the platform's n-th port).
    QString devicePath(int portNumber) const;
    // The owner of the device port number n leads to now.
    SerialLine &lineFor(int portNumber) { return lineForDevice(devicePath(portNumber)); }
    // The owner of the device at `path`.
    SerialLine &lineForDevice(const QString &path);

private:
    ProgramFolder m_folder;
    DeviceFactory m_makeDevice;
    std::map<QString, std::unique_ptr<SerialLine>> m_lines; // by canonical device path
};
