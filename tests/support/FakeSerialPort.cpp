#include "FakeSerialPort.h"

bool FakeSerialPort::open()
{
    if (failOpen || m_open) {
        setErrorString(QStringLiteral("%1: cannot open").arg(deviceName()));
        return false;
    }
    m_open = true;
    m_input.clear();
    ++opens;
    return true;
}

void FakeSerialPort::close()
{
    if (!m_open)
        return;
    m_open = false;
    m_input.clear();
    ++closes;
}

bool FakeSerialPort::write(const QByteArray &bytes)
{
    if (lineFailsOnWrite) {
        fail(QStringLiteral("%1: device vanished").arg(deviceName()));
        return false;
    }
    if (!m_open || failWrite) {
        setErrorString(QStringLiteral("%1: write failed").arg(deviceName()));
        return false;
    }
    written += bytes;
    return true;
}

QByteArray FakeSerialPort::readAll()
{
    QByteArray out;
    out.swap(m_input);
    return out;
}

void FakeSerialPort::inject(const QByteArray &bytes)
{
    if (!m_open)
        return;
    m_input += bytes;
    Q_EMIT readyRead();
}

void FakeSerialPort::fail(const QString &reason)
{
    if (!m_open)
        return;
    setErrorString(reason);
    m_open = false;
    m_input.clear();
    Q_EMIT lineFailed(reason);
}
