#pragma once

#include "core/AlarmLimits.h"
#include "monitor/TrendSeries.h"

#include <QtGlobal>

#include <vector>

// The chart's axes, as pure functions of what is in view: round figures on the value axis
// and round local times on the time axis.
namespace Trend {

struct ValueScale {
    double low = 0, high = 1; // round figures, a whole number of steps apart
    double step = 0.2;
    int ticks() const;
};

// The value axis for the numbers among `points` with from <= time <= to, and the limits
// whenever they are set: a margin around them, widened to steps of 1, 2 or 5 times a power
// of ten, about `targetTicks` of them. Nothing in view: 0 to 1.
ValueScale valueScale(const std::vector<TrendSeries::Point> &points, qint64 from, qint64 to,
                      const AlarmLimits &limits, int targetTicks);

// The step between two time ticks: the shortest of 1, 2, 5, 10, 15, 30 seconds or minutes,
// 1, 2, 3, 6, 12 hours, or a whole number of days, that puts at most `maxTicks` into
// `lengthMs`.
qint64 timeStepMs(qint64 lengthMs, int maxTicks);

// The ticks in [from, to] for `timeStepMs`: local times that are whole multiples of the step
// since local midnight (days: since the first of the Julian days), in order. Times that the
// local clock skips or repeats give no second tick.
std::vector<qint64> timeTicks(qint64 from, qint64 to, int maxTicks);

} // namespace Trend
