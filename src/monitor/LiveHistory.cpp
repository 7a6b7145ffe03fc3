#include "monitor/LiveHistory.h"

#include "monitor/Monitor.h"

LiveHistory::LiveHistory(qsizetype capacity, QObject *parent) : QObject(parent), m_series(capacity)
{
}

void LiveHistory::follow(const Monitor &monitor)
{
    connect(&monitor, &Monitor::reading, this, &LiveHistory::addReading);
    connect(&monitor, &Monitor::stopped, this, &LiveHistory::addBreak);
    connect(&monitor, &Monitor::instrumentLost, this,
            [this](const QDateTime &since) { addBreak(since); });
}

void LiveHistory::addReading(const QDateTime &at, const QByteArray &reply)
{
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
