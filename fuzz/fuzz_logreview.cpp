// The Trend window's log reader on arbitrary bytes: every line is a record, a damaged line
// or blank; the history is in time order; each record stands at the time its line says; and
// the records written back as the logger writes them read back as the same history.

#include "FuzzCheck.h"

#include "monitor/LogRecord.h"
#include "monitor/LogReview.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QLocale>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ctime>

namespace {

// A zone with summer time and old local mean time, the same on every machine.
const bool zoneSet = [] {
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    return true;
}();

QList<QByteArray> linesOf(const QByteArray &bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    if (lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

bool sameHistory(const TrendSeries &a, const TrendSeries &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const TrendSeries::Point &p = a.at(i), &q = b.at(i);
        const bool same = p.isBreak() ? q.isBreak() : p.value == q.value;
        if (p.ms != q.ms || !same)
            return false;
    }
    return true;
}

// A record stands at the local time its line gives; only a time the clocks skipped moves,
// as Qt moves it, by at most an hour.
void checkTimeOf(const QByteArray &line)
{
    const LogReview::Result one = LogReview::parse(line);
    if (one.records != 1)
        return;
    const QDate day = QDate::fromString(QString::fromLatin1(line.mid(1, 8)), u"yyyyMMdd");
    const QTime time = QTime::fromString(QString::fromLatin1(line.mid(12, 6)), u"HHmmss");
    FUZZ_CHECK(day.isValid() && time.isValid());
    const QDateTime read = QDateTime::fromMSecsSinceEpoch(one.series.at(0).ms);
    const qint64 moved =
        QDateTime(day, time, Qt::UTC).secsTo(QDateTime(read.date(), read.time(), Qt::UTC));
    if (QDateTime(day, time).isValid())
        FUZZ_CHECK(moved == 0);
    else
        FUZZ_CHECK(moved >= -3600 && moved <= 3600);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FUZZ_CHECK(zoneSet);
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const LogReview::Result r = LogReview::parse(bytes);
    FUZZ_CHECK(r.error.isEmpty());
    FUZZ_CHECK(r.leftOut == 0);

    const QList<QByteArray> lines = linesOf(bytes);
    qint64 blank = 0;
    for (const QByteArray &line : lines) {
        blank += line.trimmed().isEmpty() ? 1 : 0;
        checkTimeOf(line);
    }
    FUZZ_CHECK(r.records + r.damaged + blank == lines.size());
    FUZZ_CHECK((r.damaged == 0) == (r.firstDamagedLine == 0));
    FUZZ_CHECK(r.firstDamagedLine <= lines.size());

    // In time order, a break only between two readings.
    qint64 points = 0;
    for (qsizetype i = 0; i < r.series.size(); ++i) {
        const TrendSeries::Point &p = r.series.at(i);
        FUZZ_CHECK(i == 0 || r.series.at(i - 1).ms <= p.ms);
        if (p.isBreak())
            FUZZ_CHECK(i > 0 && i + 1 < r.series.size() && !r.series.at(i - 1).isBreak());
        else
            ++points;
    }
    FUZZ_CHECK(points == r.records);
    FUZZ_CHECK(r.stepMs >= 0 && (r.stepMs == 0 || points >= 2));

    // The same readings as the logger writes them read back as the same history.
    QByteArray written;
    for (qsizetype i = 0; i < r.series.size(); ++i) {
        const TrendSeries::Point &p = r.series.at(i);
        if (p.isBreak())
            continue;
        const QByteArray reply =
            p.isNumber()
                ? QString::number(p.value, 'f', QLocale::FloatingPointShortest).toLatin1() + '\r'
                : QByteArray("x\r");
        written += LogRecord::format(QDateTime::fromMSecsSinceEpoch(p.ms), reply);
    }
    const LogReview::Result again = LogReview::parse(written);
    FUZZ_CHECK(again.damaged == 0);
    FUZZ_CHECK(again.records == r.records);
    FUZZ_CHECK(again.stepMs == r.stepMs);
    FUZZ_CHECK(sameHistory(again.series, r.series));
    return 0;
}
