#include "serial/QtSerialPort.h"

#include "serial/PortMapping.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QSet>
#include <QThread>

#include <chrono>

namespace {

// Devices this process holds open, by canonical path.
QSet<QString> &claimedDevices()
{
    static QSet<QString> devices;
    return devices;
}

QString canonical(const QString &device)
{
    const QString c = QFileInfo(device).canonicalFilePath();
    return c.isEmpty() ? device : c;
}

// How long close() may wait for queued output: the bytes' time on the line plus a margin.
std::chrono::milliseconds drainBound(qint64 bytes, qint32 baud)
{
    using namespace std::chrono_literals;
    return 1000ms + std::chrono::milliseconds(bytes * 10 * 1000 / qMax<qint32>(baud, 1));
}

} // namespace

QtSerialPort::QtSerialPort(ProgramFolder folder, QObject *parent)
    : SerialPort(parent), m_folder(std::move(folder))
{
    connect(&m_port, &QSerialPort::readyRead, this, &SerialPort::readyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialPort::onError);
}

QtSerialPort::~QtSerialPort()
{
    if (m_port.isOpen())
        m_port.close();
    release();
}

QString QtSerialPort::deviceName() const
{
    return PortMapping::deviceFor(commPort(), m_folder);
}

bool QtSerialPort::open()
{
    const QString device = deviceName();
    if (m_port.isOpen()) {
        setErrorString(tr("%1 is already open.").arg(device));
        return false;
    }
    const QString key = canonical(device);
    if (claimedDevices().contains(key)) {
        setErrorString(tr("%1 is in use by another exchange of this program.").arg(device));
        return false;
    }
    m_port.setPortName(device);
    m_port.setBaudRate(baud());
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        setErrorString(tr("%1: %2").arg(device, m_port.errorString()));
        return false;
    }
    // Input that arrived while the port was closed belongs to no request of ours.
    m_port.clear();
    m_written = 0;
    m_sinceOpen.start();
    claimedDevices().insert(key);
    m_claimed = key;
    return true;
}

void QtSerialPort::close()
{
    if (!m_port.isOpen())
        return;
    // QSerialPort::close() drops what is still in its write buffer.
    const QDeadlineTimer deadline(drainBound(m_port.bytesToWrite(), baud()));
    while (m_port.bytesToWrite() > 0 && !deadline.hasExpired()) {
        if (!m_port.waitForBytesWritten(int(qMax<qint64>(deadline.remainingTime(), 1))))
            break;
    }
    // Then give the line the time its bytes take. Whatever a dead device still holds after
    // that is dropped: the system's close would otherwise wait for it for up to 30 s.
    const qint64 lineMs = m_written * 10 * 1000 / qMax<qint32>(baud(), 1) + 1;
    while (m_sinceOpen.elapsed() < lineMs && !deadline.hasExpired())
        QThread::msleep(1);
    abort();
}

void QtSerialPort::abort()
{
    if (m_port.isOpen()) {
        m_port.clear(QSerialPort::Output);
        m_port.close();
    }
    release();
}

bool QtSerialPort::write(const QByteArray &bytes)
{
    if (!m_port.isOpen()) {
        setErrorString(tr("%1 is not open.").arg(deviceName()));
        return false;
    }
    m_written += bytes.size();
    if (m_port.write(bytes) != bytes.size()) {
        setErrorString(tr("%1: %2").arg(m_port.portName(), m_port.errorString()));
        return false;
    }
    m_port.flush();
    return m_port.isOpen(); // a write error found by flush() closed the port
}

void QtSerialPort::readPending()
{
    // A zero timeout only polls the descriptor: nothing blocks.
    if (m_port.isOpen())
        m_port.waitForReadyRead(0);
}

void QtSerialPort::onError(QSerialPort::SerialPortError error)
{
    // Modem-line and timeout errors are not fatal (a pseudo-terminal has no DTR/RTS).
    if (error != QSerialPort::ReadError && error != QSerialPort::WriteError &&
        error != QSerialPort::ResourceError)
        return;
    if (!m_port.isOpen())
        return;
    // Qt reports a vanished device again and again until the port is closed: close once,
    // tell once.
    const QString reason = tr("%1: %2").arg(m_port.portName(), m_port.errorString());
    setErrorString(reason);
    m_port.close();
    release();
    Q_EMIT lineFailed(reason);
}

void QtSerialPort::release()
{
    if (!m_claimed.isEmpty()) {
        claimedDevices().remove(m_claimed);
        m_claimed.clear();
    }
}
