// Window rules that need no window: keeping a window inside the screen's available area, and
// captions as a screen reader reads them.
#include "ui/Controls.h"
#include "ui/ScreenFit.h"

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
};

QTEST_APPLESS_MAIN(TestUiHelpers)
#include "tst_uihelpers.moc"
