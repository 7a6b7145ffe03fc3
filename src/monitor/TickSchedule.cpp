#include "monitor/TickSchedule.h"

using ms = std::chrono::milliseconds;

void TickSchedule::start(ms now, ms interval)
{
    m_interval = std::max(interval, ms(1));
    m_next = now + m_interval;
}

void TickSchedule::startAligned(ms now, ms interval, ms phase)
{
    start(now, interval);
    constexpr ms second{1000};
    const ms within =
        ms(((m_next - phase).count() % second.count() + second.count()) % second.count());
    if (within != ms(0))
        m_next += second - within;
}

int TickSchedule::advance(ms now)
{
    m_next += m_interval;
    int skipped = 0;
    while (m_next <= now) {
        m_next += m_interval;
        ++skipped;
    }
    return skipped;
}
