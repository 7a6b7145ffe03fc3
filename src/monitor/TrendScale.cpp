#include "monitor/TrendScale.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr qint64 second = 1000, minute = 60 * second, hour = 60 * minute, day = 24 * hour;
constexpr qint64 dayParts[] = {second,      2 * second,  5 * second, 10 * second, 15 * second,
                               30 * second, minute,      2 * minute, 5 * minute,  10 * minute,
                               15 * minute, 30 * minute, hour,       2 * hour,    3 * hour,
                               6 * hour,    12 * hour,   day};

// 1, 2 or 5 times a power of ten, the least of them at or above `step`.
double roundStep(double step)
{
    const double power = std::pow(10.0, std::floor(std::log10(step)));
    for (const double m : {1.0, 2.0, 5.0})
        if (m * power >= step * (1 - 1e-9))
            return m * power;
    return 10 * power;
}

qint64 offsetMs(qint64 utcMs)
{
    return QDateTime::fromMSecsSinceEpoch(utcMs).offsetFromUtc() * second;
}

} // namespace

namespace Trend {

int ValueScale::ticks() const
{
    return int(std::lround((high - low) / step)) + 1;
}

ValueScale valueScale(const std::vector<TrendSeries::Point> &points, qint64 from, qint64 to,
                      const AlarmLimits &limits, int targetTicks)
{
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (const auto &p : points)
        if (p.isNumber() && p.ms >= from && p.ms <= to) {
            low = std::min(low, p.value);
            high = std::max(high, p.value);
        }
    for (const auto &limit : {limits.high, limits.low})
        if (limit) {
            low = std::min(low, *limit);
            high = std::max(high, *limit);
        }
    if (low > high)
        return {};
    const double pad = low == high ? std::max(std::abs(low) * 0.01, 0.001) : (high - low) * 0.05;
    low -= pad;
    high += pad;
    const double step = roundStep((high - low) / std::max(1, targetTicks - 1));
    return {std::floor(low / step) * step, std::ceil(high / step) * step, step};
}

qint64 timeStepMs(qint64 lengthMs, int maxTicks)
{
    const qint64 most = std::max(1, maxTicks);
    for (const qint64 step : dayParts)
        if (lengthMs / step <= most)
            return step;
    const qint64 days = (lengthMs / day + most - 1) / most;
    return qint64(roundStep(double(days))) * day;
}

std::vector<qint64> timeTicks(qint64 from, qint64 to, int maxTicks)
{
    std::vector<qint64> ticks;
    if (to < from)
        return ticks;
    const qint64 step = timeStepMs(to - from, maxTicks);
    const auto take = [&](const QDate &date, const QTime &time) {
        const qint64 ms = QDateTime(date, time).toMSecsSinceEpoch();
        // A time the clock skips reads back as another; a repeated one would go back.
        if (QDateTime::fromMSecsSinceEpoch(ms).time() == time && ms >= from && ms <= to &&
            (ticks.empty() || ms > ticks.back()))
            ticks.push_back(ms);
        return ms;
    };
    QDate date = QDateTime::fromMSecsSinceEpoch(from).date().addDays(-1); // a step may start there
    const QDate last = QDateTime::fromMSecsSinceEpoch(to).date();
    if (step >= day) {
        const qint64 days = step / day;
        for (date = date.addDays((days - date.toJulianDay() % days) % days); date <= last;
             date = date.addDays(days))
            take(date, QTime(0, 0));
        return ticks;
    }
    for (; date <= last; date = date.addDays(1))
        for (qint64 t = 0; t < day; t += step) {
            const qint64 ms = take(date, QTime::fromMSecsSinceStartOfDay(int(t)));
            if (ms > to)
                break;
            if (ms < from) { // on to just before `from`, in local time, in one go
                const qint64 wallGap = from + offsetMs(from) - (ms + offsetMs(ms));
                t = std::max(t, (t + wallGap) / step * step - step);
            }
        }
    return ticks;
}

} // namespace Trend
