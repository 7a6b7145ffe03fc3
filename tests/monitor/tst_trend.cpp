// The measured value's history: the ring's bound, the statistics of known series, what a
// chart is given to draw (breaks kept, a bounded number of points per column), and a log
// file read back for review.
#include "monitor/LogReader.h"
#include "monitor/LogReview.h"
#include "monitor/TrendScale.h"
#include "monitor/TrendSeries.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QSignalSpy>

#include <QTemporaryDir>
#include <QTest>
#include <map>

namespace {

constexpr qint64 t0 = 1'765'000'000'000; // some day in 2025, in ms

TrendSeries series(const std::vector<double> &values, qint64 stepMs = 1000)
{
    TrendSeries s;
    for (size_t i = 0; i < values.size(); ++i)
        s.addValue(t0 + qint64(i) * stepMs, values[i]);
    return s;
}

TrendStats all(const TrendSeries &s, const AlarmLimits &limits = {})
{
    return Trend::summarize(s, std::numeric_limits<qint64>::min() / 2,
                            std::numeric_limits<qint64>::max() / 2, limits);
}

// A record as the logger writes it, at local time t0 + seconds.
QByteArray record(qint64 seconds, const QByteArray &value)
{
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(t0 + seconds * 1000);
    return "\"" + at.toString("yyyyMMdd").toLatin1() + "\",\"" + at.toString("HHmmss").toLatin1() +
           "\",\"" + value + "\"\r\n";
}

} // namespace

class TestTrend : public QObject {
    Q_OBJECT
private slots:
    void statisticsOfKnownSeries()
    {
        const TrendStats constant = all(series(std::vector<double>(100, 4.25)));
        QCOMPARE(constant.count, 100);
        QCOMPARE(constant.minimum, 4.25);
        QCOMPARE(constant.maximum, 4.25);
        QCOMPARE(constant.mean, 4.25);
        QCOMPARE(*constant.standardDeviation(), 0.0);

        std::vector<double> ramp(101);
        for (int i = 0; i <= 100; ++i)
            ramp[size_t(i)] = i;
        const TrendStats r = all(series(ramp));
        QCOMPARE(r.mean, 50.0);
        QCOMPARE(r.latest, 100.0);
        QVERIFY(qAbs(*r.standardDeviation() - std::sqrt(101.0 * 102 / 12)) < 1e-9);

        const TrendStats alternating = all(series({-1, 1, -1, 1, -1, 1}));
        QCOMPARE(alternating.mean, 0.0);
        QVERIFY(qAbs(*alternating.standardDeviation() - std::sqrt(6.0 / 5)) < 1e-12);

        // A large offset with a small scatter: the naive sum of squares loses every digit.
        std::vector<double> offset;
        for (int i = 0; i < 100000; ++i)
            offset.push_back(1e6 + (i % 2 ? 0.001 : -0.001));
        const TrendStats o = all(series(offset));
        QVERIFY2(qAbs(*o.standardDeviation() - 0.001 * std::sqrt(100000.0 / 99999)) < 1e-9,
                 qPrintable(QString::number(*o.standardDeviation())));

        QVERIFY(!all(series({5})).standardDeviation());
        QCOMPARE(all(TrendSeries()).count, 0);
    }

    void nonNumbersAreCountedNotDrawn()
    {
        TrendSeries s;
        s.addReply(t0, "12.5\r");
        s.addReply(t0 + 1000, "E-OVER\r");
        s.addReply(t0 + 2000, "\r");
        s.addReply(t0 + 3000, " 13.5\r");
        const TrendStats stats = all(s);
        QCOMPARE(stats.count, 2);
        QCOMPARE(stats.notNumbers, 2);
        QCOMPARE(stats.mean, 13.0);
        const auto drawn = Trend::reduce(s, t0, t0 + 3000, 100);
        QCOMPARE(drawn.size(), size_t(2));
        QVERIFY(drawn[0].isNumber() && drawn[1].isNumber());
    }

    void outsideTheLimitsCountsValuesAndTheirTime()
    {
        TrendSeries s = series({1, 5, 6, 2, 9});
        s.addBreak(t0 + 4500);
        s.addValue(t0 + 10000, -4);
        s.addValue(t0 + 11000, 0);
        const TrendStats stats = all(s, {4.0, -1.0});
        // 5 and 6 stand 1 s each, 9 ends at a break, -4 stands 1 s.
        QCOMPARE(stats.outsideCount, 4);
        QCOMPARE(stats.outsideMs, 3000);
        QCOMPARE(all(s, {}).outsideCount, 0);
        QCOMPARE(all(s, {std::nullopt, 0.0}).outsideCount, 1); // equal to a limit is inside
    }

    void theRingDropsTheOldestBeyondSevenDays()
    {
        TrendSeries s;
        const qint64 total = TrendSeries::liveCapacity + 1000;
        for (qint64 i = 0; i < total; ++i)
            s.addValue(t0 + i * 1000, double(i));
        QCOMPARE(s.size(), TrendSeries::liveCapacity);
        QCOMPARE(s.dropped(), 1000);
        QCOMPARE(s.at(0).value, 1000.0);
        QCOMPARE(s.at(s.size() - 1).value, double(total - 1));
        QCOMPARE(s.lowerBound(t0 + 5000 * 1000), 4000);
        QCOMPARE(all(s).count, TrendSeries::liveCapacity);
        // A clock set back does not put the history out of order.
        s.addValue(t0, -1);
        QCOMPARE(s.at(s.size() - 1).ms, t0 + (total - 1) * 1000);
    }

    void reductionKeepsExtremesAndBreaks()
    {
        // 100,000 points into 100 columns: a spike in each half survives, and the break
        // between the halves is never bridged.
        TrendSeries s;
        for (qint64 i = 0; i < 50000; ++i)
            s.addValue(t0 + i, i == 1234 ? 99.0 : 0.0);
        s.addBreak(t0 + 49999);
        for (qint64 i = 50000; i < 100000; ++i)
            s.addValue(t0 + i, i == 77777 ? -99.0 : 1.0);
        const auto drawn = Trend::reduce(s, t0, t0 + 99999, 100);
        QVERIFY(drawn.size() <= 100 * 7 + 8);
        int breaks = 0;
        bool high = false, low = false;
        for (const auto &p : drawn) {
            breaks += p.isBreak();
            high = high || p.value == 99.0;
            low = low || p.value == -99.0;
        }
        QCOMPARE(breaks, 1);
        QVERIFY(high && low);
        for (size_t i = 1; i < drawn.size(); ++i)
            QVERIFY(drawn[i - 1].ms <= drawn[i].ms);

        // Breaks in every column: the output stays bounded and ends with data.
        TrendSeries gappy;
        for (qint64 i = 0; i < 20000; ++i) {
            gappy.addValue(t0 + i * 10, double(i % 7));
            if (i % 3 == 0)
                gappy.addBreak(t0 + i * 10 + 5);
        }
        const auto few = Trend::reduce(gappy, t0, t0 + 200000, 50);
        QVERIFY(few.size() <= 50 * 7 + 8);
        QVERIFY(!few.back().isBreak());

        // The points just beyond the span come along, so the line reaches both edges.
        const TrendSeries ten = series({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
        const auto middle = Trend::reduce(ten, t0 + 3500, t0 + 5500, 1000);
        QCOMPARE(middle.front().value, 3.0);
        QCOMPARE(middle.back().value, 6.0);
    }

    void readsTheProgramsOwnRecords()
    {
        QByteArray bytes;
        for (qint64 i = 0; i < 10; ++i)
            bytes += record(i, QByteArray::number(12.0 + double(i) / 10));
        bytes += record(10, "OVER");
        bytes += record(11, "");
        bytes += record(20, "13.50"); // 8 records missing: a break before it
        const LogReview::Result r = LogReview::parse(bytes);
        QCOMPARE(r.series.decimals(), 2); // the most any number had
        QVERIFY(r.error.isEmpty());
        QCOMPARE(r.records, 13);
        QCOMPARE(r.damaged, 0);
        QCOMPARE(r.stepMs, 1000);
        const TrendStats stats = all(r.series);
        QCOMPARE(stats.count, 11);
        QCOMPARE(stats.notNumbers, 2);
        QCOMPARE(stats.latest, 13.5);
        QCOMPARE(stats.latestMs, t0 + 20000);
        QVERIFY(r.series.at(r.series.size() - 2).isBreak());
    }

    void damagedLinesAreCountedNeverFatal()
    {
        QByteArray bytes = record(0, "1.5");
        bytes += "garbage\r\n";
        bytes += "\r\n";                              // blank: no record, no damage
        bytes += "\"20261309\",\"120000\",\"1\"\r\n"; // month 13
        bytes += "\"20261209\",\"126000\",\"1\"\r\n"; // minute 60
        bytes += "\"20261209\",\"120000\",\"1\r\n";   // unterminated value
        bytes += QByteArray("\0\xff\"", 3) + "\n";
        bytes += record(1, "2.5").chopped(2); // the last line without its line end
        const LogReview::Result r = LogReview::parse(bytes);
        QCOMPARE(r.records, 2);
        QCOMPARE(r.damaged, 5);
        QCOMPARE(r.firstDamagedLine, 2);
        QCOMPARE(all(r.series).mean, 2.0);

        const LogReview::Result empty = LogReview::parse(QByteArrayView());
        QCOMPARE(empty.records, 0);
        QVERIFY(empty.series.isEmpty());
        QVERIFY(!LogReview::read(QStringLiteral("/nonexistent/qsr540.csv")).error.isEmpty());
    }

    void recordsOutOfOrderAreSorted()
    {
        const QByteArray bytes = record(2, "3") + record(0, "1") + record(1, "2");
        const LogReview::Result r = LogReview::parse(bytes);
        QCOMPARE(r.series.size(), 3);
        for (qsizetype i = 0; i < 3; ++i)
            QCOMPARE(r.series.at(i).value, double(i + 1));
    }

    void readsALargeLogFromDisk()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("big.csv"));
        {
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly));
            // Whole hours of records, one day's date text reused per hour for speed.
            QByteArray chunk;
            for (qint64 s = 0; s < 600000; ++s) {
                chunk += record(s, QByteArray::number(s % 1000));
                if (chunk.size() > (1 << 20)) {
                    out.write(chunk);
                    chunk.clear();
                }
            }
            out.write(chunk);
        }
        // On a worker thread: the outcome comes back here, unless it is no longer wanted.
        LogReader reader;
        QSignalSpy finished(&reader, &LogReader::finished);
        QSignalSpy cancelled(&reader, &LogReader::cancelled);
        QVERIFY(reader.start(path));
        QVERIFY(!reader.start(path)); // one at a time
        reader.cancel();
        QVERIFY(cancelled.wait(10000));
        QVERIFY(finished.isEmpty());
        QVERIFY(reader.start(path));
        QVERIFY(finished.wait(30000));
        QCOMPARE(finished[0][0].toString(), path);
        QVERIFY(!reader.isReading());
        const LogReview::Result r = reader.takeResult();
        QVERIFY(r.error.isEmpty());
        QCOMPARE(r.records, 600000);
        QCOMPARE(r.damaged, 0);
        const TrendStats stats = all(r.series);
        QCOMPARE(stats.count, 600000);
        QCOMPARE(stats.maximum, 999.0);
        QCOMPARE(stats.latestMs, t0 + 599999 * qint64(1000));
    }

    // Against a plain reading of the same data, for random series: every column's extremes
    // are drawn, and no drawn line crosses a break except within one pixel column.
    void reductionMatchesAPlainReading()
    {
        QRandomGenerator random(540);
        for (int round = 0; round < 50; ++round) {
            TrendSeries s;
            qint64 ms = t0;
            const int n = random.bounded(1, 3000);
            for (int i = 0; i < n; ++i) {
                ms += random.bounded(1, 2000);
                const int kind = random.bounded(100);
                if (kind < 3)
                    s.addBreak(ms);
                else if (kind < 5)
                    s.addNotNumber(ms);
                else
                    s.addValue(ms, random.bounded(1000.0));
            }
            const qint64 from = t0 + random.bounded(qint64(ms - t0) / 2 + 1);
            const qint64 to = from + 1 + random.bounded(ms - from + 1000);
            const int columns = random.bounded(1, 400);
            const auto drawn = Trend::reduce(s, from, to, columns);
            const double width = double(to - from) / columns;
            const auto columnOf = [&](qint64 at) {
                return at < from ? -1
                       : at > to ? columns
                                 : std::min<qint64>(columns - 1, qint64(double(at - from) / width));
            };
            // Extremes per column, of the points in the span.
            std::map<qint64, std::pair<double, double>> extremes;
            for (qsizetype i = s.lowerBound(from); i < s.lowerBound(to + 1); ++i)
                if (s.at(i).isNumber()) {
                    auto [it, fresh] =
                        extremes.try_emplace(columnOf(s.at(i).ms), s.at(i).value, s.at(i).value);
                    it->second.first = std::min(it->second.first, s.at(i).value);
                    it->second.second = std::max(it->second.second, s.at(i).value);
                }
            for (const auto &[column, range] : extremes) {
                bool low = false, high = false;
                for (const auto &p : drawn)
                    if (p.isNumber() && columnOf(p.ms) == column) {
                        low = low || p.value == range.first;
                        high = high || p.value == range.second;
                    }
                QVERIFY2(low && high,
                         qPrintable(QStringLiteral("round %1 column %2").arg(round).arg(column)));
            }
            for (size_t i = 1; i < drawn.size(); ++i) {
                if (drawn[i - 1].isBreak() || drawn[i].isBreak())
                    continue;
                for (qsizetype k = s.lowerBound(drawn[i - 1].ms);
                     k < s.size() && s.at(k).ms <= drawn[i].ms; ++k)
                    if (s.at(k).isBreak())
                        QVERIFY2(columnOf(drawn[i - 1].ms) == columnOf(drawn[i].ms) ||
                                     s.at(k).ms == drawn[i].ms || s.at(k).ms == drawn[i - 1].ms,
                                 qPrintable(
                                     QStringLiteral("round %1: a line across a break").arg(round)));
            }
        }
    }

    // Records are local time: an hour's start is looked up once, and must be the right one
    // on both sides of a change of daylight saving time (the test runs in Europe/Berlin).
    void localTimesAcrossDaylightSavingChanges()
    {
        QByteArray bytes = "\"20260329\",\"015959\",\"1\"\r\n"  // CET
                           "\"20260329\",\"030000\",\"2\"\r\n"  // CEST, one second later
                           "\"20261025\",\"015959\",\"3\"\r\n"  // CEST
                           "\"20261025\",\"035959\",\"4\"\r\n"; // CET
        const LogReview::Result r = LogReview::parse(bytes);
        QCOMPARE(r.series.size(), 5); // a break before the October records
        const auto utc = [](const char *text) {
            return QDateTime::fromString(QLatin1String(text), Qt::ISODate).toMSecsSinceEpoch();
        };
        QCOMPARE(r.series.at(0).ms, utc("2026-03-29T00:59:59Z"));
        QCOMPARE(r.series.at(1).ms, utc("2026-03-29T01:00:00Z"));
        QCOMPARE(r.series.at(3).ms, utc("2026-10-24T23:59:59Z"));
        QCOMPARE(r.series.at(4).ms, utc("2026-10-25T02:59:59Z"));
    }

    // The value axis: round figures a whole number of steps apart that hold every number in
    // view and both limits, with a margin; points outside the view do not stretch it.
    void valueAxisHoldsWhatIsInViewInRoundSteps_data()
    {
        QTest::addColumn<std::vector<double>>("values");
        QTest::addColumn<double>("high");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("step");
        QTest::addColumn<double>("bottom");
        QTest::addColumn<double>("top");
        const double none = qQNaN();
        QTest::newRow("scatter") << std::vector<double>{12.31, 12.36} << none << none << 0.02
                                 << 12.30 << 12.38;
        QTest::newRow("one value")
            << std::vector<double>{5.0} << none << none << 0.02 << 4.94 << 5.06;
        QTest::newRow("a limit above")
            << std::vector<double>{1.0, 2.0} << 10.0 << none << 2.0 << 0.0 << 12.0;
        QTest::newRow("nothing") << std::vector<double>{} << none << none << 0.2 << 0.0 << 1.0;
        QTest::newRow("negative") << std::vector<double>{-0.5, -0.45} << none << -0.6 << 0.05
                                  << -0.65 << -0.40;
    }
    void valueAxisHoldsWhatIsInViewInRoundSteps()
    {
        QFETCH(std::vector<double>, values);
        QFETCH(double, high);
        QFETCH(double, low);
        QFETCH(double, step);
        QFETCH(double, bottom);
        QFETCH(double, top);
        std::vector<TrendSeries::Point> points{{t0 - 5000, 1e6}}; // before the view
        for (size_t i = 0; i < values.size(); ++i)
            points.push_back({t0 + qint64(i) * 1000, values[i]});
        points.push_back({t0 + 500, TrendSeries::breakMark});
        const AlarmLimits limits{qIsNaN(high) ? std::nullopt : std::optional(high),
                                 qIsNaN(low) ? std::nullopt : std::optional(low)};
        const Trend::ValueScale scale = Trend::valueScale(points, t0, t0 + 60'000, limits, 6);
        QVERIFY2(qFuzzyCompare(scale.step, step), qPrintable(QString::number(scale.step)));
        QVERIFY2(qAbs(scale.low - bottom) < 1e-9 && qAbs(scale.high - top) < 1e-9,
                 qPrintable(QStringLiteral("%1 .. %2").arg(scale.low).arg(scale.high)));
        QCOMPARE(scale.ticks(), int(std::lround((top - bottom) / step)) + 1);
    }

    // The time axis (local time, Europe/Berlin here): ticks on round times for the length
    // shown, whatever second the view starts at, across a change of daylight saving time.
    void timeTicksFallOnRoundLocalTimes_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<qint64>("lengthS");
        QTest::addColumn<QStringList>("ticks");
        QTest::newRow("10 s") << "2026-12-10T12:03:27.400" << qint64(10)
                              << QStringList{"12:03:28", "12:03:30", "12:03:32", "12:03:34",
                                             "12:03:36"};
        QTest::newRow("10 min") << "2026-12-10T12:03:27" << qint64(600)
                                << QStringList{"12:04:00", "12:06:00", "12:08:00", "12:10:00",
                                               "12:12:00"};
        QTest::newRow("1 h") << "2026-12-10T11:59:59" << qint64(3600)
                             << QStringList{"12:00:00", "12:10:00", "12:20:00",
                                            "12:30:00", "12:40:00", "12:50:00"};
        QTest::newRow("8 h") << "2026-12-10T06:20:00" << qint64(8 * 3600)
                             << QStringList{"08:00:00", "10:00:00", "12:00:00", "14:00:00"};
        QTest::newRow("24 h") << "2026-12-09T12:30:00" << qint64(24 * 3600)
                              << QStringList{"18:00:00", "00:00:00", "06:00:00", "12:00:00"};
        QTest::newRow("summer time begins: 02:00 is skipped")
            << "2026-03-29T00:20:00" << qint64(8 * 3600)
            << QStringList{"04:00:00", "06:00:00", "08:00:00"};
        QTest::newRow("summer time ends: 02:00 once")
            << "2026-10-25T01:10:00" << qint64(4 * 3600)
            << QStringList{"02:00:00", "03:00:00", "04:00:00"};
        QTest::newRow("7 days") << "2026-12-03T14:00:00" << qint64(7 * 86400)
                                << QStringList{"2026-12-04", "2026-12-05", "2026-12-06",
                                               "2026-12-07", "2026-12-08", "2026-12-09",
                                               "2026-12-10"};
    }
    void timeTicksFallOnRoundLocalTimes()
    {
        QFETCH(QString, from);
        QFETCH(qint64, lengthS);
        QFETCH(QStringList, ticks);
        const qint64 start = QDateTime::fromString(from, Qt::ISODateWithMs).toMSecsSinceEpoch();
        const bool days = lengthS > 3 * 86400;
        QStringList got;
        for (const qint64 ms : Trend::timeTicks(start, start + lengthS * 1000, days ? 7 : 6))
            got << QDateTime::fromMSecsSinceEpoch(ms).toString(days ? "yyyy-MM-dd HH:mm"
                                                                    : "HH:mm:ss");
        if (days)
            for (QString &tick : ticks)
                tick += QStringLiteral(" 00:00");
        QCOMPARE(got, ticks);
    }

    void breaksOnlyWhereTheyMeanSomething()
    {
        TrendSeries s;
        s.addBreak(t0); // nothing to break yet
        QVERIFY(s.isEmpty());
        s.addValue(t0, 1);
        s.addBreak(t0 + 1);
        s.addBreak(t0 + 2);
        s.addNotNumber(t0 + 3);
        QCOMPARE(s.size(), 3);
        QCOMPARE(s.latestNumber()->value, 1.0);
        const quint64 revision = s.revision();
        s.addValue(t0 + 4, 2);
        QVERIFY(s.revision() > revision);
    }
};

QTEST_GUILESS_MAIN(TestTrend)
#include "tst_trend.moc"
