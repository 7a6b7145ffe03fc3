#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// The program's path to the instrument: one instance per window that talks to it
// (the Main window's and the Parameter editor's), both set to the same physical port.
//
// Set the port number and the line settings while closed; a change reaches the line
// from the next open on. Received data arrives in arbitrary chunks: readyRead() tells
// that something is waiting, inBufferCount()/readAll() take it.
class SerialPort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    static constexpr int firstPort = 1;
    static constexpr int lastPort = 7;

    // Port numbers 1..7 are accepted; anything else is refused and changes nothing.
    bool setCommPort(int number);
    int commPort() const { return m_commPort; }

    // "<baud>,N,8,1" with one of the seven speeds; anything else is refused.
    bool setSettings(const QString &settings);
    QString settings() const { return m_settings; }
    qint32 baud() const { return m_baud; }

    // Only 0 (read everything waiting) is meaningful; kept for the callers' order of use.
    void setInputLen(int length) { m_inputLen = length; }

    virtual bool open() = 0;
    // Sends everything queued by write() first, then closes; unread input is dropped.
    virtual void close() = 0;
    // Closes at once, dropping output not yet sent: after a failure nothing is waited for.
    virtual void abort() { close(); }
    virtual bool isOpen() const = 0;
    virtual bool write(const QByteArray &bytes) = 0;
    virtual qint64 inBufferCount() const = 0;
    // Takes in whatever the operating system already holds for us without waiting, so that
    // a reply that arrived just before a deadline is not missed. May emit readyRead().
    virtual void readPending() {}
    virtual QByteArray readAll() = 0;

    // The operating system's reason for the last failed open, write or line error.
    QString errorString() const { return m_errorString; }

    // The device the port number maps to (for messages and the one-cycle guard).
    virtual QString deviceName() const = 0;

    static bool isValidSettings(const QString &settings, qint32 *baud = nullptr);
    static QString settingsFor(qint32 baud)
    {
        return QString::number(baud) + QStringLiteral(",N,8,1");
    }

Q_SIGNALS:
    void readyRead();
    // The line failed while open (device vanished, I/O error). The port is closed already;
    // emitted once per failure.
    void lineFailed(const QString &reason);

protected:
    void setErrorString(const QString &s) { m_errorString = s; }

private:
    int m_commPort = 1;
    QString m_settings = QStringLiteral("9600,N,8,1");
    qint32 m_baud = 9600;
    int m_inputLen = 0;
    QString m_errorString;
};
