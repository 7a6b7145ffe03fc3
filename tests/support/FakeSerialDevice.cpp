#include "FakeSerialDevice.h"

#include <algorithm>

bool FakeSerialDevice::open(const QString &openPath, qint32 openBaud)
{
    if (failOpen || m_open) {
        setErrorString(QStringLiteral("%1: cannot open").arg(openPath));
        return false;
    }
    m_open = true;
    m_input.clear();
    path = openPath;
    baud = openBaud;
    ++opens;
    m_clock.start();
    m_queueStart = written.size();
    m_lineFreeNs = 0;
    m_sentAtNs.clear();
    return true;
}

void FakeSerialDevice::close()
{
    if (!m_open)
        return;
    discarded += outputQueued();
    m_sent += written.mid(m_queueStart, sentCount());
    m_open = false;
    m_input.clear();
    m_sentAtNs.clear();
    ++closes;
}

bool FakeSerialDevice::write(const QByteArray &bytes)
{
    if (lineFailsOnWrite) {
        fail(QStringLiteral("%1: device vanished").arg(path));
        return false;
    }
    if (!m_open || failWrite) {
        setErrorString(QStringLiteral("%1: write failed").arg(path));
        return false;
    }
    written += bytes;
    if (lineBaud > 0) {
        const qint64 charNs = 10LL * 1'000'000'000 / lineBaud;
        m_lineFreeNs = std::max(m_lineFreeNs, m_clock.nsecsElapsed());
        for (qsizetype i = 0; i < bytes.size(); ++i)
            m_sentAtNs << (m_lineFreeNs += charNs);
    }
    return true;
}

qint64 FakeSerialDevice::sentCount() const
{
    if (lineBaud <= 0)
        return written.size() - m_queueStart;
    if (stalled)
        return 0;
    const qint64 now = m_clock.nsecsElapsed();
    return std::upper_bound(m_sentAtNs.cbegin(), m_sentAtNs.cend(), now) - m_sentAtNs.cbegin();
}

qint64 FakeSerialDevice::outputQueued() const
{
    if (!m_open)
        return 0;
    return written.size() - m_queueStart - sentCount();
}

QByteArray FakeSerialDevice::sent() const
{
    return m_open ? m_sent + written.mid(m_queueStart, sentCount()) : m_sent;
}

QByteArray FakeSerialDevice::readAll()
{
    QByteArray out;
    out.swap(m_input);
    return out;
}

void FakeSerialDevice::inject(const QByteArray &bytes)
{
    if (!m_open)
        return;
    m_input += bytes;
    Q_EMIT readyRead();
}

void FakeSerialDevice::fail(const QString &reason)
{
    if (!m_open)
        return;
    setErrorString(reason);
    m_open = false;
    m_input.clear();
    Q_EMIT lineFailed(reason);
}
