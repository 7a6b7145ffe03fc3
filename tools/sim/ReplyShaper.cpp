#include "ReplyShaper.h"

#include "SimReport.h"

#include <algorithm>
#include <string_view>

namespace qsrsim {

namespace {

constexpr std::chrono::milliseconds floodTick{10}; // flood writes a burst this often
constexpr std::size_t floodBurstUnpaced = 16;      // ~1600 characters a second
constexpr std::string_view strayBytes = "#~";
constexpr std::string_view floodPattern = "0123456789";

} // namespace

ReplyShaper::ReplyShaper(const Options &options, OutputLine &line)
    : m_line(line), m_fault(options.fault), m_stopAfter(options.stopAfter), m_delay(options.delay),
      m_splitGap(options.splitGap), m_baud(options.baud)
{
}

void ReplyShaper::answer(std::string reply, Clock::time_point now)
{
    const Fault fault = m_fault;
    if (fault == Fault::Silent)
        return;
    if (m_stopAfter && m_readsAnswered >= *m_stopAfter)
        return;
    ++m_readsAnswered;

    switch (fault) {
    case Fault::NonNumber:
        reply = "ERR\r";
        break;
    case Fault::Lf:
        reply += "\r\n";
        break;
    case Fault::NoCr:
        break;
    case Fault::Stray:
        reply = std::string(strayBytes) + reply + "\r";
        break;
    default:
        reply += "\r";
        break;
    }
    if (fault == Fault::OneChar)
        reply.resize(1);

    const Clock::time_point due = now + m_delay;
    bool queued = true;
    if (fault == Fault::Split && reply.size() > 2) {
        queued = m_line.enqueue(reply.substr(0, 2), due) &&
                 m_line.enqueue(reply.substr(2), due + m_splitGap);
    } else {
        queued = m_line.enqueue(reply, due);
    }
    if (!queued)
        report("output queue full, reply dropped");
    if (fault == Fault::Flood && !m_flooding) {
        m_flooding = true;
        m_nextFlood = due;
    }
}

void ReplyShaper::setFault(Fault fault)
{
    m_fault = fault;
    if (fault != Fault::Flood)
        m_flooding = false;
}

std::optional<Clock::time_point> ReplyShaper::serviceFlood(Clock::time_point now)
{
    if (!m_flooding || m_fault != Fault::Flood) {
        m_flooding = false;
        return std::nullopt;
    }
    if (now < m_nextFlood || !m_line.isIdle())
        return m_nextFlood;
    std::size_t burst = floodBurstUnpaced;
    if (m_baud > 0)
        burst = std::max<std::size_t>(1, static_cast<std::size_t>(m_baud) / 1000);
    std::string bytes;
    for (std::size_t i = 0; i < burst; ++i)
        bytes.push_back(floodPattern[m_floodPosition++ % floodPattern.size()]);
    m_line.writeOrDrop(bytes);
    m_nextFlood = now + floodTick;
    return m_nextFlood;
}

} // namespace qsrsim
