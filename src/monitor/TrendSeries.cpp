#include "monitor/TrendSeries.h"

#include "core/Numbers.h"

#include <algorithm>
#include <array>

void TrendSeries::add(const Point &point)
{
    Point p = point;
    if (!m_points.empty())
        p.ms = std::max(p.ms, at(size() - 1).ms);
    ++m_revision;
    if (m_capacity == 0 || size() < m_capacity) {
        m_points.push_back(p);
        return;
    }
    m_points[m_first] = p;
    m_first = (m_first + 1) % m_points.size();
    ++m_dropped;
}

void TrendSeries::addBreak(qint64 ms)
{
    if (!m_points.empty() && !at(size() - 1).isBreak())
        add({ms, breakMark});
}

void TrendSeries::addReply(qint64 ms, const QByteArray &reply)
{
    if (const auto value = Numbers::toReal(reply)) {
        addValue(ms, *value);
        noteDecimals(Numbers::decimals(reply));
    } else
        addNotNumber(ms);
}

void TrendSeries::clear()
{
    m_points.clear();
    m_first = 0;
    ++m_revision;
}

qsizetype TrendSeries::lowerBound(qint64 ms) const
{
    qsizetype lo = 0, hi = size();
    while (lo < hi) {
        const qsizetype mid = lo + (hi - lo) / 2;
        if (at(mid).ms < ms)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

std::optional<TrendSeries::Point> TrendSeries::latestNumber() const
{
    for (qsizetype i = size() - 1; i >= 0; --i)
        if (at(i).isNumber())
            return at(i);
    return std::nullopt;
}

void TrendStats::add(qint64 ms, double value)
{
    ++count;
    if (count == 1) {
        minimum = maximum = mean = value;
        m_sumSquares = 0;
    } else {
        minimum = std::min(minimum, value);
        maximum = std::max(maximum, value);
        const double delta = value - mean;
        mean += delta / double(count);
        m_sumSquares += delta * (value - mean);
    }
    latest = value;
    latestMs = ms;
}

std::optional<double> TrendStats::standardDeviation() const
{
    if (count < 2)
        return std::nullopt;
    return std::sqrt(std::max(0.0, m_sumSquares / double(count - 1)));
}

namespace Trend {

TrendStats summarize(const TrendSeries &series, qint64 from, qint64 to, const AlarmLimits &limits)
{
    TrendStats stats;
    const qsizetype end = series.lowerBound(to + 1);
    for (qsizetype i = series.lowerBound(from); i < end; ++i) {
        const TrendSeries::Point &p = series.at(i);
        if (p.isNotNumber()) {
            ++stats.notNumbers;
        } else if (p.isNumber()) {
            stats.add(p.ms, p.value);
            if (limits.isOutside(p.value)) {
                ++stats.outsideCount;
                if (i + 1 < end && !series.at(i + 1).isBreak())
                    stats.outsideMs += series.at(i + 1).ms - p.ms;
            }
        }
    }
    return stats;
}

namespace {

// Collects one column's stretch of numbers and hands on its extremes in time order.
class ColumnReducer {
public:
    explicit ColumnReducer(std::vector<TrendSeries::Point> &out) : m_out(out) {}

    void startColumn(qint64 column)
    {
        flush();
        m_column = column;
        m_brokeInColumn = false;
    }
    qint64 column() const { return m_column; }

    void number(const TrendSeries::Point &p)
    {
        // Later stretches within one column merge; the line leaving the column must then
        // start after the last break, so the column's latest number is drawn too.
        m_merged = m_merged || m_breakPending;
        m_breakPending = false;
        m_last = p;
        if (!m_have) {
            m_min = m_max = p;
            m_have = true;
            return;
        }
        if (p.value < m_min.value)
            m_min = p;
        if (p.value > m_max.value)
            m_max = p;
    }

    // The first break of a column is drawn; later ones within it only when nothing follows
    // them in the column, so a column never holds more than two stretches.
    void brk(qint64 ms)
    {
        if (m_brokeInColumn) {
            m_breakPending = true;
            m_breakMs = ms;
            return;
        }
        flush();
        emitBreak(ms);
        m_brokeInColumn = true;
    }

    void flush()
    {
        if (m_have) {
            std::array<TrendSeries::Point, 3> points{m_min, m_max, m_last};
            const auto count = m_merged ? points.size() : 2;
            std::sort(points.begin(), points.begin() + count,
                      [](const auto &a, const auto &b) { return a.ms < b.ms; });
            for (size_t i = 0; i < count; ++i)
                if (i == 0 || points[i].ms != points[i - 1].ms)
                    m_out.push_back(points[i]);
            m_have = false;
            m_merged = false;
        }
        if (m_breakPending)
            emitBreak(m_breakMs);
        m_breakPending = false;
    }

private:
    void emitBreak(qint64 ms)
    {
        if (!m_out.empty() && !m_out.back().isBreak())
            m_out.push_back({ms, TrendSeries::breakMark});
    }

    std::vector<TrendSeries::Point> &m_out;
    qint64 m_column = std::numeric_limits<qint64>::min();
    bool m_have = false;
    bool m_brokeInColumn = false;
    bool m_breakPending = false;
    bool m_merged = false; // the accumulation spans a break
    qint64 m_breakMs = 0;
    TrendSeries::Point m_min{}, m_max{}, m_last{};
};

} // namespace

std::vector<TrendSeries::Point> reduce(const TrendSeries &series, qint64 from, qint64 to,
                                       int columns)
{
    std::vector<TrendSeries::Point> out;
    if (series.isEmpty() || to <= from || columns <= 0)
        return out;
    // One point on each side beyond the span, so that the line reaches the edges.
    qsizetype begin = series.lowerBound(from);
    qsizetype end = series.lowerBound(to + 1);
    while (begin > 0 && series.at(begin - 1).isNotNumber())
        --begin;
    begin = std::max<qsizetype>(0, begin - 1);
    while (end < series.size() && series.at(end).isNotNumber())
        ++end;
    end = std::min(series.size(), end + 1);

    out.reserve(size_t(std::min<qsizetype>(end - begin, qsizetype(columns) * 7 + 8)));
    const double columnMs = double(to - from) / columns;
    ColumnReducer reducer(out);
    for (qsizetype i = begin; i < end; ++i) {
        const TrendSeries::Point &p = series.at(i);
        if (p.isNotNumber())
            continue;
        // Points beyond either edge get columns of their own.
        const qint64 column =
            p.ms < from ? -1
            : p.ms > to ? columns
                        : std::min<qint64>(columns - 1, qint64(double(p.ms - from) / columnMs));
        if (column != reducer.column())
            reducer.startColumn(column);
        if (p.isBreak())
            reducer.brk(p.ms);
        else
            reducer.number(p);
    }
    reducer.flush();
    while (!out.empty() && out.back().isBreak())
        out.pop_back();
    return out;
}

} // namespace Trend
