// Window rules that need no window: keeping a window inside the screen's available area,
// captions as a screen reader reads them, the Trend window's statistics as text, the
// pacing of its live refreshes, and the texts of both languages.
#include "ui/CommTexts.h"
#include "ui/Controls.h"
#include "ui/EditorTexts.h"
#include "ui/FailureTexts.h"
#include "ui/MainTexts.h"
#include "ui/OptionsTexts.h"
#include "ui/PortsTexts.h"
#include "ui/RefreshPacer.h"
#include "ui/ScreenFit.h"
#include "ui/TrendStatistics.h"
#include "ui/TrendTexts.h"

#include <QDateTime>
#include <QRect>
#include <QSet>
#include <QTest>

#include <algorithm>
#include <utility>

namespace {

// A table's texts laid out flat, English and Japanese side by side.
struct TextColumns {
    QStringList english, japanese;

    void add(const QString &en, const QString &ja)
    {
        english << en;
        japanese << ja;
    }
    void add(const QStringList &en, const QStringList &ja)
    {
        for (qsizetype i = 0; i < std::max(en.size(), ja.size()); ++i)
            add(en.value(i), ja.value(i));
    }
    template <class T, size_t N> void add(const std::array<T, N> &en, const std::array<T, N> &ja)
    {
        for (size_t i = 0; i < N; ++i)
            add(en[i], ja[i]);
    }
};

// Every member of a table must be named: a text added to a table but not here does not
// build, so no text escapes the check for a forgotten translation.
template <class T, class... M> TextColumns textsOf(const T &(*table)(Language), M T::*...members)
{
    static_assert((sizeof(M) + ...) == sizeof(T), "a text of the table is not listed");
    const T &en = table(Language::English);
    const T &ja = table(Language::Japanese);
    TextColumns out;
    (out.add(en.*members, ja.*members), ...);
    return out;
}

} // namespace

Q_DECLARE_METATYPE(TextColumns)

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

    // Operators and their manuals know the texts listed here in English in the Japanese
    // windows too; every other text has a translation of its own. A text added to a table
    // without a translation fails here, as does a listed one that got translated.
    void japaneseWindowsKeepEnglishOnlyWhereOperatorsExpectIt_data()
    {
        QTest::addColumn<TextColumns>("texts");
        QTest::addColumn<QStringList>("stayEnglish");
        // The labels and the status texts; the buttons and the menus are Japanese.
        using M = MainTexts;
        QTest::newRow("Main")
            << textsOf(mainTexts, &M::startComm, &M::stopComm, &M::startSave, &M::stopSave,
                       &M::nowLoading, &M::nowSaving, &M::saveFilePrefix, &M::commInterval,
                       &M::saveInterval, &M::sec, &M::menuFile, &M::menuSaveAs, &M::menuEnd,
                       &M::menuEdit, &M::menuCommSet, &M::menuLanguage, &M::menuPorts,
                       &M::menuOptions, &M::menuComm, &M::menuSelect, &M::menuView, &M::menuTrend,
                       &M::menuHelp, &M::menuGotoHelp, &M::menuVer, &M::communicationError,
                       &M::settingsNotWritten, &M::logNotWritten, &M::logHeld, &M::logHeldBy,
                       &M::noReplySince, &M::attachedTo, &M::loggerEnded, &M::optionsNotSaved,
                       &M::outputDropped, &M::replyUnasked, &M::replyUnknownLetter, &M::replyCutOff,
                       &M::replyEmpty, &M::replyNotNumber, &M::replyTooLarge, &M::replyOutOfRange32,
                       &M::replyOutOfRange16, &M::replyNotModeDigits, &M::replyDoesNotFit,
                       &M::startNotWritten, &M::startNotRead, &M::portMissing, &M::portNotSerial,
                       &M::portForbidden, &M::portDangling, &M::portVanished, &M::portGroup,
                       &M::portLogin, &M::portLockDirectory, &M::portHeld, &M::portHeldProcess)
            << QStringList{"now loading",   "now saveing",   "Save file =",
                           "comm interval", "save interval", "sec"};
        // The caption, the line conditions and both buttons.
        using C = CommTexts;
        QTest::newRow("Comm") << textsOf(commTexts, &C::caption, &C::port, &C::baudRate,
                                         &C::otherConditions, &C::ok, &C::cancel)
                              << QStringList{"Comm",
                                             "<Other conditions>\r\n8bit data\r\n1step bit\r\nnon "
                                             "parity",
                                             "Ok", "Cancel"};
        using E = EditorTexts;
        const QStringList editor{
            "SELECT COMM", "Ok",
            // The AVE, GAIN and D.P. lists are numbers and units.
            "0(1)", "1(2)", "2(4)", "3(8)", "4(16)", "5(32)", "6(64)", "7(128)", "8(256)", "9(512)",
            "10(1024)", "11(2048)", "0(1um/V)", "1(10um/V)", "2(100um/V)", "3(1mm/V)", "4(10mm/V)",
            "5(100mm/V)", "7(1m/V)", "0(0.99999)", "1(9.9999)", "2(99.999)", "3(999.99)",
            "4(9999.9)",
            // The file dialog's filters.
            QString::fromUtf8("テキストファイル(*.txt)|*.txt|全てのファイル(*.*)|*.*"), "*.txt"};
        QTest::newRow("Parameter editor")
            << textsOf(editorTexts, &E::caption, &E::standard, &E::details, &E::ok, &E::load,
                       &E::transmission, &E::nowLoading, &E::nowTransmission, &E::limitLabels,
                       &E::modeLabel, &E::listLabels, &E::listItems, &E::menuFile, &E::menuOpen,
                       &E::menuSaveAsDialog, &E::menuSave, &E::menuPrint, &E::menuClose,
                       &E::menuEdit, &E::menuCommSet, &E::menuDetails, &E::openFilter,
                       &E::saveFilter, &E::fileNotRead, &E::fileNotWritten, &E::printFailed,
                       &E::printFaults)
            << editor;
        // A name, written so in Japanese too.
        using P = PortsTexts;
        QTest::newRow("Ports") << textsOf(portsTexts, &P::caption, &P::portList, &P::deviceList,
                                          &P::portColumn, &P::routeColumn, &P::deviceColumn,
                                          &P::descriptionColumn, &P::manufacturerColumn,
                                          &P::usbColumn, &P::serialColumn, &P::stableColumn,
                                          &P::byDefault, &P::notPresent, &P::linkNotPresent,
                                          &P::throughLogger, &P::simulator, &P::folderLink,
                                          &P::noDevices, &P::systemNames, &P::assign, &P::remove,
                                          &P::test, &P::refresh, &P::close, &P::chooseBoth,
                                          &P::choosePort, &P::assigned, &P::removed,
                                          &P::notAssigned, &P::busy, &P::testing, &P::answered,
                                          &P::noAnswer)
                               << QStringList{"USB ID"};
        // As Japanese dialogs write it.
        using O = OptionsTexts;
        QTest::newRow("Options") << textsOf(optionsTexts, &O::caption, &O::keepPolling,
                                            &O::keepPollingNote, &O::eventFile, &O::eventFileNote,
                                            &O::dailyLog, &O::dailyLogNote, &O::keepAwake,
                                            &O::keepAwakeNote, &O::keepAwakeRefused, &O::ok,
                                            &O::cancel)
                                 << QStringList{"OK"};
        using T = TrendTexts;
        QTest::newRow("Trend") << textsOf(trendTexts, &T::caption, &T::menuFile, &T::menuOpen,
                                          &T::menuLive, &T::menuSavePng, &T::menuCopy,
                                          &T::menuClose, &T::live, &T::file, &T::reading,
                                          &T::fileSummary, &T::fileDamaged, &T::fileLeftOut,
                                          &T::notRead, &T::span, &T::follow, &T::spans,
                                          &T::highLimit, &T::lowLimit, &T::apply, &T::notALimit,
                                          &T::limitsCrossed, &T::limitsNotSaved, &T::shownSpan,
                                          &T::sinceReset, &T::wholeFile, &T::reset, &T::rows,
                                          &T::chartNotSaved, &T::chartName)
                               << QStringList{};
    }
    void japaneseWindowsKeepEnglishOnlyWhereOperatorsExpectIt()
    {
        QFETCH(TextColumns, texts);
        QFETCH(QStringList, stayEnglish);
        QStringList same;
        for (qsizetype i = 0; i < texts.english.size(); ++i) {
            const QString &en = texts.english[i];
            QVERIFY2(!texts.japanese[i].isEmpty() || en.isEmpty(),
                     qPrintable(QStringLiteral("no Japanese text beside \"%1\"").arg(en)));
            if (texts.japanese[i] == en)
                same << en;
        }
        for (const QString &text : same)
            QVERIFY2(stayEnglish.contains(text), qPrintable("not translated: " + text));
        for (const QString &text : stayEnglish)
            QVERIFY2(same.contains(text), qPrintable("translated, but stays English: " + text));
        QCOMPARE(same, stayEnglish);
    }

    void everyRefusedReplyIsToldInWordsOfItsOwn()
    {
        using Fault = Protocol::ReplyFault;
        for (Language language : {Language::English, Language::Japanese}) {
            const MainTexts &texts = mainTexts(language);
            QCOMPARE(replyFaultText(texts, {}), QString());
            QSet<QString> told;
            for (int f = int(Fault::Unasked); f <= int(Fault::DoesNotFit); ++f) {
                const QString text =
                    replyFaultText(texts, {Fault(f), 'A', QStringLiteral("\"X\"")});
                QVERIFY2(!text.isEmpty() && !text.contains(u'%'), qPrintable(text));
                QVERIFY2(!told.contains(text), qPrintable(text));
                told << text;
            }
        }
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
