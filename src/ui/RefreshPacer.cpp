#include "ui/RefreshPacer.h"

#include <algorithm>
#include <ctime>

namespace {

// The processor time this thread has used, or where the system cannot tell, the time.
qint64 threadProcessorNs()
{
#ifdef CLOCK_THREAD_CPUTIME_ID
    timespec t{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) == 0)
        return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
#endif
    static QElapsedTimer since;
    if (!since.isValid())
        since.start();
    return since.nsecsElapsed();
}

} // namespace

RefreshPacer::RefreshPacer(std::function<void()> refresh, std::function<qint64()> processorNs,
                           QObject *parent)
    : QObject(parent), m_refresh(std::move(refresh)),
      m_processorNs(processorNs ? std::move(processorNs) : threadProcessorNs)
{
    m_due.setSingleShot(true);
    connect(&m_due, &QTimer::timeout, this, &RefreshPacer::refreshNow);
}

qint64 RefreshPacer::waitMs(qint64 costNs, qint64 sinceNs)
{
    return std::clamp((costNs * costShare - sinceNs) / 1'000'000, qint64(0), longestWaitMs);
}

void RefreshPacer::request()
{
    if (m_due.isActive())
        return;
    const qint64 wait =
        m_sinceRefresh.isValid() ? waitMs(m_costNs, m_sinceRefresh.nsecsElapsed()) : 0;
    if (wait == 0)
        refreshNow();
    else
        m_due.start(int(wait));
}

void RefreshPacer::painted()
{
    if (m_startNs >= 0)
        m_costNs = m_processorNs() - m_startNs;
    m_startNs = -1;
}

void RefreshPacer::refreshNow()
{
    m_startNs = m_processorNs();
    m_refresh();
    m_sinceRefresh.start();
}
