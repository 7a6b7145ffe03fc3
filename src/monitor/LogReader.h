#pragma once

#include "monitor/LogReview.h"

#include <QFutureWatcher>
#include <QObject>
#include <QString>

#include <memory>

// Reads a measurement log for review on a worker thread, one file at a time, so that
// polling and the windows go on meanwhile; the outcome comes back on the owner's thread.
class LogReader : public QObject {
    Q_OBJECT
public:
    explicit LogReader(QObject *parent = nullptr);
    // Cancels a reading under way and waits for the worker to let go of the file.
    ~LogReader() override;

    // From start() until finished() or cancelled().
    bool isReading() const { return m_pending; }
    // False, and nothing started, while a reading runs.
    bool start(const QString &path);
    // The reading under way ends early and its outcome is dropped (cancelled() instead).
    void cancel();
    // After finished(): the file's history, handed over once.
    LogReview::Result takeResult();

Q_SIGNALS:
    void finished(const QString &path);
    void cancelled();

private:
    // Shared, so that handing the history over moves it rather than copying it.
    using Shared = std::shared_ptr<LogReview::Result>;
    QFutureWatcher<Shared> m_watcher;
    QString m_path;
    bool m_pending = false; // started, outcome not yet told
    bool m_dropped = false; // cancelled: the outcome is not wanted
};
