// The Trend window against the simulator with a changing value, in both languages: it opens
// while polling and leaves the Main window usable, follows the replies, turns Label2 red
// outside the limits, reviews a log file, and exports.
#include "UiTestKit.h"
#include "core/AlarmLimits.h"
#include "core/Numbers.h"
#include "core/Options.h"
#include "ui/AppController.h"
#include "ui/TrendChart.h"
#include "ui/TrendWindow.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QTableWidget>

namespace {

// The statistics table's cell by row (count 0 ... time outside 8) and column (0 shown span).
QString stat(TrendWindow *t, int row, int column = 0)
{
    return child<QTableWidget>(t, "Statistics")->item(row, column)->text();
}

void trigger(QWidget *w, const char *action)
{
    w->findChild<QAction *>(QLatin1String(action))->trigger();
}

void setLimits(TrendWindow *t, const QString &high, const QString &low)
{
    child<QLineEdit>(t, "HighLimit")->setText(high);
    child<QLineEdit>(t, "LowLimit")->setText(low);
    click(t, "ApplyLimits");
}

QColor valueColour(MainWindow *w)
{
    return child<QLabel>(w, "Label2")->palette().color(QPalette::WindowText);
}

// A reading of `value` in the live history at `ms`.
void addReading(LiveHistory &history, qint64 ms, double value)
{
    history.addReading(QDateTime::fromMSecsSinceEpoch(ms), QByteArray::number(value));
}

} // namespace

class TestTrendWindow : public QObject {
    Q_OBJECT
private slots:
    void followsThePollingAndColoursTheValue_data()
    {
        QTest::addColumn<Language>("language");
        QTest::newRow("English") << Language::English;
        QTest::newRow("Japanese") << Language::Japanese;
    }
    void followsThePollingAndColoursTheValue()
    {
        QFETCH(Language, language);
        PollingFixture p({"--centre", "10", "--amplitude", "0.5"});
        QVERIFY2(p.sim->isReady(), qPrintable(p.sim->errorString()));
        auto w = p.window(language);
        QVERIFY(w);
        click(w.get(), "Command1");
        QVERIFY(menusDisabled(*w));
        QAction *view = child<QMenu>(w.get(), "VIEW")->menuAction();
        QVERIFY(view->isEnabled());
        trigger(w.get(), "TREND");
        QPointer<TrendWindow> t = w->trendWindow();
        QVERIFY(t && t->isVisible());
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QCOMPARE(t->windowTitle(), trendTexts(language).caption);

        // The latest point and the statistics follow the replies.
        QTRY_VERIFY_WITH_TIMEOUT(stat(t, 0).toInt() >= 3, 15000); // refreshes wait up to 5 s
        const auto drawn = t->chart()->drawnPoints();
        QVERIFY(!drawn.empty());
        const double shown = *Numbers::toReal(text(w.get(), "Label2").toLatin1());
        QTRY_COMPARE_WITH_TIMEOUT(t->chart()->drawnPoints().back().value,
                                  *Numbers::toReal(text(w.get(), "Label2").toLatin1()), 15000);
        QVERIFY(qAbs(shown - 10) <= 0.5);
        QVERIFY(stat(t, 5).startsWith(
            QString::number(p.fx.context.history.series().latestNumber()->value, 'g', 12)));

        // Limits turn the value red and back; they are kept in the preferences file.
        QCOMPARE(valueColour(w.get()), QColor(Qt::black));
        setLimits(t, QStringLiteral("9"), QString());
        QCOMPARE(valueColour(w.get()), QColor(Qt::red));
        QTRY_VERIFY_WITH_TIMEOUT(stat(t, 7).toInt() >= 1, 15000);
        const QSettings ini(OptionsFile::path(p.fx.folder), QSettings::IniFormat);
        QCOMPARE(ini.value("trend/high_limit").toString(), QStringLiteral("9"));
        setLimits(t, QStringLiteral("11"), QStringLiteral("9"));
        QCOMPARE(valueColour(w.get()), QColor(Qt::black));
        QCOMPARE(p.fx.session.limits(), (AlarmLimits{11.0, 9.0}));

        // The Main window stays usable; a stop is a break in the line, never bridged.
        click(w.get(), "Command1");
        QVERIFY(menusEnabled(*w));
        const qsizetype before = p.fx.context.history.series().size();
        click(w.get(), "Command1");
        QTRY_VERIFY_WITH_TIMEOUT(p.fx.context.history.series().size() > before + 1, 10000);
        click(w.get(), "Command1");
        const TrendSeries &live = p.fx.context.history.series();
        int breaks = 0;
        for (qsizetype i = 0; i < live.size(); ++i)
            breaks += live.at(i).isBreak();
        QCOMPARE(breaks, 2); // one for each stop
        breaks = 0;
        t->chart()->refresh();
        for (const auto &point : t->chart()->drawnPoints())
            breaks += point.isBreak();
        QVERIFY(breaks >= 1);

        // The Trend window follows the Main window: it goes when that window goes.
        w.reset();
        QVERIFY(t.isNull());
    }

    void resetRestartsTheTotalsNotTheShownSpan()
    {
        UiFixture fx;
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        for (int i = 5; i >= 1; --i)
            addReading(fx.context.history, now - i * 10'000, i);
        MainWindow w(Language::English, fx.context);
        w.setAttribute(Qt::WA_DeleteOnClose, false);
        QVERIFY(w.Form_Load(nullptr));
        trigger(&w, "TREND");
        TrendWindow *t = w.trendWindow();
        QCOMPARE(stat(t, 0, 1), QStringLiteral("5"));
        click(t, "ResetStatistics");
        QCOMPARE(stat(t, 0, 1), QStringLiteral("0"));
        QCOMPARE(stat(t, 0, 0), QStringLiteral("5"));
        QCOMPARE(fx.context.history.series().size(), 5); // the history itself stays
    }

    void reviewsALogFileAndReturnsToLive()
    {
        UiFixture fx;
        MainWindow w(Language::English, fx.context);
        w.setAttribute(Qt::WA_DeleteOnClose, false);
        QVERIFY(w.Form_Load(nullptr));
        trigger(&w, "TREND");
        TrendWindow *t = w.trendWindow();
        QCOMPARE(t->mode(), TrendWindow::Mode::Live);
        QCOMPARE(stat(t, 0), QStringLiteral("0"));

        const QString log = fx.dir.filePath(QStringLiteral("shift.csv"));
        QVERIFY(writeBytes(log, "\"20261208\",\"060000\",\"12.5\"\r\n"
                                "\"20261208\",\"060001\",\"OVER\"\r\n"
                                "not a record\r\n"
                                "\"20261208\",\"060002\",\"13.5\"\r\n"));
        fx.prompts.openAnswers = {log, fx.dir.filePath(QStringLiteral("missing.csv"))};
        QSignalSpy read(t, &TrendWindow::logRead);
        trigger(t, "OpenLog");
        QVERIFY(read.wait(5000));
        QCOMPARE(t->mode(), TrendWindow::Mode::File);
        QVERIFY(text(t, "Mode").contains(QStringLiteral("shift.csv")));
        QVERIFY(text(t, "Note").contains(QStringLiteral("line 3")));
        QCOMPARE(stat(t, 0, 1), QStringLiteral("2"));
        QCOMPARE(stat(t, 3, 1), QStringLiteral("13.0")); // the replies' own decimals
        QCOMPARE(stat(t, 6, 1), QStringLiteral("1"));
        QCOMPARE(child<QComboBox>(t, "Span")->currentIndex(), int(TrendChart::Span::All));
        QVERIFY(!child<QPushButton>(t, "ResetStatistics")->isEnabled());

        // A file that cannot be read is reported; the shown one stays.
        trigger(t, "OpenLog");
        QVERIFY(read.wait(5000));
        QCOMPARE(fx.prompts.messages.size(), 1);
        QCOMPARE(fx.prompts.messages[0].text, trendTexts(Language::English).notRead);
        QCOMPARE(t->mode(), TrendWindow::Mode::File);

        trigger(t, "LiveData");
        QCOMPARE(t->mode(), TrendWindow::Mode::Live);
        QCOMPARE(stat(t, 0, 1), QStringLiteral("0"));
    }

    void refusesLimitsThatAreNoNumbersOrCrossed()
    {
        UiFixture fx;
        TrendWindow t(Language::Japanese, fx.context);
        setLimits(&t, QStringLiteral("abc"), QString());
        setLimits(&t, QStringLiteral("1"), QStringLiteral("2"));
        QCOMPARE(fx.prompts.messages.size(), 2);
        QCOMPARE(fx.prompts.messages[0].text,
                 trendTexts(Language::Japanese).notALimit.arg(QStringLiteral("abc")));
        QCOMPARE(fx.prompts.messages[1].text, trendTexts(Language::Japanese).limitsCrossed);
        QCOMPARE(fx.session.limits(), AlarmLimits{});
        QVERIFY(!QFile::exists(OptionsFile::path(fx.folder)));
    }

    void exportsTheChartAndTheStatistics()
    {
        UiFixture fx;
        for (int i = 0; i < 50; ++i)
            addReading(fx.context.history, 1'765'000'000'000 + i * 1000, i % 5);
        TrendWindow t(Language::English, fx.context);
        t.show();
        fx.prompts.saveAnswers = {fx.dir.filePath(QStringLiteral("chart")),
                                  fx.dir.filePath(QStringLiteral("no/such/folder/chart.png"))};
        trigger(&t, "SavePng");
        QVERIFY(!QImage(fx.dir.filePath(QStringLiteral("chart.png"))).isNull());
        trigger(&t, "SavePng");
        QCOMPARE(fx.prompts.messages.size(), 1);
        QCOMPARE(fx.prompts.messages[0].text, trendTexts(Language::English).chartNotSaved);

        trigger(&t, "CopyStatistics");
        const QString copied = QGuiApplication::clipboard()->text();
        QVERIFY2(copied.contains(QStringLiteral("\nCount\t50\t50\n")), qPrintable(copied));
        QVERIFY(copied.contains(QStringLiteral("\nMean\t2\t2\n")));
    }

    void scrollingStopsFollowingUntilAskedAgain()
    {
        TrendSeries series;
        for (int i = 0; i < 3600; ++i)
            series.addValue(1'765'000'000'000 + i * 1000, i);
        const Clock clock;
        TrendChart chart(clock);
        chart.resize(600, 300);
        chart.show();
        chart.setSeries(&series);
        QVERIFY(chart.isFollowing());
        QCOMPARE(chart.to(), series.at(series.size() - 1).ms);
        QCOMPARE(chart.to() - chart.from(), 600'000);

        QTest::keyClick(&chart, Qt::Key_Left);
        QVERIFY(!chart.isFollowing());
        const qint64 to = chart.to();
        QVERIFY(to < series.at(series.size() - 1).ms);
        series.addValue(series.at(series.size() - 1).ms + 1000, 0);
        chart.refresh();
        QCOMPARE(chart.to(), to); // new data does not move a view the user moved
        QTest::keyClick(&chart, Qt::Key_Minus);
        QVERIFY(chart.to() - chart.from() > 600'000);

        chart.follow();
        QCOMPARE(chart.to(), series.at(series.size() - 1).ms);
        chart.setSpan(TrendChart::Span::All);
        QCOMPARE(chart.from(), series.at(0).ms);
        // Never more than a few points per pixel column.
        QVERIFY(chart.drawnPoints().size() <= size_t(7 * 600));
    }

    // What is on screen: two stretches with an hour between them leave that hour empty, and
    // a value outside the limits is a red dot.
    void aGapIsBlankOnTheScreen()
    {
        constexpr qint64 start = 1'765'000'000'000;
        TrendSeries series;
        for (int i = 0; i < 600; ++i)
            series.addValue(start + i * 1000, i % 2 ? 1.0 : 2.0);
        series.addBreak(start + 600'000);
        for (int i = 0; i < 600; ++i)
            series.addValue(start + 4'200'000 + i * 1000, i == 300 ? 9.0 : 1.5);
        const Clock clock;
        TrendChart chart(clock);
        chart.resize(800, 400);
        chart.show();
        chart.setSeries(&series);
        chart.setLimits({5.0, std::nullopt});
        chart.setSpan(TrendChart::Span::All);
        const QImage image = chart.grab().toImage();
        const QRectF plot = chart.chart()->plotArea();
        const auto columnOf = [&](qint64 ms) {
            return int(plot.left() + double(ms - chart.from()) / double(chart.to() - chart.from()) *
                                         plot.width());
        };
        const auto count = [&](int fromX, int toX, auto wanted) {
            int n = 0;
            for (int x = fromX; x < toX; ++x)
                for (int y = int(plot.top()); y < int(plot.bottom()); ++y)
                    n += wanted(image.pixelColor(x, y));
            return n;
        };
        const auto blue = [](const QColor &c) { return c.blue() > 150 && c.red() < 100; };
        const auto red = [](const QColor &c) {
            return c.red() > 200 && c.green() < 80 && c.blue() < 80;
        };
        QVERIFY(count(columnOf(start), columnOf(start + 600'000), blue) > 100);
        QCOMPARE(count(columnOf(start + 700'000), columnOf(start + 4'100'000), blue), 0);
        QVERIFY(count(columnOf(start + 4'490'000), columnOf(start + 4'510'000), red) > 4);
    }

    // Alt+V, T opens it; a change of language closes it, and the history stays for the
    // other language's window.
    void keepsTheHistoryThroughALanguageSwitch()
    {
        UiFixture fx;
        AppController app(fx.context);
        QVERIFY(app.start());
        QPointer<MainWindow> english = app.currentWindow();
        english->show();
        QVERIFY(QTest::qWaitForWindowActive(english));
        addReading(fx.context.history, 1'765'000'000'000, 7.5);
        QTest::keyClick(english, Qt::Key_V, Qt::AltModifier);
        QVERIFY(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }));
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_T);
        QTRY_VERIFY(english->trendWindow());
        QPointer<TrendWindow> trend = english->trendWindow();

        onNextModal([](QWidget *dialog) { click(dialog, "Command1"); }); // 日本語
        english->findChild<QAction *>(QStringLiteral("Language"))->trigger();
        QTRY_VERIFY(english.isNull());
        QVERIFY(trend.isNull());
        MainWindow *japanese = app.currentWindow();
        QCOMPARE(japanese->language(), Language::Japanese);
        trigger(japanese, "TREND");
        QCOMPARE(stat(japanese->trendWindow(), 0, 1), QStringLiteral("1"));
        QCOMPARE(japanese->trendWindow()->windowTitle(), QStringLiteral("トレンド - QSRLINK"));
        japanese->close();
    }

    // Limits the file cannot take are reported, and still hold until the program ends.
    void limitsThatCannotBeSavedStillHold()
    {
        PollingFixture p({"--value", "20.000"});
        auto w = p.window(Language::English);
        QVERIFY(w);
        QVERIFY(QDir().mkpath(OptionsFile::path(p.fx.folder))); // a folder in the file's place
        click(w.get(), "Command1");
        QTRY_COMPARE_WITH_TIMEOUT(text(w.get(), "Label2"), QStringLiteral("20.000\r"), 3000);
        trigger(w.get(), "TREND");
        setLimits(w->trendWindow(), QStringLiteral("10"), QString());
        QCOMPARE(p.fx.prompts.messages.size(), 1);
        QCOMPARE(p.fx.prompts.messages[0].text, trendTexts(Language::English).limitsNotSaved);
        QVERIFY(p.fx.prompts.messages[0].detail.contains(QStringLiteral("qsrlink.ini")));
        QCOMPARE(p.fx.session.limits().high, 10.0);
        QCOMPARE(valueColour(w.get()), QColor(Qt::red));
        click(w.get(), "Command1");
    }
};

QTEST_MAIN(TestTrendWindow)
#include "tst_trendwindow.moc"
