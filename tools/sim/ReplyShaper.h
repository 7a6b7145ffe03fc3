#pragma once

#include "OutputLine.h"
#include "SimOptions.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace qsrsim {

// Turns each read request's reply into what the current fault kind sends, and when: terminator,
// cut, split, junk, --delay and --stop-after, and the endless flood after a reply. Queues on the
// output line it is given, which it does not own and which must outlive it.
class ReplyShaper {
public:
    ReplyShaper(const Options &options, OutputLine &line);

    // reply: the instrument's text without terminator; now: when its request arrived.
    void answer(std::string reply, Clock::time_point now);
    // A fault kind switched at run time; a flood stops unless the kind is still flood.
    void setFault(Fault fault);

    // Sends a flood burst when one is due. Returns when it next wants to run, or nullopt when
    // not flooding.
    std::optional<Clock::time_point> serviceFlood(Clock::time_point now);

private:
    OutputLine &m_line;
    Fault m_fault;
    std::optional<long long> m_stopAfter; // read requests answered before going silent
    std::chrono::milliseconds m_delay;    // before each reply
    std::chrono::milliseconds m_splitGap; // inside a split reply
    long m_baud;                          // 0: unpaced
    long long m_readsAnswered = 0;
    bool m_flooding = false;
    std::size_t m_floodPosition = 0;
    Clock::time_point m_nextFlood{};
};

} // namespace qsrsim
