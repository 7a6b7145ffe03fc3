// The measured value's history: the ring's bound, the statistics of known series, what a
// chart is given to draw (breaks kept, a bounded number of points per column), and a log
// file read back for review.
#include "monitor/LogReview.h"
#include "monitor/TrendSeries.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QTest>

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
        QVERIFY(drawn.size() <= 100 * 5 + 8);
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
        QVERIFY(few.size() <= 50 * 5 + 8);
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
        bytes += record(20, "13.5"); // 8 records missing: a break before it
        const LogReview::Result r = LogReview::parse(bytes);
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
        const LogReview::Result r = LogReview::read(path);
        QVERIFY(r.error.isEmpty());
        QCOMPARE(r.records, 600000);
        QCOMPARE(r.damaged, 0);
        const TrendStats stats = all(r.series);
        QCOMPARE(stats.count, 600000);
        QCOMPARE(stats.maximum, 999.0);
        QCOMPARE(stats.latestMs, t0 + 599999 * qint64(1000));
    }
};

QTEST_GUILESS_MAIN(TestTrend)
#include "tst_trend.moc"
