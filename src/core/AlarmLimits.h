#pragma once

#include <QString>

#include <optional>

struct ProgramFolder;

// The operator's tolerance for the measured value (Trend window): a value above `high` or
// below `low` is outside. Either limit may be unset; a value equal to a limit is inside.
struct AlarmLimits {
    std::optional<double> high, low;

    bool isSet() const { return high || low; }
    bool isOutside(double value) const { return (high && value > *high) || (low && value < *low); }
    bool operator==(const AlarmLimits &) const = default;
};

// The limits in the preferences file (qsrlink.ini, beside the options), group [trend]:
//   [trend]
//   high_limit=12.5
//   low_limit=
// An empty or missing key is an unset limit, and so is anything that is not a number; a
// missing or damaged file sets neither.
namespace LimitsFile {
AlarmLimits load(const QString &path);
// Writes both keys, keeping every other key of the file; false with the path and the
// system's reason in `error`, the old file unchanged.
bool save(const QString &path, const AlarmLimits &limits, QString *error);
} // namespace LimitsFile

// A limit as the operator types and reads it: a plain decimal number ("12.5", "-0.003"),
// or empty for none. Nothing when the text is neither.
std::optional<std::optional<double>> parseLimit(const QString &text);
QString limitText(const std::optional<double> &limit);
