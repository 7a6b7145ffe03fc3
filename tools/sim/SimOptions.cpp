#include "SimOptions.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace qsrsim {

namespace {

constexpr std::array<std::pair<std::string_view, Fault>, 9> faultNames{{
    {"none", Fault::None},
    {"silent", Fault::Silent},
    {"one-char", Fault::OneChar},
    {"split", Fault::Split},
    {"non-number", Fault::NonNumber},
    {"flood", Fault::Flood},
    {"stray", Fault::Stray},
    {"lf", Fault::Lf},
    {"no-cr", Fault::NoCr},
}};

constexpr std::string_view usage =
    R"(Usage: qsr540-sim [OPTIONS]
Simulated QSR540 instrument on a pseudo-terminal. When ready it prints the
terminal's path (/dev/pts/N) on one line, then serves until SIGTERM or SIGINT.

Options:
  --link PATH          create the symbolic link PATH -> /dev/pts/N (an existing
                       link is replaced); removed again on exit
  --params LIST        the 15 initial parameters, comma-separated, in the order
                       senter,upper,under,ave,mode1,mode2,gain,henn,zero,syou,
                       hyou,erro,edg,soku,ziko
                       (default 1250,1300,1200,3,1,2,2,0,0,3,0,0,0,0,0)
  --value TEXT         fixed reply text for R instead of the changing value
  --centre X           centre of the changing R value (default 12.345)
  --amplitude X        swing of the changing R value, a sine of period 60 s
                       (default 0.5); replies carry 3 decimals
  --delay MS           wait MS milliseconds before each reply (default 0)
  --baud N             pace output at N baud, 10 bits a character
                       (default: unpaced)
  --fault KIND         misbehave as KIND (default none, see below)
  --split-gap MS       pause inside a split reply (default 150)
  --stop-after N       answer the first N read requests, then stay silent
  --log FILE           append every received byte, raw, to FILE
  --control FILE       on SIGUSR1, read a fault KIND (or none) from the first
                       line of FILE and switch to it; prints "fault KIND"
  --exit-with-parent   end when the parent process ends (for test harnesses)
  --verbose            report every request on stderr
  --help               show this text and exit

Fault kinds:
  none                 behave
  silent               read requests, never reply
  one-char             send only the first character of each reply
  split                send the first 2 characters, the rest after --split-gap
  non-number           reply ERR<CR> to every read request
  flood                after a read request, send the reply, then the digits
                       0123456789 over and over without end
  stray                send the junk bytes #~ (no CR) before each reply
  lf                   end replies with CR LF
  no-cr                send replies without any terminator

Protocol: an upper-case letter alone reads a value, the reply is its decimal
text and CR. A lower-case letter, the value and CR writes it (no reply);
m takes two digits separated by ".". Letters: P senter, H upper, L under,
A ave, M mode (reply: both digits' texts joined), G gain, E henn, Z zero,
D syou, B hyou, C erro, J edg, N soku, O ziko, R measured value (read only).
Anything else is ignored and reported on stderr.
)";

template <typename T> bool parseNumber(std::string_view text, T &out)
{
    if (text.empty())
        return false;
    const char *end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end;
}

bool parseDouble(std::string_view text, double &out)
{
    // from_chars for double is in g++ 12's library, and unlike strtod it ignores the locale.
    if (!parseNumber(text, out))
        return false;
    return std::isfinite(out);
}

bool parseMilliseconds(std::string_view text, std::chrono::milliseconds &out)
{
    long long ms = 0;
    if (!parseNumber(text, ms) || ms < 0 || ms > 3'600'000)
        return false;
    out = std::chrono::milliseconds(ms);
    return true;
}

bool parseParameters(std::string_view text, Parameters &out)
{
    Parameters values{};
    int count = 0;
    while (true) {
        const auto comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        if (count == parameterCount || !parseNumber(item, values[count]) ||
            !parameterFits(count, values[count]))
            return false;
        ++count;
        if (comma == std::string_view::npos)
            break;
        text.remove_prefix(comma + 1);
    }
    if (count != parameterCount)
        return false;
    out = values;
    return true;
}

} // namespace

std::optional<Fault> parseFault(std::string_view text)
{
    for (const auto &[name, fault] : faultNames) {
        if (name == text)
            return fault;
    }
    return std::nullopt;
}

std::string_view faultName(Fault fault)
{
    for (const auto &[name, f] : faultNames) {
        if (f == fault)
            return name;
    }
    return "none";
}

bool parameterFits(int index, long long value)
{
    if (index < 3)
        return value >= std::numeric_limits<std::int32_t>::min() &&
               value <= std::numeric_limits<std::int32_t>::max();
    return value >= std::numeric_limits<std::int16_t>::min() &&
           value <= std::numeric_limits<std::int16_t>::max();
}

std::string_view usageText()
{
    return usage;
}

ParseResult parseOptions(const std::vector<std::string_view> &args)
{
    ParseResult result;
    Options &o = result.options;
    auto fail = [&result](std::string message) {
        result.error = std::move(message);
        return result;
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view name = args[i];
        std::optional<std::string_view> inlineValue;
        if (const auto eq = name.find('=');
            name.starts_with("--") && eq != std::string_view::npos) {
            inlineValue = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        auto isFlag = [&](std::string_view flag) { return name == flag && !inlineValue; };
        if (isFlag("--help")) {
            o.help = true;
            continue;
        }
        if (isFlag("--verbose")) {
            o.verbose = true;
            continue;
        }
        if (isFlag("--exit-with-parent")) {
            o.exitWithParent = true;
            continue;
        }

        static constexpr std::array<std::string_view, 12> valued{
            "--link",  "--log",  "--control", "--value",     "--centre",     "--amplitude",
            "--delay", "--baud", "--fault",   "--split-gap", "--stop-after", "--params"};
        bool known = false;
        for (auto v : valued)
            known = known || v == name;
        if (!known)
            return fail("unknown option: " + std::string(args[i]));

        std::string_view value;
        if (inlineValue) {
            value = *inlineValue;
        } else {
            if (i + 1 >= args.size())
                return fail("option " + std::string(name) + " needs a value");
            value = args[++i];
        }
        const std::string bad = "bad value for " + std::string(name) + ": " + std::string(value);

        if (name == "--link") {
            if (value.empty())
                return fail(bad);
            o.linkPath = value;
        } else if (name == "--log") {
            if (value.empty())
                return fail(bad);
            o.logPath = value;
        } else if (name == "--control") {
            if (value.empty())
                return fail(bad);
            o.controlPath = value;
        } else if (name == "--value") {
            o.fixedValue = std::string(value);
        } else if (name == "--centre") {
            if (!parseDouble(value, o.centre))
                return fail(bad);
        } else if (name == "--amplitude") {
            if (!parseDouble(value, o.amplitude))
                return fail(bad);
        } else if (name == "--delay") {
            if (!parseMilliseconds(value, o.delay))
                return fail(bad);
        } else if (name == "--split-gap") {
            if (!parseMilliseconds(value, o.splitGap))
                return fail(bad);
        } else if (name == "--baud") {
            if (!parseNumber(value, o.baud) || o.baud < 10 || o.baud > 4'000'000)
                return fail(bad + " (10 to 4000000)");
        } else if (name == "--fault") {
            const auto fault = parseFault(value);
            if (!fault)
                return fail(bad + " (see --help for the kinds)");
            o.fault = *fault;
        } else if (name == "--stop-after") {
            long long n = 0;
            if (!parseNumber(value, n) || n < 0)
                return fail(bad);
            o.stopAfter = n;
        } else if (name == "--params") {
            if (!parseParameters(value, o.parameters))
                return fail(bad + " (15 integers; the first three 32-bit, the rest 16-bit)");
        }
    }
    return result;
}

} // namespace qsrsim
