#pragma once

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qsrsim {

// Ways the simulated instrument can misbehave, for tests and training.
enum class Fault { None, Silent, OneChar, Split, NonNumber, Flood, Stray, Lf, NoCr };

std::optional<Fault> parseFault(std::string_view text);
std::string_view faultName(Fault fault);

constexpr int parameterCount = 15;
using Parameters = std::array<long long, parameterCount>;

// senter, upper, under, ave, mode1, mode2, gain, henn, zero, syou, hyou, erro, edg, soku, ziko
constexpr Parameters defaultParameters{1250, 1300, 1200, 3, 1, 2, 2, 0, 0, 3, 0, 0, 0, 0, 0};

constexpr std::chrono::milliseconds defaultSplitGap{150};

struct Options {
    std::string linkPath;                  // empty: no link
    std::string logPath;                   // empty: received bytes are not recorded
    std::string controlPath;               // empty: SIGUSR1 is ignored
    std::optional<std::string> fixedValue; // "R" reply text instead of the changing value
    Parameters parameters = defaultParameters;
    double centre = 12.345; // changing "R" value: centre + amplitude * sin(2 pi t / 60 s)
    double amplitude = 0.5;
    std::chrono::milliseconds delay{0};
    std::chrono::milliseconds splitGap = defaultSplitGap;
    long baud = 0; // 0: output unpaced
    Fault fault = Fault::None;
    std::optional<long long> stopAfter; // read requests answered before going silent
    bool exitWithParent = false;
    bool verbose = false;
    bool help = false;
};

struct ParseResult {
    Options options;
    std::string error; // empty when the arguments were valid
};

ParseResult parseOptions(const std::vector<std::string_view> &args);
// Range check shared by --params and the write requests: the first three are 32-bit, the rest
// 16-bit.
bool parameterFits(int index, long long value);
std::string_view usageText();

} // namespace qsrsim
