#include "UiTestKit.h"

#include "core/SettingsFile.h"
#include "monitor/Monitor.h"
#include "ui/AppController.h"
#include "ui/Controls.h"
#include "ui/FailureTexts.h"
#include "ui/MainWindow.h"
#include "ui/Twips.h"

#include <QAccessible>
#include <QAction>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextLayout>
#include <QToolTip>

Q_DECLARE_METATYPE(Language)

namespace {

QList<MainWindow *> mainWindows()
{
    QList<MainWindow *> out;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *m = qobject_cast<MainWindow *>(w))
            out << m;
    return out;
}

// The object names of the widgets Tab can reach, in focus-chain order from the first.
QStringList tabStops(QWidget *window)
{
    QStringList out;
    QWidget *w = window;
    do {
        w = w->nextInFocusChain();
        if (w != window && (w->focusPolicy() & Qt::TabFocus) && !out.contains(w->objectName()))
            out << w->objectName();
    } while (w != window);
    return out;
}

void chooseInLanguageDialog(const char *button)
{
    onNextModal([button](QWidget *dialog) {
        QCOMPARE(dialog->objectName(), QStringLiteral("AP"));
        QTest::mouseClick(child<QPushButton>(dialog, button), Qt::LeftButton);
    });
}

// Where the label puts ink, in its window's client coordinates (the window's background
// left out).
QRect inkOf(const QLabel *label)
{
    QImage image(label->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const_cast<QLabel *>(label)->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    QRect ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0)
                ink |= QRect(x, y, 1, 1);
    return ink.translated(label->pos());
}

// The lines a word-wrapped label breaks its text into, without the invisible word joiners.
QStringList linesOf(const QLabel *label)
{
    QTextLayout layout(label->text(), label->font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QStringList lines;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(label->contentsRect().width());
        lines << label->text().mid(line.textStart(), line.textLength()).remove(QChar(0x2060));
    }
    layout.endLayout();
    return lines;
}

// Records which Main windows were ever shown.
class ShowWatcher : public QObject {
public:
    QStringList shown;
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Show && qobject_cast<MainWindow *>(o))
            shown << o->objectName();
        return false;
    }
};

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup()
    {
        qDeleteAll(mainWindows());
        QCoreApplication::processEvents();
    }

    void showsItsControlsAndTextsAfterLoad_data();
    void showsItsControlsAndTextsAfterLoad();
    void opensItsClientAreaInPlaceAndMayShrink();
    void digitsAndStatusTextsNeverShareARow_data();
    void digitsAndStatusTextsNeverShareARow();
    void aLongLogFileLosesItsMiddleNotItsEnd();
    void buildsTheWholeMenuTree_data();
    void buildsTheWholeMenuTree();
    void intervalLabelsRead100MinusTheScrollValue();
    void appliesPortAndSpeedToTheEditorPortFirst();
    void firstStartWritesDefaultsAndShowsEnglish();
    void startsJapaneseOnlyWhenLanguageIsExactlyJ_data();
    void startsJapaneseOnlyWhenLanguageIsExactlyJ();
    void switchWritesTheFileBeforeTheOtherWindowOpens();
    void choosingEnglishInEnglishWindowWritesAndStays();
    void closingTheLanguageDialogRewritesAndSwitchesNothing();
    void aSwitchThatCannotWriteTheFileIsReportedAndDoesNotSwitch();
    void closingWritesOnlyWhenLanguageMatchesTheWindow();
    void aStartThatCannotWriteDefaultsEndsWithAMessage();
    void aFailedCycleIsToldInTheWindowsLanguage_data();
    void aFailedCycleIsToldInTheWindowsLanguage();
    void aPathInAMessageStaysOnOneLine_data();
    void aPathInAMessageStaysOnOneLine();
    void versionBoxShowsTheVersion();
    void helpOpensThePageInTheProgramFolder();
    void aJapaneseFontIsInstalled();

public Q_SLOTS:
    void openUrl(const QUrl &url) { m_openedUrls << url; }

private:
    QList<QUrl> m_openedUrls;
};

void TestMainWindow::showsItsControlsAndTextsAfterLoad_data()
{
    QTest::addColumn<Language>("language");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("save");
    QTest::newRow("English") << Language::English << "Form5"
                             << "stert comm"
                             << "stert save";
    QTest::newRow("Japanese") << Language::Japanese << "Form1"
                              << "通信スタート"
                              << "保存スタート";
}

void TestMainWindow::showsItsControlsAndTextsAfterLoad()
{
    QFETCH(Language, language);
    UiFixture fx;
    MainWindow w(language, fx.context);
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    QVERIFY(w.Form_Load(nullptr));
    QFETCH(QString, name);
    QCOMPARE(w.objectName(), name);
    QCOMPARE(w.windowTitle(), QStringLiteral("QSRLINK Ver1.01"));
    QFETCH(QString, start);
    QFETCH(QString, save);
    QCOMPARE(text(&w, "Command1"), start);
    QCOMPARE(text(&w, "Command2"), save);
    QVERIFY(child<QPushButton>(&w, "Command1")->isEnabled());
    QVERIFY(!child<QPushButton>(&w, "Command2")->isEnabled());
    // Labels stay English in both windows.
    QCOMPARE(text(&w, "Label1"), "Save file =" + fx.folder.data + "/qsr540.csv");
    QCOMPARE(text(&w, "Label2"), QStringLiteral("0"));
    QCOMPARE(text(&w, "Label3"), QString());
    QCOMPARE(text(&w, "Label4"), QString());
    QCOMPARE(text(&w, "Label7"), QStringLiteral("1"));
    QCOMPARE(text(&w, "Label12"), QStringLiteral("1"));
    QCOMPARE(text(&w, "Label8"), QStringLiteral("comm interval"));
    QCOMPARE(text(&w, "Label10"), QStringLiteral("save interval"));
    QCOMPARE(text(&w, "Label9"), QStringLiteral("sec"));
    QCOMPARE(text(&w, "Label11"), QStringLiteral("sec"));

    // Positions in twips, converted at the screen's logical DPI.
    QCOMPARE(child<QPushButton>(&w, "Command1")->geometry(), Twips::rect(720, 1200, 1335, 615));
    QCOMPARE(child<QPushButton>(&w, "Command2")->geometry(), Twips::rect(2760, 1200, 1335, 615));
    QCOMPARE(child<QScrollBar>(&w, "VScroll1")->geometry(), Twips::rect(1200, 2280, 255, 255));
    QCOMPARE(child<QScrollBar>(&w, "VScroll2")->geometry(), Twips::rect(3240, 2280, 255, 255));
    QCOMPARE(child<QLabel>(&w, "Label2")->pos(),
             QPoint(Twips::toPixels(1440), Twips::toPixels(480)));

    // Focus order: the two buttons, then the two interval selectors.
    QCOMPARE(tabStops(&w), (QStringList{"Command1", "Command2", "VScroll1", "VScroll2"}));
    for (const char *label : {"Label1", "Label2", "Label7"})
        QCOMPARE(child<QWidget>(&w, label)->focusPolicy(), Qt::NoFocus);
}

void TestMainWindow::opensItsClientAreaInPlaceAndMayShrink()
{
    for (Language language : {Language::English, Language::Japanese}) {
        UiFixture fx;
        MainWindow w(language, fx.context);
        w.show();
        // The stored place and size are the client area's, below the menu bar.
        const QWidget *client = w.centralWidget();
        QCOMPARE(QRect(client->mapToGlobal(QPoint()), client->size()),
                 Twips::rect(3510, 5190, 4695, 2835));
        const QSize half = w.size() / 2;
        w.resize(half);
        QCOMPARE(w.size(), half);
    }
}

void TestMainWindow::digitsAndStatusTextsNeverShareARow_data()
{
    QTest::addColumn<Language>("language");
    QTest::addColumn<bool>("lost");
    QTest::addColumn<bool>("lostFirst"); // before logging starts: "now saveing" comes later
    for (const Language language : {Language::English, Language::Japanese}) {
        const char *name = language == Language::English ? "English" : "Japanese";
        QTest::addRow("%s, loading", name) << language << false << false;
        QTest::addRow("%s, no reply", name) << language << true << false;
        QTest::addRow("%s, no reply, then logging", name) << language << true << true;
    }
}

void TestMainWindow::digitsAndStatusTextsNeverShareARow()
{
    QFETCH(Language, language);
    QFETCH(bool, lost);
    QFETCH(bool, lostFirst);
    UiFixture fx;
    MainWindow w(language, fx.context);
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    QVERIFY(w.Form_Load(nullptr));
    Monitor *monitor = w.monitor();
    const QDateTime at(QDate(2026, 12, 8), QTime(23, 58, 58));
    const QFont windowFont = child<QLabel>(&w, "Label8")->font();
    Q_EMIT monitor->pollStarted();
    Q_EMIT monitor->reading(at, "-12.345\r");
    if (lostFirst) {
        // Nothing to its right yet: the whole width, in the window's font.
        Q_EMIT monitor->instrumentLost(at, CycleResult{});
        QCOMPARE(child<QLabel>(&w, "Label3")->font(), windowFont);
    }
    Q_EMIT monitor->recordStarted();
    if (lost && !lostFirst)
        Q_EMIT monitor->instrumentLost(at, CycleResult{});
    auto *label3 = child<QLabel>(&w, "Label3");
    QCOMPARE(label3->text(), lost ? mainTexts(language).noReplySince.arg("23:58:58")
                                  : QStringLiteral("now loading"));
    QCOMPARE(text(&w, "Label4"), QStringLiteral("now saveing"));

    const QRect digits = inkOf(child<QLabel>(&w, "Label2"));
    const QRect polling = inkOf(label3), saving = inkOf(child<QLabel>(&w, "Label4"));
    QVERIFY(!polling.isEmpty() && !saving.isEmpty());
    // Inside the digits' 555-twip box, and still large in it.
    QVERIFY2(digits.top() >= Twips::toPixels(480) && digits.bottom() < Twips::toPixels(480 + 555) &&
                 digits.height() > Twips::toPixels(555) / 2,
             qPrintable(QDebug::toString(digits)));
    for (const QRect &status : {polling, saving})
        QVERIFY2(digits.bottom() < status.top(),
                 qPrintable(QDebug::toString(digits) + " over " + QDebug::toString(status)));
    // More than a word space apart, or they read as one sentence.
    const int space = QFontMetrics(child<QLabel>(&w, "Label8")->font()).horizontalAdvance(u' ');
    QVERIFY2(saving.left() - polling.right() > 2 * space,
             qPrintable(QDebug::toString(polling) + " runs into " + QDebug::toString(saving)));

    // A shorter text has the window's font again.
    Q_EMIT monitor->instrumentBack(at);
    QCOMPARE(label3->font(), windowFont);
}

void TestMainWindow::aLongLogFileLosesItsMiddleNotItsEnd()
{
    UiFixture fx;
    AppSettings s = SettingsFile::defaults(fx.folder.data);
    s.fom1file = QStringLiteral("/home/operator/.local/share/qsrlink/line-3/qsr540.csv");
    QVERIFY(writeBytes(fx.settingsPath(), SettingsFile::format(s)));
    MainWindow w(Language::English, fx.context);
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    QVERIFY(w.Form_Load(nullptr));
    w.show();
    auto *label = dynamic_cast<Controls::ElidedLabel *>(child<QLabel>(&w, "Label1"));
    QVERIFY(label);
    const QString whole = "Save file =" + s.fom1file;
    QCOMPARE(label->text(), whole);
    QCOMPARE(QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name), whole);
    QVERIFY(label->geometry().right() < w.centralWidget()->width());
    const QString shown = label->shownText();
    QVERIFY2(shown.startsWith("Save file =/home/") && shown.endsWith("/qsr540.csv") &&
                 shown.contains(QChar(0x2026)),
             qPrintable(shown));
    QVERIFY(label->fontMetrics().horizontalAdvance(shown) <= label->width());

    QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), label->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(label, &help);
    QTRY_COMPARE(QToolTip::text(), whole);
    QToolTip::hideText();

    w.resize(Twips::toPixels(9000), w.height());
    QCOMPARE(label->shownText(), whole);
}

void TestMainWindow::buildsTheWholeMenuTree_data()
{
    QTest::addColumn<Language>("language");
    QTest::addColumn<QStringList>("tree"); // "MENU=caption" then "  item=caption"
    QTest::newRow("English") << Language::English
                             << QStringList{"FILE=File(&F)",
                                            "  SAVE_AS=Save_File(&A)",
                                            "  HIFN=",
                                            "  END=End(&E)",
                                            "EDIT=Edit(&E)",
                                            "  COMM_SET=Comm_Set(&C)",
                                            "  Language=Language(&L)",
                                            "  PORTS=Ports(&P)",
                                            "  OPTIONS=Options(&O)",
                                            "COMM=Comm(&C)",
                                            "  SELECT=Select_Comm(&S)",
                                            "VIEW=View(&V)",
                                            "  TREND=Trend(&T)",
                                            "help=Help(&H)",
                                            "  gotohelp=help(&h)",
                                            "  ver=version(&V)"};
    QTest::newRow("Japanese") << Language::Japanese
                              << QStringList{"FILE=ファイル(&F)",
                                             "  SAVE_AS=名前をつけて保存(&A)",
                                             "  HIFN=",
                                             "  END=終了(&E)",
                                             "EDIT=設定(&E)",
                                             "  COMM_SET=Comm(&C)",
                                             "  Language=言語(&L)",
                                             "  PORTS=ポート(&P)",
                                             "  OPTIONS=オプション(&O)",
                                             "COMM=通信(&C)",
                                             "  SELECT=設定変更(&S)",
                                             "VIEW=表示(&V)",
                                             "  TREND=トレンド(&T)",
                                             "help=ヘルプ(&H)",
                                             "  gotohelp=ヘルプ(&H)",
                                             "  ver=バージョン情報(&V)"};
}

void TestMainWindow::buildsTheWholeMenuTree()
{
    QFETCH(Language, language);
    QFETCH(QStringList, tree);
    UiFixture fx;
    MainWindow w(language, fx.context);
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    QStringList actual;
    for (QAction *top : w.menuBar()->actions()) {
        QMenu *menu = top->menu();
        QVERIFY(menu);
        QVERIFY(top->isEnabled());
        actual << menu->objectName() + u'=' + top->text();
        for (QAction *item : menu->actions()) {
            actual << QStringLiteral("  ") + item->objectName() + u'=' + item->text();
            QVERIFY(item->isEnabled());
            QVERIFY(item->shortcut().isEmpty());
            QVERIFY(!item->isCheckable());
        }
    }
    QCOMPARE(actual, tree);
}

void TestMainWindow::intervalLabelsRead100MinusTheScrollValue()
{
    UiFixture fx;
    MainWindow w(Language::English, fx.context);
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    QVERIFY(w.Form_Load(nullptr));
    auto *bar = child<QScrollBar>(&w, "VScroll1");
    auto *label = child<QLabel>(&w, "Label7");
    QCOMPARE(bar->value(), 99);
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 99);
    const int edge = label->geometry().right();
    bar->setValue(0);
    QCOMPARE(label->text(), QStringLiteral("100"));
    QCOMPARE(label->geometry().right(), edge); // grows to the left, clear of the bar
    QVERIFY(label->geometry().right() < bar->x());
    // The upper arrow raises the number of seconds.
    bar->setValue(90);
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    QCOMPARE(label->text(), QStringLiteral("11"));
    child<QScrollBar>(&w, "VScroll2")->setValue(98);
    QCOMPARE(text(&w, "Label12"), QStringLiteral("2"));
}

void TestMainWindow::appliesPortAndSpeedToTheEditorPortFirst()
{
    UiFixture fx;
    AppSettings s = SettingsFile::defaults(fx.folder.data);
    s.port = 2;
    s.baud = 19200;
    s.lang = QStringLiteral("e");
    QVERIFY(writeBytes(fx.settingsPath(), SettingsFile::format(s)));
    MainWindow w(Language::English, fx.context);
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    QVERIFY(w.Form_Load(nullptr));
    for (SerialPort *p : {w.editorPort(), w.mainPort()}) {
        QCOMPARE(p->commPort(), 3);
        QCOMPARE(p->settings(), QStringLiteral("19200,N,8,1"));
        QVERIFY(!p->isBusy());
    }
}

void TestMainWindow::firstStartWritesDefaultsAndShowsEnglish()
{
    UiFixture fx;
    AppController app(fx.context);
    QVERIFY(app.start());
    QCOMPARE(app.currentWindow()->objectName(), QStringLiteral("Form5"));
    QVERIFY(app.currentWindow()->isVisible());
    QCOMPARE(fileBytes(fx.settingsPath()),
             SettingsFile::defaultBytes(fx.folder.data, SettingsRead::Full));
    QCOMPARE(app.currentWindow()->logDialogName(), fx.folder.data + "/540comm.csv");
    QCOMPARE(fx.session.editorFileName(), fx.folder.data + "/540comm.txt");
}

void TestMainWindow::startsJapaneseOnlyWhenLanguageIsExactlyJ_data()
{
    QTest::addColumn<QString>("lang");
    QTest::addColumn<QString>("window");
    QTest::newRow("j") << "j"
                       << "Form1";
    QTest::newRow("J") << "J"
                       << "Form5";
    QTest::newRow("ja") << "ja"
                        << "Form5";
    QTest::newRow("empty") << ""
                           << "Form5";
    QTest::newRow("e") << "e"
                       << "Form5";
}

void TestMainWindow::startsJapaneseOnlyWhenLanguageIsExactlyJ()
{
    QFETCH(QString, lang);
    QFETCH(QString, window);
    UiFixture fx;
    AppSettings s = SettingsFile::defaults(fx.folder.data);
    s.lang = lang;
    s.params.under = -250;
    const QByteArray before = SettingsFile::format(s);
    QVERIFY(writeBytes(fx.settingsPath(), before));
    ShowWatcher watcher;
    qApp->installEventFilter(&watcher);
    AppController app(fx.context);
    QVERIFY(app.start());
    qApp->removeEventFilter(&watcher);
    QCOMPARE(watcher.shown, QStringList{window});
    QCOMPARE(mainWindows().size(), 1);
    QCOMPARE(fx.session.settings().lang, lang);
    QCOMPARE(fx.session.settings().params.under, -250);
    QCOMPARE(fileBytes(fx.settingsPath()), before); // the hand-over wrote nothing
}

void TestMainWindow::switchWritesTheFileBeforeTheOtherWindowOpens()
{
    UiFixture fx;
    AppController app(fx.context);
    QVERIFY(app.start());
    // Values held only in memory reach the Japanese window only through the file.
    fx.session.settings().params.senter = 77;
    fx.session.settings().port = 4;
    fx.session.settings().fom1file = QStringLiteral("/tmp/測定.csv");
    QPointer<MainWindow> english = app.currentWindow();
    chooseInLanguageDialog("Command1");
    english->findChild<QAction *>(QStringLiteral("Language"))->trigger();
    QCoreApplication::processEvents();
    QVERIFY(english.isNull());
    MainWindow *japanese = app.currentWindow();
    QVERIFY(japanese);
    QCOMPARE(japanese->objectName(), QStringLiteral("Form1"));
    QVERIFY(japanese->isVisible());
    QCOMPARE(fx.session.settings().params.senter, 77);
    QCOMPARE(japanese->mainPort()->commPort(), 5);
    QCOMPARE(text(japanese, "Label1"), QStringLiteral("Save file =/tmp/測定.csv"));
    QVERIFY(fileBytes(fx.settingsPath()).endsWith("\r\nj\r\n"));
    QCOMPARE(mainWindows().size(), 1);
    QCOMPARE(fx.prompts.messages.size(), 0);

    // And back: the Japanese window switches to English the same way.
    chooseInLanguageDialog("Command2");
    japanese->findChild<QAction *>(QStringLiteral("Language"))->trigger();
    QCoreApplication::processEvents();
    QCOMPARE(app.currentWindow()->objectName(), QStringLiteral("Form5"));
    QVERIFY(fileBytes(fx.settingsPath()).endsWith("\r\ne\r\n"));
}

void TestMainWindow::choosingEnglishInEnglishWindowWritesAndStays()
{
    UiFixture fx;
    AppController app(fx.context);
    QVERIFY(app.start());
    QSignalSpy finished(&app, &AppController::finished);
    QPointer<MainWindow> english = app.currentWindow();
    chooseInLanguageDialog("Command2");
    english->findChild<QAction *>(QStringLiteral("Language"))->trigger();
    QVERIFY(!english.isNull());
    QVERIFY(fileBytes(fx.settingsPath()).endsWith("\r\ne\r\n"));
    QFile::remove(fx.settingsPath());
    english->close();
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished[0][0].toInt(), 0);
    QVERIFY(fileBytes(fx.settingsPath()).endsWith("\r\ne\r\n")); // written again at the end
}

void TestMainWindow::closingTheLanguageDialogRewritesAndSwitchesNothing()
{
    UiFixture fx;
    AppController app(fx.context);
    QVERIFY(app.start());
    fx.session.settings().baud = 300;
    QPointer<MainWindow> english = app.currentWindow();
    onNextModal([](QWidget *dialog) { dialog->close(); });
    english->findChild<QAction *>(QStringLiteral("Language"))->trigger();
    QVERIFY(!english.isNull());
    QCOMPARE(app.currentWindow(), english.data());
    QCOMPARE(fx.session.settings().lang, QString());
    QVERIFY(fileBytes(fx.settingsPath()).startsWith("0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,300\r\n"));
}

void TestMainWindow::aSwitchThatCannotWriteTheFileIsReportedAndDoesNotSwitch()
{
    UiFixture fx;
    AppController app(fx.context);
    QVERIFY(app.start());
    QPointer<MainWindow> english = app.currentWindow();
    QVERIFY(QFile::remove(fx.settingsPath()));
    QVERIFY(QDir().mkdir(fx.settingsPath())); // a folder where the file should be
    chooseInLanguageDialog("Command1");
    english->findChild<QAction *>(QStringLiteral("Language"))->trigger();
    QCoreApplication::processEvents();
    QVERIFY(!english.isNull());
    QCOMPARE(app.currentWindow(), english.data());
    QCOMPARE(mainWindows().size(), 1);
    QCOMPARE(fx.prompts.messages.size(), 1);
    QCOMPARE(fx.prompts.messages[0].text,
             QStringLiteral("The settings file could not be written."));
    QVERIFY(fx.prompts.messages[0].detail.contains(QStringLiteral("540comm.st")));

    // The window stays English in memory too: once the file can be written again, a later
    // change reaches it when the window closes.
    QVERIFY(QDir().rmdir(fx.settingsPath()));
    fx.session.settings().baud = 1200;
    QSignalSpy finished(&app, &AppController::finished);
    english->close();
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished[0][0].toInt(), 0);
    const QByteArray written = fileBytes(fx.settingsPath());
    QVERIFY2(written.startsWith("0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1200\r\n"), written);
    QVERIFY2(written.endsWith("\r\ne\r\n"), written);
}

void TestMainWindow::closingWritesOnlyWhenLanguageMatchesTheWindow()
{
    UiFixture fx;
    {
        AppController app(fx.context);
        QVERIFY(app.start());
        QSignalSpy finished(&app, &AppController::finished);
        QVERIFY(QFile::remove(fx.settingsPath()));
        app.currentWindow()->findChild<QAction *>(QStringLiteral("END"))->trigger();
        QCOMPARE(finished.size(), 1);
        QVERIFY(!QFile::exists(fx.settingsPath())); // lang still empty: nothing written
    }
    {
        // A failed write at the end is told, and the program still ends, with status 1.
        AppSettings s = SettingsFile::defaults(fx.folder.data);
        s.lang = QStringLiteral("e");
        QVERIFY(writeBytes(fx.settingsPath(), SettingsFile::format(s)));
        AppController app(fx.context);
        QVERIFY(app.start());
        QSignalSpy finished(&app, &AppController::finished);
        QVERIFY(QFile::remove(fx.settingsPath()));
        QVERIFY(QDir().mkdir(fx.settingsPath()));
        app.currentWindow()->close();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].toInt(), 1);
        QCOMPARE(fx.prompts.messages.size(), 1);
    }
}

void TestMainWindow::aStartThatCannotWriteDefaultsEndsWithAMessage()
{
    QTemporaryDir dir;
    const QString notAFolder = dir.filePath(QStringLiteral("plain-file"));
    QVERIFY(writeBytes(notAFolder, "x"));
    UiFixture fx(notAFolder);
    AppController app(fx.context);
    QVERIFY(!app.start());
    QCOMPARE(app.exitCode(), 1);
    QCOMPARE(mainWindows().size(), 0);
    QCOMPARE(fx.prompts.messages.size(), 1);
    QCOMPARE(fx.prompts.messages[0].text,
             QStringLiteral("QSRLINK cannot start: the settings file %1 cannot be written.")
                 .arg(fx.settingsPath()));
    QVERIFY(fx.prompts.messages[0].detail.startsWith(fx.settingsPath()));
}

void TestMainWindow::aFailedCycleIsToldInTheWindowsLanguage_data()
{
    QTest::addColumn<Language>("language");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("causeKnown");
    QTest::addColumn<QString>("detail");
    const auto timedOut = int(CycleStatus::TimedOut), dropped = int(CycleStatus::OutputDropped);
    const auto openFailed = int(CycleStatus::OpenFailed);
    QTest::newRow("time-out") << Language::Japanese << timedOut << true << QString();
    QTest::newRow("dropped, English")
        << Language::English << dropped << true
        << "12 bytes waiting to be sent did not leave in time and were discarded.";
    QTest::newRow("dropped, Japanese")
        << Language::Japanese << dropped << true
        << "送信待ちの 12 バイトが時間内に送信されず、破棄されました。";
    QTest::newRow("system's reason") << Language::Japanese << int(CycleStatus::LineFailed) << true
                                     << "/dev/ttyUSB0: Input/output error";
    QTest::newRow("port held, English")
        << Language::English << openFailed << true
        << "/dev/ttyUSB0 is in use by another program (minicom, process 1234). Close it and try "
           "again.";
    QTest::newRow("port held, Japanese")
        << Language::Japanese << openFailed << true
        << "/dev/ttyUSB0 は他のプログラム（minicom、プロセス 1234）が使用中です。"
           "そのプログラムを終了してから、もう一度お試しください。";
    QTest::newRow("open failed, cause unknown")
        << Language::English << openFailed << false << "/dev/ttyUSB0: Input/output error";
}

void TestMainWindow::aFailedCycleIsToldInTheWindowsLanguage()
{
    QFETCH(Language, language);
    QFETCH(int, status);
    QFETCH(bool, causeKnown);
    QFETCH(QString, detail);
    CycleResult r;
    r.status = CycleStatus(status);
    r.reason = QStringLiteral("/dev/ttyUSB0: Input/output error");
    r.unsent = 12;
    r.problem.cause = causeKnown ? PortProblem::Cause::HeldByProgram : PortProblem::Cause::Unknown;
    r.problem.device = QStringLiteral("/dev/ttyUSB0");
    r.problem.pid = 1234;
    r.problem.program = QStringLiteral("minicom");
    QCOMPARE(failureDetail(mainTexts(language), r), detail);
}

void TestMainWindow::aPathInAMessageStaysOnOneLine_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("shortened");
    const MainTexts &en = mainTexts(Language::English), &ja = mainTexts(Language::Japanese);
    const QString perUser = QStringLiteral("/home/operator/.local/share/qsrlink/540comm.st");
    QTest::newRow("settings file")
        << en.startNotWritten.arg(perUser) << perUser + ": Permission denied" << perUser << false;
    const QString named = QStringLiteral("/home/operator/測定データ-ライン3/540comm.st");
    QTest::newRow("Japanese names")
        << ja.startNotWritten.arg(named) << named + ": Permission denied" << named << false;
    const QString log =
        QStringLiteral("/home/operator/Documents/measurements/line-3/qsr540-2026-12-08.csv");
    QTest::newRow("log held") << en.logHeld << en.logHeldBy.arg(log, "qsrlink-logger", "1234")
                              << log << false;
    QString deep = QStringLiteral("/srv");
    for (int i = 0; i < 12; ++i)
        deep += QStringLiteral("/measurements-%1").arg(i);
    deep += QStringLiteral("/qsr540.csv");
    QTest::newRow("wider than the screen")
        << en.logNotWritten << deep + ": No such file" << deep << true;
}

void TestMainWindow::aPathInAMessageStaysOnOneLine()
{
    QFETCH(QString, message);
    QFETCH(QString, detail);
    QFETCH(QString, path);
    QFETCH(bool, shortened);
    bool seen = false;
    onNextModal([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        seen = true;
        QStringList lines, texts;
        for (const QLabel *label : box->findChildren<QLabel *>()) {
            if (!label->text().isEmpty()) {
                lines << linesOf(label);
                texts << label->text();
            }
        }
        if (shortened) {
            // Its middle left out; the whole text below "Show Details".
            QCOMPARE(box->detailedText(), message + "\n\n" + detail);
            const QRegularExpression ends(QRegularExpression::escape(path.left(12)) + ".*" +
                                          QChar(0x2026) + ".*" +
                                          QRegularExpression::escape(path.right(12)));
            QVERIFY2(!lines.filter(ends).isEmpty(), qPrintable(lines.join('|')));
        } else {
            QCOMPARE(texts, (QStringList{message, detail}));
            QVERIFY2(lines.filter(path).size() == texts.filter(path).size(),
                     qPrintable(lines.join('|')));
        }
        box->accept();
    });
    DialogPrompts().message(nullptr, message, detail);
    QVERIFY(seen);
}

void TestMainWindow::versionBoxShowsTheVersion()
{
    UiFixture fx;
    AppController app(fx.context);
    QVERIFY(app.start());
    bool seen = false;
    onNextModal([&seen](QWidget *box) {
        seen = true;
        QCOMPARE(box->objectName(), QStringLiteral("Form4"));
        QCOMPARE(box->windowTitle(), QStringLiteral("version"));
        QCOMPARE(text(box, "Label3"), QStringLiteral("1.01"));
        QCOMPARE(text(box, "Label2"), QStringLiteral("programed by"));
        QTest::mouseClick(child<QPushButton>(box, "Command1"), Qt::LeftButton);
    });
    app.currentWindow()->findChild<QAction *>(QStringLiteral("ver"))->trigger();
    QVERIFY(seen);
}

void TestMainWindow::helpOpensThePageInTheProgramFolder()
{
    UiFixture fx;
    QVERIFY(writeBytes(fx.folder.install + "/QSR540_COMM.HTML", "<html></html>"));
    AppController app(fx.context);
    QVERIFY(app.start());
    m_openedUrls.clear();
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
    app.currentWindow()->findChild<QAction *>(QStringLiteral("gotohelp"))->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(m_openedUrls.size(), 1);
    QCOMPARE(m_openedUrls[0].toLocalFile(), fx.folder.install + "/QSR540_COMM.HTML");
}

void TestMainWindow::aJapaneseFontIsInstalled()
{
    const QStringList families = QFontDatabase::families(QFontDatabase::Japanese);
    QVERIFY2(families.filter(QStringLiteral("CJK")).size() > 0,
             "install fonts-noto-cjk: Japanese texts would show as boxes");
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
