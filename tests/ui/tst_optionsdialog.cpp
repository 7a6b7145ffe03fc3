// The Options window in both languages, and Edit > Options in the Main window: what OK,
// Cancel and a failed save leave behind.
#include "TestOptions.h"
#include "UiTestKit.h"

#include "ui/OptionsDialog.h"
#include "ui/OptionsTexts.h"

#include <QAction>
#include <QCheckBox>

Q_DECLARE_METATYPE(Language)

namespace {

QCheckBox *box(QWidget *w, const char *name)
{
    return child<QCheckBox>(w, name);
}

std::unique_ptr<MainWindow> loadedWindow(UiFixture &fx, Language language = Language::English)
{
    auto w = std::make_unique<MainWindow>(language, fx.context);
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    return w->Form_Load(nullptr) ? std::move(w) : nullptr;
}

// Edit > Options, ticking keep polling and daily log, then `button`.
void chooseOptions(MainWindow &w, const char *button)
{
    onNextModal([button](QWidget *dialog) {
        QCOMPARE(dialog->objectName(), QStringLiteral("Options"));
        box(dialog, "KeepPolling")->setChecked(true);
        box(dialog, "DailyLog")->setChecked(true);
        click(dialog, button);
    });
    child<QAction>(&w, "OPTIONS")->trigger();
}

const Options pollingDaily{true, false, true, false};

} // namespace

class TestOptionsDialog : public QObject {
    Q_OBJECT
private slots:
    void showsItsTexts_data()
    {
        QTest::addColumn<Language>("language");
        QTest::addColumn<QStringList>("texts"); // title, four boxes, problem, OK, Cancel
        QTest::newRow("English") << Language::English
                                 << QStringList{"Options",
                                                "Keep polling through communication errors(&K)",
                                                "Record communication events in a file(&E)",
                                                "A new log file each day(&D)",
                                                "Keep the computer awake while logging(&A)",
                                                "The system refused: <no D-Bus>",
                                                "OK",
                                                "Cancel"};
        QTest::newRow("Japanese") << Language::Japanese
                                  << QStringList{"オプション",
                                                 "通信エラーが起きてもポーリングを続ける(&K)",
                                                 "通信イベントをファイルに記録する(&E)",
                                                 "1日ごとに新しいログファイルにする(&D)",
                                                 "ログの記録中はコンピュータをスリープさせない(&A)",
                                                 "システムが拒否しました: <no D-Bus>",
                                                 "OK",
                                                 "キャンセル"};
    }
    void showsItsTexts()
    {
        QFETCH(Language, language);
        QFETCH(QStringList, texts);
        const OptionsTexts &t = optionsTexts(language);
        OptionsDialog d(language, {}, QStringLiteral("<no D-Bus>"), nullptr);
        QCOMPARE(d.objectName(), QStringLiteral("Options"));
        QVERIFY(d.isModal());
        QStringList actual{d.windowTitle()};
        for (const char *name : {"KeepPolling", "EventFile", "DailyLog", "KeepAwake"})
            actual << box(&d, name)->text();
        actual << text(&d, "KeepAwakeProblem") << text(&d, "OK") << text(&d, "Cancel");
        QCOMPARE(actual, texts);
        QCOMPARE(text(&d, "KeepPollingNote"), t.keepPollingNote);
        QCOMPARE(text(&d, "EventFileNote"), t.eventFileNote);
        QCOMPARE(text(&d, "DailyLogNote"), t.dailyLogNote);
        QCOMPARE(text(&d, "KeepAwakeNote"), t.keepAwakeNote);
        QCOMPARE(child<QLabel>(&d, "KeepAwakeProblem")->textFormat(), Qt::PlainText);
        OptionsDialog noProblem(language, {}, {}, nullptr);
        QVERIFY(!child<QLabel>(&noProblem, "KeepAwakeProblem"));
    }

    void eventFileFollowsKeepPolling()
    {
        OptionsDialog d(Language::English, {false, true, false, false}, {}, nullptr);
        QVERIFY(!box(&d, "EventFile")->isEnabled());
        QVERIFY(!child<QLabel>(&d, "EventFileNote")->isEnabled());
        QCOMPARE(d.chosen(), Options{}); // no event file without keep polling
        box(&d, "KeepPolling")->click();
        QVERIFY(box(&d, "EventFile")->isEnabled());
        QVERIFY(child<QLabel>(&d, "EventFileNote")->isEnabled());
        QCOMPARE(d.chosen(), (Options{true, true, false, false}));
        box(&d, "KeepPolling")->click();
        QVERIFY(!box(&d, "EventFile")->isEnabled());
        QCOMPARE(d.chosen(), Options{});
    }

    void chosenIsWhatTheBoxesShow()
    {
        const Options current{true, false, false, true};
        OptionsDialog d(Language::Japanese, current, {}, nullptr);
        QCOMPARE(d.chosen(), current);
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        QCOMPARE(QApplication::focusWidget(), box(&d, "KeepPolling"));
        QTest::keyClick(&d, Qt::Key_D, Qt::AltModifier); // the access key ticks the box
        QTRY_VERIFY(box(&d, "DailyLog")->isChecked());   // after its animated click
        QTest::keyClick(box(&d, "KeepAwake"), Qt::Key_Space);
        QCOMPARE(d.chosen(), (Options{true, false, true, false}));
        // Enter on a box presses OK, the default; Escape is Cancel.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        QTest::keyClick(&d, Qt::Key_Escape);
        QCOMPARE(d.result(), int(QDialog::Rejected));
    }

    void okSavesAndAppliesTheChoice()
    {
        UiFixture fx;
        auto w = loadedWindow(fx);
        QVERIFY(w);
        QCOMPARE(w->options(), Options{});
        chooseOptions(*w, "OK");
        QCOMPARE(w->options(), pollingDaily);
        QCOMPARE(OptionsFile::load(OptionsFile::path(fx.folder)), pollingDaily);
        QVERIFY(fx.prompts.messages.isEmpty());
        // The next window reads them back.
        UiFixture later(fx.folder.data);
        QCOMPARE(loadedWindow(later)->options(), pollingDaily);
    }

    void cancelAppliesNothing()
    {
        UiFixture fx;
        auto w = loadedWindow(fx, Language::Japanese);
        QVERIFY(w);
        chooseOptions(*w, "Cancel");
        QCOMPARE(w->options(), Options{});
        QVERIFY(!QFileInfo::exists(OptionsFile::path(fx.folder)));
    }

    void aFailedSaveIsToldAndTheChoiceHoldsForTheRun()
    {
        UiFixture fx;
        auto w = loadedWindow(fx);
        QVERIFY(w);
        const QString path = OptionsFile::path(fx.folder);
        QVERIFY(QDir().mkdir(path)); // a directory where the file belongs
        chooseOptions(*w, "OK");
        QCOMPARE(fx.prompts.messages.size(), 1);
        QCOMPARE(fx.prompts.messages[0].text, QStringLiteral("The options could not be saved."));
        QCOMPARE(fx.prompts.messages[0].detail, path + ": " + qt_error_string(EISDIR));
        QCOMPARE(w->options(), pollingDaily);
        // A window opened later in the same run (a change of language) has them too.
        QCOMPARE(loadedWindow(fx, Language::Japanese)->options(), pollingDaily);
    }
};

QTEST_MAIN(TestOptionsDialog)
#include "tst_optionsdialog.moc"
