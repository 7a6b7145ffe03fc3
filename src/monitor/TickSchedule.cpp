#include "monitor/TickSchedule.h"

using ms = std::chrono::milliseconds;

void TickSchedule::start(ms now, ms interval)
{
    m_interval = std::max(interval, ms(1));
    m_next = now + m_interval;
}

namespace {
constexpr ms second{1000};
}

void TickSchedule::startAligned(ms now, ms interval, ms phase, ms offset)
{
    start(now, interval);
    const ms within = withinSecond(phase, offset);
    if (within != ms(0))
        m_next += second - within;
}

void TickSchedule::realign(ms phase, ms offset)
{
    const ms within = withinSecond(phase, offset);
    m_next += within <= second / 2 ? -within : second - within;
}

ms TickSchedule::withinSecond(ms phase, ms offset) const
{
    return ms(((m_next + offset - phase).count() % second.count() + second.count()) %
              second.count());
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
