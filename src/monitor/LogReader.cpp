#include "monitor/LogReader.h"

#include <QPromise>
#include <QtConcurrent>

LogReader::LogReader(QObject *parent) : QObject(parent)
{
    connect(&m_watcher, &QFutureWatcherBase::finished, this, [this] {
        m_pending = false;
        if (m_dropped || m_watcher.isCanceled())
            Q_EMIT cancelled();
        else
            Q_EMIT finished(m_path);
    });
}

LogReader::~LogReader()
{
    if (m_pending) {
        m_watcher.cancel();
        m_watcher.waitForFinished();
    }
}

bool LogReader::start(const QString &path)
{
    if (isReading())
        return false;
    m_path = path;
    m_pending = true;
    m_dropped = false;
    m_watcher.setFuture(QtConcurrent::run([path](QPromise<Shared> &promise) {
        promise.addResult(std::make_shared<LogReview::Result>(
            LogReview::read(path, [&promise] { return promise.isCanceled(); })));
    }));
    return true;
}

void LogReader::cancel()
{
    if (!m_pending)
        return;
    m_dropped = true; // also when the worker is done and its outcome is on its way
    m_watcher.cancel();
}

LogReview::Result LogReader::takeResult()
{
    const QFuture<Shared> future = m_watcher.future();
    if (future.resultCount() == 0 || !future.result())
        return {};
    return std::move(*future.result()); // nothing of it stays behind
}
