// Window rules that need no window: keeping a window inside the screen's available area,
// captions as a screen reader reads them, the Trend window's statistics as text and the
// pacing of its live refreshes.
#include "ui/Controls.h"
#include "ui/RefreshPacer.h"
#include "ui/ScreenFit.h"
#include "ui/TrendStatistics.h"

#include <QDateTime>
#include <QRect>
#include <QTest>

#include <utility>

class TestUiHelpers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fitInsideMovesOnlyAsFarAsNeeded_data()
    {
        QTest::addColumn<QRect>("window");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QPoint>("placed");
        const QRect small(0, 0, 640, 512);
        QTest::newRow("fits: stays") << QRect(100, 100, 200, 100) << small << QPoint(100, 100);
        QTest::newRow("fills the area exactly") << small << small << QPoint(0, 0);
        QTest::newRow("past the bottom") << QRect(232, 321, 317, 216) << small << QPoint(232, 296);
        QTest::newRow("above and left") << QRect(-20, -5, 100, 100) << small << QPoint(0, 0);
        QTest::newRow("past both far edges")
            << QRect(600, 500, 100, 100) << small << QPoint(540, 412);
        QTest::newRow("taller: top edge, across kept")
            << QRect(100, 300, 200, 600) << small << QPoint(100, 0);
        QTest::newRow("larger: top-left") << QRect(50, 50, 700, 600) << small << QPoint(0, 0);
        // A second screen right of the first, with a panel along its top.
        QTest::newRow("second screen")
            << QRect(2200, 10, 200, 800) << QRect(1280, 32, 1024, 736) << QPoint(2104, 32);
        QTest::newRow("no area: stays") << QRect(900, 900, 50, 50) << QRect() << QPoint(900, 900);
    }
    void fitInsideMovesOnlyAsFarAsNeeded()
    {
        QFETCH(QRect, window);
        QFETCH(QRect, area);
        QFETCH(QPoint, placed);
        const QRect fitted = ScreenFit::fitInside(window, area);
        QCOMPARE(fitted.topLeft(), placed);
        QCOMPARE(fitted.size(), window.size());
    }

    void captionsReadWithoutTheAccessKeyMark()
    {
        const std::pair<const char *, const char *> cases[] = {{"REF PRESET", "REF PRESET"},
                                                               {"Comm_Set(&C)", "Comm_Set(C)"},
                                                               {"&File", "File"},
                                                               {"Save && Exit", "Save & Exit"},
                                                               {"&&&A", "&A"},
                                                               {"D.P.&", "D.P."}};
        for (const auto &[caption, read] : cases)
            QCOMPARE(Controls::withoutAccessKey(QString::fromUtf8(caption)),
                     QString::fromUtf8(read));
    }

    // Values as the replies give them, or as plain readings where no reply said; a "-"
    // where there is nothing to tell.
    void statisticsReadAsTheRepliesDo()
    {
        TrendStats s;
        const qint64 t = QDateTime(QDate(2026, 12, 8), QTime(13, 59, 0)).toMSecsSinceEpoch();
        for (const double v : {12.345, 12.351, 12.339})
            s.add(t, v);
        s.outsideCount = 2;
        s.outsideMs = (24 * 3600 + 3723) * qint64(1000);
        const AlarmLimits limits{12.35, std::nullopt};
        QCOMPARE(TrendStatistics::column(s, limits, 3),
                 (QStringList{"3", "12.339", "12.351", "12.345", "0.006", "12.339 (12-08 13:59:00)",
                              "0", "2", "1 d 01:02:03"}));
        const QStringList plain = TrendStatistics::column(s, {}, -1);
        QCOMPARE(plain[1], QStringLiteral("12.339"));
        QCOMPARE(plain.mid(7), (QStringList{"-", "-"})); // no limits set
        QCOMPARE(TrendStatistics::column(TrendStats{}, limits, 3),
                 (QStringList{"0", "-", "-", "-", "-", "-", "0", "0", "00:00:00"}));

        QCOMPARE(TrendStatistics::text("Live", "from - to", {"Shown", "Since"}, {"Count", "Mean"},
                                       {"3", "12.345"}, {"5", "12.340"}),
                 QStringLiteral("Live\nfrom - to\n\tShown\tSince\nCount\t3\t5\n"
                                "Mean\t12.345\t12.340\n"));
    }

    // After a refresh that cost t, the next waits 400 t from its start, 5 s at most; a
    // change meanwhile waits with it, and many changes make one refresh.
    void refreshesWaitForAShareOfTheirCost()
    {
        QCOMPARE(RefreshPacer::waitMs(1'000'000, 0), 400);
        QCOMPARE(RefreshPacer::waitMs(1'000'000, 300'000'000), 100);
        QCOMPARE(RefreshPacer::waitMs(1'000'000, 500'000'000), 0);
        QCOMPARE(RefreshPacer::waitMs(100'000'000, 0), RefreshPacer::longestWaitMs);

        qint64 processorNs = 0;
        int refreshes = 0;
        RefreshPacer pacer([&] { ++refreshes; }, [&] { return processorNs; });
        pacer.request(); // the first one at once
        QCOMPARE(refreshes, 1);
        processorNs += 100'000; // it cost 0.1 ms: the next waits 40 ms
        pacer.painted();
        pacer.request();
        pacer.request();
        QCOMPARE(refreshes, 1);
        QVERIFY(pacer.isWaiting());
        QTRY_COMPARE(refreshes, 2);
        QTest::qWait(100);
        QCOMPARE(refreshes, 2);
    }
};

QTEST_GUILESS_MAIN(TestUiHelpers)
#include "tst_uihelpers.moc"
