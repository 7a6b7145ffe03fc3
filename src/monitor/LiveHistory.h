#pragma once

#include "monitor/TrendSeries.h"
#include "serial/ShareProtocol.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>

#include <utility>
#include <vector>

class Monitor;

// What the monitors received in this run, for the Trend window: each reading becomes a
// point, and each stop of polling, failed poll and loss of the instrument a break, so that
// the line never bridges a time without data. It outlives the monitors it follows (the
// Main window's monitor goes with its window at a change of language). A monitor attached
// to a logger brings that logger's history first.
class LiveHistory : public QObject {
    Q_OBJECT
public:
    explicit LiveHistory(qsizetype capacity = TrendSeries::liveCapacity, QObject *parent = nullptr);

    const TrendSeries &series() const { return m_series; }

    // Takes `monitor`'s readings, stops and losses from now on, for as long as it lives.
    void follow(Monitor &monitor);

    void addReading(const QDateTime &at, const QByteArray &reply);
    // No data from the last point until the next reading.
    void addBreak(const QDateTime &at);

Q_SIGNALS:
    // The history holds something new.
    void changed();

private:
    void tell(quint64 revisionBefore);
    // Attached to a logger: what it kept since our last point comes first, then the
    // readings that arrived meanwhile, so the history stays in time order.
    void takeHistory(const ShareProtocol::HistoryChunk &chunk);
    void flushWaiting();

    TrendSeries m_series;
    bool m_awaitingHistory = false;
    std::vector<std::pair<QDateTime, QByteArray>> m_waiting; // readings meanwhile
};
