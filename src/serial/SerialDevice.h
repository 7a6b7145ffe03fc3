#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// A serial device as a port cycle uses it: open at a speed (no parity, 8 data bits, 1 stop
// bit, no flow control), write, take what arrived, close. Received data arrives in
// arbitrary chunks: readyRead() tells that something is waiting.
class SerialDevice : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // `path` is absolute (a device or a link to one). False, with errorString(), when the
    // device is missing, busy or forbidden.
    virtual bool open(const QString &path, qint32 baud) = 0;
    // Closes at once; output not yet on the line is discarded (see outputQueued()).
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Queues the bytes for the line and returns at once.
    virtual bool write(const QByteArray &bytes) = 0;
    // Bytes written but not yet sent on the line, in our buffer and the driver's; -1 when
    // the system cannot tell.
    virtual qint64 outputQueued() const = 0;
    virtual qint64 inBufferCount() const = 0;
    // Takes in whatever the operating system already holds for us without waiting, so that
    // a reply that arrived just before a deadline is not missed. May emit readyRead().
    virtual void readPending() {}
    virtual QByteArray readAll() = 0;

    // The operating system's reason for the last failed open, write or line error.
    QString errorString() const { return m_errorString; }

Q_SIGNALS:
    void readyRead();
    // The line failed while open (device vanished, I/O error). The device is closed
    // already; emitted once per failure.
    void lineFailed(const QString &reason);

protected:
    void setErrorString(const QString &s) { m_errorString = s; }

private:
    QString m_errorString;
};
