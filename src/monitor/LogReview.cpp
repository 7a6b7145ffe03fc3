#include "monitor/LogReview.h"

#include "core/Numbers.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>

#include <algorithm>

namespace {

qint64 offsetMsAt(qint64 utcMs)
{
    return QDateTime::fromMSecsSinceEpoch(utcMs).offsetFromUtc() * qint64(1000);
}

// An hour of local time and the zone's offsets from UTC around it. Local times are taken
// to UTC here rather than by the C library, whose choice in the hour repeated when summer
// time ends depends on the times converted before.
struct Hour {
    qint64 start;         // the hour's local start, in milliseconds as if it were UTC
    qint64 before, after; // the offsets 14 hours (the largest offset) before and after it

    static Hour at(const QDate &day, int hour)
    {
        constexpr qint64 msPerHour = 3'600'000;
        const qint64 start = QDateTime(day, QTime(hour, 0), Qt::UTC).toMSecsSinceEpoch();
        return {start, offsetMsAt(start - 14 * msPerHour), offsetMsAt(start + 15 * msPerHour)};
    }

    // A repeated time is its first occurrence; a skipped one moves on by the skip, as Qt
    // moves it.
    qint64 toUtc(qint64 local) const
    {
        if (before == after)
            return local - before;
        const qint64 first = local - before, second = local - after;
        if (offsetMsAt(first) == before)
            return offsetMsAt(second) == after ? std::min(first, second) : first;
        return offsetMsAt(second) == after ? second : first;
    }
};

// Splits the bytes into lines and each line into a record, whatever the chunks.
class Parser {
public:
    void feed(QByteArrayView chunk)
    {
        qsizetype start = 0;
        for (;;) {
            const qsizetype nl = chunk.indexOf('\n', start);
            if (nl < 0)
                break;
            if (m_carry.isEmpty()) {
                line(chunk.sliced(start, nl - start));
            } else {
                m_carry += chunk.sliced(start, nl - start);
                line(m_carry);
                m_carry.clear();
            }
            start = nl + 1;
        }
        m_carry += chunk.sliced(start);
    }

    LogReview::Result finish()
    {
        if (!m_carry.isEmpty())
            line(m_carry);
        m_carry.clear();
        LogReview::Result r;
        r.records = qint64(m_points.size()) + m_leftOut;
        r.damaged = m_damaged;
        r.firstDamagedLine = m_firstDamaged;
        r.leftOut = m_leftOut;
        const auto earlier = [](const auto &a, const auto &b) { return a.ms < b.ms; };
        if (!std::is_sorted(m_points.begin(), m_points.end(), earlier))
            std::stable_sort(m_points.begin(), m_points.end(), earlier);
        r.stepMs = usualStep();
        const double gapMs = 1.5 * double(r.stepMs);
        for (size_t i = 0; i < m_points.size(); ++i) {
            if (i > 0 && r.stepMs > 0 && double(m_points[i].ms - m_points[i - 1].ms) > gapMs)
                r.series.addBreak(m_points[i - 1].ms);
            r.series.addValue(m_points[i].ms, m_points[i].value);
        }
        r.series.noteDecimals(m_decimals);
        m_points = {};
        return r;
    }

private:
    void line(QByteArrayView text)
    {
        ++m_lineNumber;
        if (text.endsWith('\r'))
            text.chop(1);
        if (text.trimmed().isEmpty())
            return;
        const auto ms = timeOf(text);
        // "yyyymmdd","hhmmss","value": the value runs to the line's last quote.
        if (!ms || text.size() < 22 || text.sliced(18, 3) != QByteArrayView("\",\"") ||
            !text.endsWith('"')) {
            ++m_damaged;
            if (m_firstDamaged == 0)
                m_firstDamaged = m_lineNumber;
            return;
        }
        if (qint64(m_points.size()) >= LogReview::maxRecords) {
            ++m_leftOut;
            return;
        }
        const QByteArrayView number = text.sliced(21, text.size() - 22);
        const auto value = Numbers::toReal(number);
        m_points.push_back({*ms, value ? *value : TrendSeries::notNumberMark});
        if (value)
            m_decimals = std::max(m_decimals, Numbers::decimals(number));
    }

    static int digits(QByteArrayView text, qsizetype at, qsizetype count)
    {
        int n = 0;
        for (qsizetype i = at; i < at + count; ++i) {
            const char c = text[i];
            if (c < '0' || c > '9')
                return -1;
            n = n * 10 + (c - '0');
        }
        return n;
    }

    // The record's local date and time, from the line's first two fields.
    std::optional<qint64> timeOf(QByteArrayView t)
    {
        if (t.size() < 21 || t[0] != '"' || t.sliced(9, 3) != QByteArrayView("\",\""))
            return std::nullopt;
        const int date = digits(t, 1, 8);
        const int hour = digits(t, 12, 2), minute = digits(t, 14, 2), second = digits(t, 16, 2);
        if (date < 0 || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 ||
            second > 59)
            return std::nullopt;
        // Local time to UTC is costly; the zone's offsets around an hour serve every record
        // of that hour.
        const qint64 key = qint64(date) * 100 + hour;
        auto it = m_hours.constFind(key);
        if (it == m_hours.constEnd()) {
            const QDate day(date / 10000, date / 100 % 100, date % 100);
            if (!day.isValid())
                return std::nullopt;
            it = m_hours.insert(key, Hour::at(day, hour));
        }
        return it->toUtc(it->start + (minute * 60 + second) * qint64(1000));
    }

    // The median of the steps between records that differ in time.
    qint64 usualStep() const
    {
        std::vector<qint64> steps;
        steps.reserve(m_points.size());
        for (size_t i = 1; i < m_points.size(); ++i)
            if (const qint64 d = m_points[i].ms - m_points[i - 1].ms; d > 0)
                steps.push_back(d);
        if (steps.empty())
            return 0;
        const auto middle = steps.begin() + qsizetype(steps.size() / 2);
        std::nth_element(steps.begin(), middle, steps.end());
        return *middle;
    }

    QByteArray m_carry;
    std::vector<TrendSeries::Point> m_points;
    QHash<qint64, Hour> m_hours;
    qint64 m_lineNumber = 0;
    qint64 m_damaged = 0;
    qint64 m_firstDamaged = 0;
    qint64 m_leftOut = 0;
    int m_decimals = -1; // the most digits after the point among the numbers
};

} // namespace

namespace LogReview {

Result parse(QByteArrayView bytes)
{
    Parser parser;
    parser.feed(bytes);
    return parser.finish();
}

Result read(const QString &path, const std::function<bool()> &cancelled)
{
    QFile file(path);
    const auto failed = [&] {
        Result r;
        r.error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return r;
    };
    if (!file.open(QIODevice::ReadOnly))
        return failed();
    Parser parser;
    constexpr qint64 chunk = 4 << 20;
    QByteArray buffer(chunk, Qt::Uninitialized);
    for (;;) {
        const qint64 n = file.read(buffer.data(), chunk);
        if (n < 0)
            return failed();
        if (n == 0 || (cancelled && cancelled()))
            break;
        parser.feed(QByteArrayView(buffer.constData(), n));
    }
    return parser.finish();
}

} // namespace LogReview
