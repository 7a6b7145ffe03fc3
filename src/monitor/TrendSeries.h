#pragma once

#include "core/AlarmLimits.h"

#include <QByteArray>
#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

// A measured value's history in time order: each point is a number, a reply that was not a
// number, or a break (no data from the point before it to the point after it: polling
// stopped or polls failed). Times are milliseconds since the epoch (UTC).
//
// The live history is a ring: beyond its capacity the oldest point drops out first. A point
// is 16 bytes, so 7 days at 1 s take under 10 MB.
class TrendSeries {
public:
    struct Point {
        qint64 ms;
        double value; // a number; NaN for a break, +infinity for a reply that was no number

        bool isNumber() const { return std::isfinite(value); }
        bool isBreak() const { return std::isnan(value); }
        bool isNotNumber() const { return std::isinf(value); }
    };
    static constexpr double breakMark = std::numeric_limits<double>::quiet_NaN();
    static constexpr double notNumberMark = std::numeric_limits<double>::infinity();

    static constexpr qsizetype liveCapacity = 7 * 24 * 3600; // 7 days at 1 s

    // capacity 0: unbounded (a log file opened for review).
    explicit TrendSeries(qsizetype capacity = liveCapacity) : m_capacity(capacity) {}

    // A point at `ms`; a time before the last point's (the clock was set back) is taken as
    // the last point's, so that the history stays in order.
    void addValue(qint64 ms, double value) { add({ms, value}); }
    void addNotNumber(qint64 ms) { add({ms, notNumberMark}); }
    // A break; none at the start or after another break.
    void addBreak(qint64 ms);
    // A reply as the instrument sent it: a number when it reads as one, terminator and
    // blanks aside; counted as no number otherwise.
    void addReply(qint64 ms, const QByteArray &reply);
    void clear();

    qsizetype size() const { return qsizetype(m_points.size()); }
    bool isEmpty() const { return m_points.empty(); }
    const Point &at(qsizetype i) const { return m_points[size_t((m_first + i) % m_points.size())]; }
    // The first point at or after `ms` (size() when none).
    qsizetype lowerBound(qint64 ms) const;
    // Points that dropped out of the ring so far.
    qint64 dropped() const { return m_dropped; }
    // Grows with every point added: a view can tell whether it is up to date.
    quint64 revision() const { return m_revision; }
    // The latest point that is a number.
    std::optional<Point> latestNumber() const;
    // The most digits after the decimal point among the replies that were numbers: what
    // the values are shown with. -1 while unknown (no reply yet, or values added as such).
    int decimals() const { return m_decimals; }
    void noteDecimals(int decimals) { m_decimals = std::max(m_decimals, decimals); }

private:
    void add(const Point &point);

    qsizetype m_capacity;
    std::vector<Point> m_points;
    size_t m_first = 0; // index of the oldest point once the ring is full
    qint64 m_dropped = 0;
    quint64 m_revision = 0;
    int m_decimals = -1;
};

// Statistics of the numbers in a span: count, minimum, maximum, mean and standard
// deviation (Welford's running form, stable for a large offset with a small scatter), the
// latest number, the replies that were no number, and how many values and how long in
// total were outside the alarm limits. A value outside counts the time until the next
// reading (not across a break).
struct TrendStats {
    qint64 count = 0;
    double minimum = 0, maximum = 0, mean = 0;
    double latest = 0;
    qint64 latestMs = 0;
    qint64 notNumbers = 0;
    qint64 outsideCount = 0;
    qint64 outsideMs = 0;

    void add(qint64 ms, double value);
    // Sample standard deviation (n - 1); none below two values.
    std::optional<double> standardDeviation() const;

private:
    double m_sumSquares = 0; // of the differences from the running mean
};

namespace Trend {

// Statistics of the points with from <= time <= to.
TrendStats summarize(const TrendSeries &series, qint64 from, qint64 to, const AlarmLimits &limits);

// What to draw of [from, to] across `columns` pixel columns: per column the minimum and the
// maximum (in time order) of each stretch of numbers, breaks where the data breaks, and
// the points just outside the span so the line runs to the edges. Stretches after a
// column's first break merge (with their latest number, so no line leaves the column from
// before a break): at most seven points per column, however many the span holds. Breaks
// come out as points whose isBreak() is true; replies that were no number are left out.
std::vector<TrendSeries::Point> reduce(const TrendSeries &series, qint64 from, qint64 to,
                                       int columns);

} // namespace Trend
