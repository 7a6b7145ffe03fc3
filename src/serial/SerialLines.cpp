#include "serial/SerialLines.h"

#include "serial/DeviceClaim.h"
#include "serial/PortMapping.h"
#include "serial/QtSerialDevice.h"
#include "serial/ShareClient.h"

#include <QFileInfo>

SerialLine::SerialLine(std::unique_ptr<SerialDevice> device, QObject *parent)
    : QObject(parent), m_device(std::move(device))
{
    connect(&m_cycle, &PortCycle::finished, this, &SerialLine::onFinished);
}

SerialLine::~SerialLine()
{
    forgetRequester();
    m_cycle.cancel();
}

bool SerialLine::start(const QString &path, qint32 baud, QList<Exchange> exchanges,
                       ReplyHandler onReply, QObject *requester, FinishHandler onFinished)
{
    if (isBusy())
        return false;
    m_requester = requester;
    m_onFinished = std::move(onFinished);
    if (requester) {
        // A window closed mid-wait: the cycle ends with it and nothing calls into it.
        m_requesterGone = connect(requester, &QObject::destroyed, this, [this] {
            forgetRequester();
            m_cycle.cancel();
            dropRemote();
        });
    }
    // A logger that owns the line and shares it runs the cycle for us, between its polls.
    if (const ProcessClaim::Holder logger = DeviceClaim::otherHolder(path);
        logger.pid && !logger.socket.isEmpty())
        return startRemote(logger, std::move(exchanges), std::move(onReply));
    return m_cycle.start(m_device.get(), path, baud, std::move(exchanges), std::move(onReply));
}

void SerialLine::cancel(const QObject *requester)
{
    if (!isBusy() || m_requester.data() != requester)
        return;
    forgetRequester();
    m_cycle.cancel();
    dropRemote();
}

bool SerialLine::startRemote(const ProcessClaim::Holder &logger, QList<Exchange> exchanges,
                             ReplyHandler onReply)
{
    m_remote = new ShareClient(this);
    connect(
        m_remote, &ShareClient::cycleAnswered, this,
        [this, logger, exchanges, onReply](const ShareProtocol::CycleAnswer &answer) {
            CycleResult result = answer.result;
            if (answer.busy)
                result = {
                    CycleStatus::OpenFailed,
                    QStringLiteral("%1 has other windows' requests waiting").arg(logger.describe()),
                    0,
                    0,
                    {}};
            // Each reply to the exchange that awaited it, as a local cycle hands them on.
            qsizetype next = 0;
            for (int i = 0; i < exchanges.size() && next < answer.replies.size(); ++i) {
                if (!exchanges[i].awaitsReply)
                    continue;
                QString reason;
                if (onReply && !onReply(i, answer.replies[next++], &reason)) {
                    result = {CycleStatus::BadReply, reason, i, 0, {}};
                    break;
                }
            }
            dropRemote();
            onFinished(result);
        });
    connect(m_remote, &ShareClient::closed, this, [this, logger](const QString &why) {
        dropRemote();
        onFinished({CycleStatus::OpenFailed,
                    QStringLiteral("%1 did not run the exchange: %2").arg(logger.describe(), why),
                    0,
                    0,
                    {}});
    });
    m_remote->requestCycle(exchanges);  // sent once the logger has said hello
    m_remote->connectTo(logger.socket); // may report a failure before it returns
    return true;
}

void SerialLine::dropRemote()
{
    ShareClient::release(m_remote, this);
}

void SerialLine::onFinished(const CycleResult &result)
{
    // The handler may start the next cycle: the line is free before it runs.
    const FinishHandler handler = std::exchange(m_onFinished, {});
    forgetRequester();
    if (handler)
        handler(result);
}

void SerialLine::forgetRequester()
{
    disconnect(m_requesterGone);
    m_requester.clear();
    m_onFinished = {};
}

SerialLines::SerialLines(ProgramFolder folder, DeviceFactory makeDevice, QObject *parent)
    : QObject(parent), m_folder(std::move(folder)), m_makeDevice(std::move(makeDevice))
{
    if (!m_makeDevice)
        m_makeDevice = [] { return std::make_unique<QtSerialDevice>(); };
}

SerialLines::~SerialLines() = default;

QString SerialLines::devicePath(int portNumber) const
{
    return PortMapping::deviceFor(portNumber, m_folder);
}

SerialLine &SerialLines::lineForDevice(const QString &path)
{
    // Links to one device share its line; a dangling link is a line of its own.
    const QString canonical = QFileInfo(path).canonicalFilePath();
    const QString key = canonical.isEmpty() ? path : canonical;
    auto &line = m_lines[key];
    if (!line)
        line = std::make_unique<SerialLine>(m_makeDevice());
    return *line;
}
