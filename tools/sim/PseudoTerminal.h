#pragma once

#include "OutputLine.h" // Clock

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace qsrsim {

// The pseudo-terminal a client opens as its serial port. Owns the master descriptor (ours to read
// and write), a descriptor of its own on the slave side, and the symbolic link if one was made;
// the destructor releases all three. Failures are reported on stderr.
class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    // Creates the pair: the slave raw at 9600 baud, the master non-blocking.
    bool open();
    // Points path at the slave, replacing a link an earlier run left; an empty path makes none.
    bool createLink(const std::string &path);

    const std::string &slavePath() const { return m_slavePath; }
    // For polling and for the output line; it stays owned here.
    int master() const { return m_master; }

    // Reads what the client sent into buffer; returns the byte count, 0 once nothing is waiting
    // or after a read error (which also starts a back-off).
    std::size_t read(char *buffer, std::size_t size, Clock::time_point now);
    // The master polled as hung up or in error: leave it alone for a while.
    void backOff(Clock::time_point now);
    // When the back-off ends, while it lasts; nullopt when the master may be polled.
    std::optional<Clock::time_point> quietUntil(Clock::time_point now) const;

private:
    void removeLink();

    static constexpr std::chrono::milliseconds hangUpBackoff{50};

    int m_master = -1;
    int m_slave = -1; // held for our whole life so client closes never hang up the master
    std::string m_slavePath;
    std::string m_linkPath; // empty until we have made the link
    Clock::time_point m_quietUntil{};
};

} // namespace qsrsim
