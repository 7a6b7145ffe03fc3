#pragma once

#include "serial/Protocol.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class SerialPort;

// One port cycle: open the port, run the exchanges strictly one after another, close it.
// Event-driven: the caller's handler returns at once and the user interface keeps running
// while a reply is awaited (WaitForReply); finished() reports the end.
//
// At most one cycle runs per physical port at a time, across every SerialPort instance of
// the program: start() refuses while another cycle holds the device. Destroying a running
// cycle closes its port and reports nothing, so a window closed mid-wait is left alone.
class PortCycle : public QObject {
    Q_OBJECT
public:
    struct Exchange {
        QByteArray request;
        bool awaitsReply = false;
    };

    enum class Status {
        Ok,
        TimedOut,    // no complete reply within the wait bound
        OpenFailed,  // missing, busy or forbidden port
        WriteFailed, // the request could not be handed to the line
        LineFailed,  // the line failed while open (adapter unplugged, device gone)
        BadReply,    // the caller refused a reply (not a number, does not fit)
    };
    struct Result {
        Status status = Status::Ok;
        QString reason;    // the operating system's or the caller's reason; empty when Ok
        int completed = 0; // exchanges that ran to their end
    };

    // Called with each reply as it arrives, before the next request is written. Returning
    // false ends the cycle with BadReply and the given reason.
    using ReplyHandler = std::function<bool(int index, const QByteArray &reply, QString *reason)>;

    explicit PortCycle(QObject *parent = nullptr);
    ~PortCycle() override;

    // Starts a cycle on `port`. False, with nothing done, while this cycle runs or another
    // cycle holds the same physical port.
    bool start(SerialPort *port, QList<Exchange> exchanges, ReplyHandler onReply = {});
    bool isRunning() const { return !m_port.isNull(); }

    // True while any cycle of the program holds the device `port` maps to.
    static bool isBusy(const SerialPort &port);

    // WaitForReply's bound: 2 s plus 20 characters at the line speed.
    static std::chrono::milliseconds waitBound(qint32 baud) { return Protocol::replyTimeout(baud); }

Q_SIGNALS:
    // The port is already closed when this is emitted.
    void finished(const PortCycle::Result &result);

private:
    void runNext();
    void onReadyRead();
    void checkReply();
    void finish(Status status, const QString &reason = {});
    void release();
    std::chrono::milliseconds now() const;

    QPointer<SerialPort> m_port;
    QString m_device;
    QList<Exchange> m_exchanges;
    ReplyHandler m_onReply;
    int m_index = 0;
    bool m_waiting = false;
    Protocol::ReplyAssembler m_assembler;
    QElapsedTimer m_clock;
    QTimer m_timeout; // WaitForReply's wall-clock bound
    QTimer m_quiet;   // looks again when a reply without CR may have gone quiet
    QList<QMetaObject::Connection> m_connections;
};
