#include "serial/SerialPort.h"

#include <array>

namespace {
constexpr std::array<qint32, 7> speeds = {300, 600, 1200, 2400, 4800, 9600, 19200};
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
