#include "serial/PortCycle.h"

#include "serial/SerialPort.h"

#include <QSet>

namespace {

QSet<QString> &busyDevices()
{
    static QSet<QString> devices;
    return devices;
}

} // namespace

PortCycle::PortCycle(QObject *parent) : QObject(parent)
{
    m_timeout.setSingleShot(true);
    m_timeout.setTimerType(Qt::PreciseTimer);
    m_quiet.setSingleShot(true);
    m_quiet.setTimerType(Qt::PreciseTimer);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        // The reply may be waiting in the operating system while its readyRead is still queued
        // behind this timer: take it in before giving up.
        const int waitingFor = m_index;
        if (m_port)
            m_port->readPending();
        checkReply();
        // The reply may have come in just now and the next exchange begun: its own wait stands.
        if (m_waiting && m_index == waitingFor)
            finish(Status::TimedOut, tr("No complete reply within %1 ms.")
                                         .arg(waitBound(m_port ? m_port->baud() : 9600).count()));
    });
    connect(&m_quiet, &QTimer::timeout, this, &PortCycle::checkReply);
}

PortCycle::~PortCycle()
{
    if (m_port && m_port->isOpen())
        m_port->abort();
    release();
}

bool PortCycle::isBusy(const SerialPort &port)
{
    return busyDevices().contains(port.deviceName());
}

bool PortCycle::start(SerialPort *port, QList<Exchange> exchanges, ReplyHandler onReply)
{
    if (isRunning() || !port || isBusy(*port))
        return false;
    m_port = port;
    m_device = port->deviceName();
    busyDevices().insert(m_device);
    m_exchanges = std::move(exchanges);
    m_onReply = std::move(onReply);
    m_index = 0;
    m_waiting = false;
    m_assembler.reset();
    m_clock.start();

    port->setInputLen(0);
    if (!port->open()) {
        finish(Status::OpenFailed, port->errorString());
        return true;
    }
    m_connections << connect(port, &SerialPort::readyRead, this, &PortCycle::onReadyRead)
                  << connect(port, &SerialPort::lineFailed, this,
                             [this](const QString &reason) { finish(Status::LineFailed, reason); });
    runNext();
    return true;
}

void PortCycle::runNext()
{
    // Writes follow one another at once; a read waits for its reply.
    while (m_port && m_index < m_exchanges.size()) {
        const Exchange &e = m_exchanges[m_index];
        if (!m_port->write(e.request)) {
            // A line failure found while writing has already ended the cycle.
            if (m_port)
                finish(Status::WriteFailed, m_port->errorString());
            return;
        }
        if (e.awaitsReply) {
            m_waiting = true;
            m_timeout.start(waitBound(m_port->baud()));
            checkReply(); // the rest of an earlier reply may already complete this one
            return;
        }
        ++m_index;
    }
    if (m_port)
        finish(Status::Ok);
}

void PortCycle::onReadyRead()
{
    if (!m_port)
        return;
    m_assembler.feed(m_port->readAll(), now());
    checkReply();
}

void PortCycle::checkReply()
{
    if (!m_waiting || !m_port)
        return;
    if (m_port->inBufferCount() > 0)
        m_assembler.feed(m_port->readAll(), now());
    if (!m_assembler.isComplete(now())) {
        if (const auto due = m_assembler.quietDeadline())
            m_quiet.start(std::max(std::chrono::milliseconds(1), *due - now()));
        return;
    }
    m_quiet.stop();
    m_timeout.stop();
    m_waiting = false;
    const QByteArray reply = m_assembler.takeReply();
    QString reason;
    if (m_onReply && !m_onReply(m_index, reply, &reason)) {
        finish(Status::BadReply, reason);
        return;
    }
    ++m_index;
    if (m_port) // the handler may have ended the cycle's owner
        runNext();
}

void PortCycle::finish(Status status, const QString &reason)
{
    m_timeout.stop();
    m_quiet.stop();
    m_waiting = false;
    for (const auto &c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    if (m_port) {
        // After a failure nothing more is owed to the line; a dead device must not hold us.
        if (status == Status::Ok)
            m_port->close();
        else
            m_port->abort();
    }
    Result result;
    result.status = status;
    result.reason = reason;
    result.completed = m_index;
    release();
    Q_EMIT finished(result);
}

void PortCycle::release()
{
    if (!m_device.isEmpty())
        busyDevices().remove(m_device);
    m_device.clear();
    m_port.clear();
}

std::chrono::milliseconds PortCycle::now() const
{
    return std::chrono::milliseconds(m_clock.elapsed());
}
