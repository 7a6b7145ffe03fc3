#include "SimInstrument.h"

#include <charconv>
#include <cstdio>
#include <string_view>

namespace qsrsim {

namespace {

constexpr std::string_view letters = "PHLAMGEZDBCJNO"; // one per parameter; M covers both digits

} // namespace

std::string SimInstrument::describeByte(char byte)
{
    const auto u = static_cast<unsigned char>(byte);
    char text[16];
    if (u >= 0x21 && u < 0x7f)
        std::snprintf(text, sizeof text, "'%c'", byte);
    else
        std::snprintf(text, sizeof text, "0x%02x", u);
    return text;
}

namespace {

bool parseInteger(std::string_view text, long long &out)
{
    if (text.empty())
        return false;
    const char *end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end;
}

} // namespace

SimInstrument::SimInstrument(const Parameters &parameters, MeasuredValue measuredValue,
                             Report report)
    : m_parameters(parameters), m_measuredValue(std::move(measuredValue)),
      m_report(std::move(report))
{
}

int SimInstrument::parameterIndex(char letter)
{
    if (letter >= 'a' && letter <= 'z')
        letter = static_cast<char>(letter - 'a' + 'A');
    const auto pos = letters.find(letter);
    if (pos == std::string_view::npos)
        return -1;
    // Letters after M sit one field further on, since M covers mode1 and mode2.
    return static_cast<int>(pos) > mode1Index ? static_cast<int>(pos) + 1 : static_cast<int>(pos);
}

std::optional<std::string> SimInstrument::feed(char byte)
{
    if (m_write) {
        if (byte == '\r') {
            finishWrite();
            return std::nullopt;
        }
        const bool valueChar = (byte >= '0' && byte <= '9') || byte == '-' || byte == '.';
        if (valueChar && m_write->size() < maxWriteLength) {
            m_write->push_back(byte);
            return std::nullopt;
        }
        // A letter starts the next request; the unfinished write is lost, as on the real line.
        abandonWrite(valueChar ? "too long" : "interrupted");
        if (!valueChar)
            return feed(byte);
        return std::nullopt;
    }

    if (byte >= 'a' && byte <= 'z') {
        m_write = std::string(1, byte);
        return std::nullopt;
    }
    if (byte == 'R' || (byte >= 'A' && byte <= 'Z' && parameterIndex(byte) >= 0))
        return readReply(byte);
    m_report("ignored byte " + describeByte(byte));
    return std::nullopt;
}

std::string SimInstrument::readReply(char letter) const
{
    if (letter == 'R')
        return m_measuredValue();
    if (letter == 'M')
        return std::to_string(m_parameters[mode1Index]) + std::to_string(m_parameters[mode2Index]);
    return std::to_string(m_parameters[parameterIndex(letter)]);
}

void SimInstrument::finishWrite()
{
    const std::string request = *m_write;
    m_write.reset();
    const char letter = request.front();
    const std::string_view value = std::string_view(request).substr(1);
    const int index = parameterIndex(letter);
    if (index < 0) {
        m_report("ignored write to unknown letter " + describeByte(letter));
        return;
    }
    if (letter == 'm') {
        const auto dot = value.find('.');
        long long first = 0;
        long long second = 0;
        if (dot == std::string_view::npos || !parseInteger(value.substr(0, dot), first) ||
            !parseInteger(value.substr(dot + 1), second) || first < 0 || second < 0 ||
            !parameterFits(mode1Index, first) || !parameterFits(mode2Index, second)) {
            m_report("ignored malformed MODE write \"" + request + "\"");
            return;
        }
        m_parameters[mode1Index] = first;
        m_parameters[mode2Index] = second;
        return;
    }
    long long v = 0;
    if (!parseInteger(value, v) || !parameterFits(index, v)) {
        m_report("ignored malformed or out-of-range write \"" + request + "\"");
        return;
    }
    m_parameters[index] = v;
}

void SimInstrument::abandonWrite(const char *why)
{
    m_report("dropped unfinished write \"" + *m_write + "\" (" + why + ")");
    m_write.reset();
}

} // namespace qsrsim
