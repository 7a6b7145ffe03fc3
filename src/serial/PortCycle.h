#pragma once

#include "serial/Exchange.h"
#include "serial/Protocol.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>

class SerialDevice;

// One port cycle: open the device, run the exchanges strictly one after another, let the
// line send what it still owes, close. Event-driven: the caller's handler returns at once
// and the user interface keeps running while a reply is awaited (WaitForReply) or output
// drains; finished() reports the end. The line's owner (SerialLine) runs one at a time.
//
// Closing waits, without blocking, until the line has sent every byte written since the
// instrument last answered: a reply proves that the request before it has left, so a poll
// closes as soon as its reply is in. The wait is bounded by those bytes' time on the line
// plus drainMargin; output still queued then is discarded and the cycle fails.
class PortCycle : public QObject {
    Q_OBJECT
public:
    using ms = std::chrono::milliseconds;

    explicit PortCycle(QObject *parent = nullptr);
    ~PortCycle() override;

    // Starts a cycle on `device` at `baud`. False, with nothing done, while this cycle runs.
    bool start(SerialDevice *device, const QString &path, qint32 baud, QList<Exchange> exchanges,
               ReplyHandler onReply = {});
    bool isRunning() const { return !m_device.isNull(); }
    // Ends a running cycle at once: the device is closed, unsent output discarded, and
    // nothing is reported.
    void cancel();

    // WaitForReply's bound: 2 s plus 20 characters at the line speed.
    static ms waitBound(qint32 baud) { return Protocol::replyTimeout(baud); }
    // Time `bytes` take on the line at `baud` (10 bits a character), rounded up.
    static ms lineTime(qint64 bytes, qint32 baud) { return Protocol::lineTime(bytes, baud); }
    // Allowance beyond the line time for the driver and adapter to hand the bytes out.
    static constexpr ms drainMargin{500};

Q_SIGNALS:
    // The device is already closed when this is emitted.
    void finished(const CycleResult &result);

private:
    void runNext();
    void onReadyRead();
    void checkReply();
    void drain();
    void checkDrained();
    void finish(CycleStatus status, const QString &reason = {}, qint64 unsent = 0,
                const PortProblem &problem = {});
    void disconnectDevice();
    ms now() const;

    QPointer<SerialDevice> m_device;
    qint32 m_baud = 9600;
    QList<Exchange> m_exchanges;
    ReplyHandler m_onReply;
    int m_index = 0;
    bool m_waiting = false;
    bool m_draining = false;
    ms m_lineFreeAt{0};    // when the line will have sent every byte written so far
    ms m_drainDeadline{0}; // give up on unsent output from here on
    Protocol::ReplyAssembler m_assembler;
    QElapsedTimer m_clock;
    QTimer m_timeout; // WaitForReply's wall-clock bound
    QTimer m_quiet;   // looks again when a reply without CR may have gone quiet
    QTimer m_drain;   // looks again at the output still queued
    QList<QMetaObject::Connection> m_connections;
};
