#include "monitor/LiveHistory.h"

#include "monitor/Monitor.h"

#include <cmath>
#include <limits>

LiveHistory::LiveHistory(qsizetype capacity, QObject *parent) : QObject(parent), m_series(capacity)
{
}

void LiveHistory::follow(Monitor &monitor)
{
    connect(&monitor, &Monitor::reading, this, &LiveHistory::addReading);
    connect(&monitor, &Monitor::stopped, this, &LiveHistory::addBreak);
    connect(&monitor, &Monitor::instrumentLost, this,
            [this](const QDateTime &since) { addBreak(since); });
    connect(&monitor, &Monitor::attached, this, [this, m = &monitor] {
        m_awaitingHistory = true;
        const qint64 last = m_series.isEmpty() ? 0 : m_series.at(m_series.size() - 1).ms + 1;
        m->requestHistory(last);
    });
    connect(&monitor, &Monitor::historyChunk, this, &LiveHistory::takeHistory);
    connect(&monitor, &Monitor::detached, this, &LiveHistory::flushWaiting);
}

void LiveHistory::takeHistory(const ShareProtocol::HistoryChunk &chunk)
{
    if (!m_awaitingHistory)
        return;
    const quint64 before = m_series.revision();
    for (const ShareProtocol::Point &p : chunk.points) {
        if (std::isnan(p.value))
            m_series.addBreak(p.ms);
        else if (std::isinf(p.value))
            m_series.addNotNumber(p.ms);
        else
            m_series.addValue(p.ms, p.value);
    }
    tell(before);
    if (!chunk.more)
        flushWaiting();
}

void LiveHistory::flushWaiting()
{
    m_awaitingHistory = false;
    const qint64 last = m_series.isEmpty() ? std::numeric_limits<qint64>::min()
                                           : m_series.at(m_series.size() - 1).ms;
    for (const auto &[at, reply] : std::exchange(m_waiting, {}))
        if (at.toMSecsSinceEpoch() > last) // the logger's history had it already
            addReading(at, reply);
}

void LiveHistory::addReading(const QDateTime &at, const QByteArray &reply)
{
    if (m_awaitingHistory) {
        m_waiting.emplace_back(at, reply);
        return;
    }
    const quint64 before = m_series.revision();
    m_series.addReply(at.toMSecsSinceEpoch(), reply);
    tell(before);
}

void LiveHistory::addBreak(const QDateTime &at)
{
    const quint64 before = m_series.revision();
    m_series.addBreak(at.toMSecsSinceEpoch());
    tell(before);
}

void LiveHistory::tell(quint64 revisionBefore)
{
    if (m_series.revision() != revisionBefore)
        Q_EMIT changed();
}
