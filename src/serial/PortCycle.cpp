#include "serial/PortCycle.h"

#include "serial/DeviceClaim.h"
#include "serial/PortDiagnosis.h"
#include "serial/SerialDevice.h"

#include <algorithm>

PortCycle::PortCycle(QObject *parent) : QObject(parent)
{
    for (QTimer *t : {&m_timeout, &m_quiet, &m_drain}) {
        t->setSingleShot(true);
        t->setTimerType(Qt::PreciseTimer);
    }
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        // The reply may be waiting in the operating system while its readyRead is still queued
        // behind this timer: take it in before giving up.
        const int waitingFor = m_index;
        if (m_device)
            m_device->readPending();
        checkReply();
        // The reply may have come in just now and the next exchange begun: its own wait stands.
        if (m_waiting && m_index == waitingFor)
            finish(CycleStatus::TimedOut);
    });
    connect(&m_quiet, &QTimer::timeout, this, &PortCycle::checkReply);
    connect(&m_drain, &QTimer::timeout, this, &PortCycle::checkDrained);
}

PortCycle::~PortCycle()
{
    cancel();
}

bool PortCycle::start(SerialDevice *device, const QString &path, qint32 baud,
                      QList<Exchange> exchanges, ReplyHandler onReply)
{
    if (isRunning() || !device)
        return false;
    m_device = device;
    m_baud = baud;
    m_exchanges = std::move(exchanges);
    m_onReply = std::move(onReply);
    m_index = 0;
    m_waiting = false;
    m_draining = false;
    m_assembler.reset();
    m_clock.start();
    m_lineFreeAt = now();

    if (const ProcessClaim::Holder logger = DeviceClaim::otherHolder(path); logger.pid) {
        // A headless logger owns this line; opening between its cycles would garble both.
        PortProblem held;
        held.cause = PortProblem::Cause::HeldByProgram;
        held.device = ProcessClaim::resolved(path); // the node it holds, not the link's name
        held.pid = logger.pid;
        held.program = logger.program;
        finish(CycleStatus::OpenFailed,
               QStringLiteral("%1 in use by %2").arg(held.device, logger.describe()), 0, held);
        return true;
    }
    if (!device->open(path, baud)) {
        // Only a failed open is worth a look at the system, to tell the operator what to do.
        finish(CycleStatus::OpenFailed, device->errorString(), 0, PortDiagnosis::diagnose(path));
        return true;
    }
    m_connections << connect(device, &SerialDevice::readyRead, this, &PortCycle::onReadyRead)
                  << connect(device, &SerialDevice::lineFailed, this,
                             [this](const QString &reason) {
                                 finish(CycleStatus::LineFailed, reason);
                             });
    runNext();
    return true;
}

void PortCycle::cancel()
{
    m_timeout.stop();
    m_quiet.stop();
    m_drain.stop();
    m_waiting = false;
    m_draining = false;
    disconnectDevice();
    if (m_device)
        m_device->close();
    m_device.clear();
}

void PortCycle::runNext()
{
    // Writes follow one another at once; a read waits for its reply.
    while (m_device && m_index < m_exchanges.size()) {
        const Exchange &e = m_exchanges[m_index];
        if (!m_device->write(e.request)) {
            // A line failure found while writing has already ended the cycle.
            if (m_device)
                finish(CycleStatus::WriteFailed, m_device->errorString());
            return;
        }
        m_lineFreeAt = std::max(m_lineFreeAt, now()) + lineTime(e.request.size(), m_baud);
        if (e.awaitsReply) {
            m_waiting = true;
            m_timeout.start(waitBound(m_baud));
            checkReply(); // the rest of an earlier reply may already complete this one
            return;
        }
        ++m_index;
    }
    if (m_device)
        drain();
}

void PortCycle::onReadyRead()
{
    if (!m_device || m_draining)
        return;
    m_assembler.feed(m_device->readAll(), now());
    checkReply();
}

void PortCycle::checkReply()
{
    if (!m_waiting || !m_device)
        return;
    if (m_device->inBufferCount() > 0)
        m_assembler.feed(m_device->readAll(), now());
    if (!m_assembler.isComplete(now())) {
        if (const auto due = m_assembler.quietDeadline())
            m_quiet.start(std::max(ms(1), *due - now()));
        return;
    }
    m_quiet.stop();
    m_timeout.stop();
    m_waiting = false;
    // The instrument answered: everything written before has left.
    m_lineFreeAt = std::min(m_lineFreeAt, now());
    const QByteArray reply = m_assembler.takeReply();
    QString reason;
    if (m_onReply && !m_onReply(m_index, reply, &reason)) {
        finish(CycleStatus::BadReply, reason);
        return;
    }
    ++m_index;
    if (m_device) // the handler may have ended the cycle's owner
        runNext();
}

void PortCycle::drain()
{
    m_draining = true;
    m_drainDeadline = std::max(m_lineFreeAt, now()) + drainMargin;
    checkDrained();
}

void PortCycle::checkDrained()
{
    if (!m_draining || !m_device)
        return;
    const qint64 queued = m_device->outputQueued(); // -1: the system cannot tell
    const ms t = now();
    // The driver's count leaves out what the adapter's own buffer still holds: the bytes'
    // time on the line must have passed as well.
    if (queued <= 0 && t >= m_lineFreeAt) {
        finish(CycleStatus::Ok);
        return;
    }
    if (t >= m_drainDeadline) {
        finish(CycleStatus::OutputDropped, {}, std::max<qint64>(queued, 0));
        return;
    }
    const ms pending = queued > 0 ? lineTime(queued, m_baud) : m_lineFreeAt - t;
    m_drain.start(std::clamp(pending, ms(1), m_drainDeadline - t));
}

void PortCycle::finish(CycleStatus status, const QString &reason, qint64 unsent,
                       const PortProblem &problem)
{
    CycleResult result;
    result.status = status;
    result.reason = reason;
    result.completed = m_index;
    result.unsent = unsent;
    result.problem = problem;
    cancel();
    Q_EMIT finished(result);
}

void PortCycle::disconnectDevice()
{
    for (const auto &c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
}

PortCycle::ms PortCycle::now() const
{
    return ms(m_clock.elapsed());
}
