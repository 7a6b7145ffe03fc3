#include "serial/SerialPort.h"

#include "serial/DeviceClaim.h"
#include "serial/SerialLines.h"

#include <array>

namespace {
constexpr std::array<qint32, 7> speeds = {300, 600, 1200, 2400, 4800, 9600, 19200};
}

SerialPort::SerialPort(SerialLines &lines, QObject *parent) : QObject(parent), m_lines(lines)
{
}

bool SerialPort::setCommPort(int number)
{
    if (number < firstPort || number > lastPort)
        return false;
    m_commPort = number;
    return true;
}

bool SerialPort::isValidSettings(const QString &settings, qint32 *baud)
{
    for (qint32 s : speeds) {
        if (settings == settingsFor(s)) {
            if (baud)
                *baud = s;
            return true;
        }
    }
    return false;
}

bool SerialPort::setSettings(const QString &settings)
{
    qint32 b = 0;
    if (!isValidSettings(settings, &b))
        return false;
    m_settings = settings;
    m_baud = b;
    return true;
}

QString SerialPort::deviceName() const
{
    return m_device.isEmpty() ? m_lines.devicePath(m_commPort) : m_device;
}

SerialLine &SerialPort::line() const
{
    return m_lines.lineForDevice(deviceName());
}

bool SerialPort::isBusy() const
{
    return line().isBusy();
}

bool SerialPort::startCycle(QList<Exchange> exchanges, ReplyHandler onReply, QObject *requester,
                            FinishHandler onFinished)
{
    const QString device = deviceName();
    // A node someone else claims is refused by the cycle itself, in that holder's name.
    if (m_claim)
        m_claim->follow(device);
    return line().start(device, m_baud, std::move(exchanges), std::move(onReply), requester,
                        std::move(onFinished));
}
