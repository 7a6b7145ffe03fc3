#pragma once

#include "SimOptions.h"

#include <functional>
#include <optional>
#include <string>

namespace qsrsim {

// The instrument's side of the command protocol. Received bytes go in one at a time; a complete
// read request yields the reply text (without its terminator), a complete write request stores
// its value. Nothing here touches a descriptor or a clock.
class SimInstrument {
public:
    using MeasuredValue = std::function<std::string()>;      // text of the "R" reply
    using Report = std::function<void(const std::string &)>; // one diagnostic line

    SimInstrument(const Parameters &parameters, MeasuredValue measuredValue, Report report);

    // Feeds one received byte; returns the reply text when it completes a known read request.
    std::optional<std::string> feed(char byte);

    const Parameters &parameters() const { return m_parameters; }

    // Parameter index for a read or write letter (either case), or -1; "M"/"m" gives mode1's.
    static int parameterIndex(char letter);
    // A byte for a diagnostic line: 'P' when printable, 0x0d otherwise.
    static std::string describeByte(char byte);

private:
    void finishWrite();
    void abandonWrite(const char *why);
    std::string readReply(char letter) const;

    static constexpr std::size_t maxWriteLength = 32; // "m" + two 16-bit texts fits easily
    static constexpr int mode1Index = 4;
    static constexpr int mode2Index = 5;

    Parameters m_parameters;
    MeasuredValue m_measuredValue;
    Report m_report;
    std::optional<std::string> m_write; // the write request being received, letter first
};

} // namespace qsrsim
