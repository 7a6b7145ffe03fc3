#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

// Spaces the refreshes of a live view so that drawing a long history never takes more than
// a small share of a core: after a refresh that cost t of processor time (until painted),
// the next one waits until `costShare` t have passed since it began, and never longer than
// `longestWaitMs`.
class RefreshPacer : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 costShare = 400; // at most 0.25 % of a core
    static constexpr qint64 longestWaitMs = 5000;

    // `refresh` redraws; `processorNs` reads the processor time this thread has used
    // (tests: a fake), the system's by default.
    explicit RefreshPacer(std::function<void()> refresh, std::function<qint64()> processorNs = {},
                          QObject *parent = nullptr);

    // How long a refresh waits after one that cost `costNs`, begun `sinceNs` ago.
    static qint64 waitMs(qint64 costNs, qint64 sinceNs);

    // Something changed: refreshes now, or once the wait is over (one refresh for any
    // number of changes meanwhile).
    void request();
    // The refresh that began last has been painted: its cost is known now.
    void painted();
    bool isWaiting() const { return m_due.isActive(); }

private:
    void refreshNow();

    std::function<void()> m_refresh;
    std::function<qint64()> m_processorNs;
    QTimer m_due;
    QElapsedTimer m_sinceRefresh;
    qint64 m_costNs = 0;
    qint64 m_startNs = -1; // processor time when the refresh began, until painted
};
