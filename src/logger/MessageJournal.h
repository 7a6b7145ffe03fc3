#pragma once

#include <QByteArray>
#include <QString>

#include <deque>
#include <vector>

// The messages waiting for the broker, kept in a file so that a logger restarted while the
// broker is away loses none of them and sends each once, in order.
//
// One line per message: a state byte ('+' waiting, '-' done), a kind byte, a space and the
// payload (one line of JSON). A message done (acknowledged, or dropped as the oldest) is
// marked in place with one byte, so nothing is rewritten while messages flow; once nothing
// waits, the file is emptied. When done lines outweigh waiting ones the file is rewritten
// with the waiting ones only (a new file renamed over the old), so it stays within about
// twice what the queue holds. Each line goes out in one write and is cut back when the write
// falls short: a line is whole or absent. A line a power loss cut short, or any line that
// does not read, is skipped when the file is opened.
class MessageJournal {
public:
    struct Entry {
        char kind;
        QByteArray payload;
        qint64 id;
    };

    MessageJournal() = default;
    MessageJournal(const MessageJournal &) = delete;
    MessageJournal &operator=(const MessageJournal &) = delete;
    ~MessageJournal();

    // Opens (or makes) the file and takes what waits in it; false, with the reason, when the
    // file cannot be used or another process has it open.
    bool open(const QString &path, QString *error);
    bool isOpen() const { return m_fd >= 0; }
    QString path() const { return m_path; }
    // What waited in the file when it was opened, oldest first.
    const std::vector<Entry> &loaded() const { return m_loaded; }
    void forgetLoaded() { m_loaded = {}; }

    // Keeps a message; its id, or -1 when the file could not take it (the reason in
    // lastError(); the message then lives in memory only).
    qint64 append(char kind, const QByteArray &payload);
    // The message `id` needs keeping no longer. -1 is let pass.
    void done(qint64 id);

    QString lastError() const { return m_error; }
    qint64 fileSize() const { return m_size; }

private:
    struct Line {
        qint64 id;
        qint64 offset;
        qint64 length; // with its '\n'
        bool waiting;
    };
    bool writeAt(qint64 offset, const char *data, qint64 length);
    bool rewrite();
    void fail(const QString &what, int error);

    QString m_path;
    int m_fd = -1;
    qint64 m_size = 0;
    qint64 m_nextId = 1;
    std::deque<Line> m_lines; // in the file's order; done ones at the front are let go
    qint64 m_waiting = 0;
    qint64 m_waitingBytes = 0;
    std::vector<Entry> m_loaded;
    QString m_error;
};
