#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;
class QTimer;

// One end of a Unix-domain stream connection, driven by the event loop. Small on purpose:
// the logger keeps its line to a local socket with this instead of the network library,
// which would cost it a few megabytes of resident memory for nothing it uses.
//
// Writes go out at once where the system takes them, the rest when it can. What is read is
// held up to a bound; beyond it the system's buffer holds the rest, so a peer that sends
// endlessly never grows this process. `closed` is always emitted from the event loop, never
// from inside a call, so a handler may delete the socket (later) without pulling the floor
// from under its caller.
class LocalSocket : public QObject {
    Q_OBJECT
public:
    explicit LocalSocket(QObject *parent = nullptr);
    ~LocalSocket() override;

    // Connects to the socket at `path`; `connected` or `closed` follows. A server whose
    // queue of waiting connections is full is tried again for a few seconds.
    void connectTo(const QString &path);
    bool isConnected() const { return m_fd >= 0 && !m_connecting; }

    // Bytes held before reading from the system stops (0: no bound).
    void setReadLimit(qsizetype bytes) { m_readLimit = bytes; }
    qsizetype bytesAvailable() const { return m_input.size(); }
    bool canReadLine() const { return m_input.contains('\n'); }
    // Up to `max` bytes held, or the first line with its '\n' if it comes before that.
    QByteArray read(qsizetype max);
    QByteArray readLine(qsizetype max);

    void write(const QByteArray &bytes);
    qsizetype bytesToWrite() const { return m_output.size() - m_outputSent; }

    // Closes once what is written has gone (at once if nothing waits); nothing more is read.
    void closeAfterWriting();
    // Closes now; what waits to be written is dropped.
    void abort();

Q_SIGNALS:
    void connected();
    void readyRead();
    void bytesWritten(); // some of what waited went out
    // The connection is over, once per connection whatever ended it: `error` is the
    // system's word for what went wrong, empty when either end closed it in order.
    void closed(const QString &error);

private:
    friend class LocalServer;
    void adopt(int fd);
    void tryConnect();
    void readSome();
    void writeSome();
    void fail(const QString &reason);
    void release();
    void watchWrites();

    int m_fd = -1;
    bool m_connecting = false;
    bool m_closing = false; // closeAfterWriting: no more reading, close when written
    bool m_ended = false;
    quint64 m_connection = 0; // counts connectTo(): a late signal of an earlier one is dropped
    QByteArray m_connectPath;
    int m_connectTries = 0;
    QTimer *m_retry = nullptr;
    QSocketNotifier *m_readable = nullptr;
    QSocketNotifier *m_writable = nullptr;
    QByteArray m_input;
    QByteArray m_output;
    qsizetype m_outputSent = 0;
    qsizetype m_readLimit = 0;
};

// Listens at a path of the file system; every connection arrives as a LocalSocket the
// server's caller takes over (`connection`).
class LocalServer : public QObject {
    Q_OBJECT
public:
    explicit LocalServer(QObject *parent = nullptr);
    ~LocalServer() override; // closes

    // Listens at `path`, replacing a socket file left there, with the file's mode set to
    // `mode` before anyone can connect. `backlog` connections may wait to be taken.
    bool listen(const QString &path, unsigned mode, int backlog, QString *error);
    // Stops listening and removes the socket file.
    void close();
    QString path() const { return m_path; }

Q_SIGNALS:
    void connection(LocalSocket *socket); // parented to the server; the receiver owns it

private:
    void accept();

    int m_fd = -1;
    QString m_path;
    QSocketNotifier *m_incoming = nullptr;
};
