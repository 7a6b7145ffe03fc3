#include "serial/QtSerialDevice.h"

#include <utility>

#if defined(Q_OS_WIN)
#include <qt_windows.h>
#elif defined(Q_OS_UNIX)
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#endif

namespace {

// Bytes the driver still holds for the line; -1 when it cannot tell.
qint64 driverOutputQueued(decltype(std::declval<QSerialPort>().handle()) handle)
{
#if defined(Q_OS_WIN)
    COMSTAT status{};
    DWORD errors = 0;
    return ClearCommError(handle, &errors, &status) ? qint64(status.cbOutQue) : -1;
#elif defined(Q_OS_UNIX) && defined(TIOCOUTQ)
    int queued = 0;
    return ::ioctl(handle, TIOCOUTQ, &queued) == 0 ? qint64(queued) : -1;
#else
    Q_UNUSED(handle);
    return -1;
#endif
}

// True when the other end has gone (adapter unplugged, pseudo-terminal closed). Reads then
// find the end of the file, and Qt 6.4 reports whatever error number an earlier, unrelated
// call left behind ("Inappropriate ioctl for device" from its own probing at open).
bool hungUp(decltype(std::declval<QSerialPort>().handle()) handle)
{
#if defined(Q_OS_UNIX)
    pollfd line{handle, POLLIN, 0};
    return ::poll(&line, 1, 0) > 0 && (line.revents & POLLHUP);
#else
    Q_UNUSED(handle);
    return false;
#endif
}

} // namespace

QtSerialDevice::QtSerialDevice(QObject *parent) : SerialDevice(parent)
{
    connect(&m_port, &QSerialPort::readyRead, this, &SerialDevice::readyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialDevice::onError);
}

QtSerialDevice::~QtSerialDevice()
{
    close();
}

bool QtSerialDevice::open(const QString &path, qint32 baud)
{
    if (m_port.isOpen()) {
        setErrorString(tr("%1 is already open.").arg(path));
        return false;
    }
    m_port.setPortName(path);
    m_port.setBaudRate(baud);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        setErrorString(QStringLiteral("%1: %2").arg(path, m_port.errorString()));
        return false;
    }
    // Input that arrived while the port was closed belongs to no request of ours.
    m_port.clear();
    return true;
}

void QtSerialDevice::close()
{
    if (!m_port.isOpen())
        return;
    // The system's close would otherwise wait for what a dead device still holds, for up
    // to 30 s. Whoever closes has already waited for what it owed the line.
    m_port.clear(QSerialPort::Output);
    m_port.close();
}

bool QtSerialDevice::write(const QByteArray &bytes)
{
    if (!m_port.isOpen()) {
        setErrorString(tr("%1 is not open.").arg(m_port.portName()));
        return false;
    }
    if (m_port.write(bytes) != bytes.size()) {
        setErrorString(QStringLiteral("%1: %2").arg(m_port.portName(), m_port.errorString()));
        return false;
    }
    m_port.flush();         // hands the bytes to the driver without waiting for the line
    return m_port.isOpen(); // a write error found by flush() closed the port
}

qint64 QtSerialDevice::outputQueued() const
{
    if (!m_port.isOpen())
        return 0;
    const qint64 ours = m_port.bytesToWrite();
    const qint64 driver = driverOutputQueued(m_port.handle());
    if (driver < 0)
        return ours > 0 ? ours : -1;
    return ours + driver;
}

void QtSerialDevice::readPending()
{
    // A zero timeout only polls the descriptor: nothing blocks.
    if (m_port.isOpen())
        m_port.waitForReadyRead(0);
}

void QtSerialDevice::onError(QSerialPort::SerialPortError error)
{
    // Modem-line and timeout errors are not fatal (a pseudo-terminal has no DTR/RTS).
    if (error != QSerialPort::ReadError && error != QSerialPort::WriteError &&
        error != QSerialPort::ResourceError)
        return;
    if (!m_port.isOpen())
        return;
    // Qt reports a vanished device again and again until the port is closed: close once,
    // tell once.
    const QString why = hungUp(m_port.handle()) ? tr("the line hung up") : m_port.errorString();
    const QString reason = QStringLiteral("%1: %2").arg(m_port.portName(), why);
    setErrorString(reason);
    m_port.close(); // not close(): discarding output on a dead device reports yet another error
    Q_EMIT lineFailed(reason);
}
