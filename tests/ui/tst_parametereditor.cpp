#include "UiTestKit.h"

#include "params/ParameterFile.h"
#include "ui/MainTexts.h"
#include "ui/ParameterEditor.h"
#include "ui/Printer.h"
#include "ui/Twips.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleOptionComboBox>

Q_DECLARE_METATYPE(Language)

namespace {

QLineEdit *box(QWidget *w, const char *name)
{
    return child<QLineEdit>(w, name);
}

QString frameCaption(QWidget *w)
{
    return child<QGroupBox>(w, "Frame1")->title();
}

void trigger(QWidget *w, const char *action)
{
    child<QAction>(w, action)->trigger();
}

// Replaces a box's text as a user would: select all, then type.
void typeInto(QLineEdit *edit, const QString &keys)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, keys);
}

QStringList items(const QComboBox *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->itemText(i);
    return out;
}

ParameterSet sample()
{
    ParameterSet p;
    const std::array<int, 15> v{500, 600, -50, 3, 4, 7, 2, 0, 1, 2, 0, 1, 0, 0, 0};
    for (int i = 0; i < 15; ++i)
        p.setField(i, v[size_t(i)]);
    return p;
}

QString reply(qint32 v)
{
    return QString::number(v) + u'\r';
}

struct Editor {
    explicit Editor(UiFixture &fx, Language language = Language::English)
        : editorPort(fx.lines), mainPort(fx.lines), device(fx.device()),
          window(language, fx.context, &editorPort, &mainPort)
    {
    }
    SerialPort editorPort, mainPort; // both on COM1
    FakeSerialDevice &device;
    ParameterEditor window;
};

} // namespace

class TestParameterEditor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void showsItsTextsAndListItems_data();
    void showsItsTextsAndListItems();
    void buildsItsMenus_data();
    void buildsItsMenus();
    void placesControlsInTwips_data();
    void placesControlsInTwips();
    void frameCaptionAndListItemsFitWithoutMovingAnything();
    void tabOrderFollowsTheLayout_data();
    void tabOrderFollowsTheLayout();
    void viewToggleSwitchesLayoutAndBack_data();
    void viewToggleSwitchesLayoutAndBack();
    void opensShowingTheParameterSet();
    void aValueNoControlCanShowLeavesThatControl();
    void aLongValueIsShownWhole();
    void limitBoxesKeepOnlyNumbersAtEveryKeystroke_data();
    void limitBoxesKeepOnlyNumbersAtEveryKeystroke();
    void modeSpinnersShow255MinusTheirValue();
    void okCommitsAndClosesTheCloseBoxDoesNot();
    void fileCloseCommitsLikeOk();
    void everyWayOfClosingEndsTheRecoveryFileName_data();
    void everyWayOfClosingEndsTheRecoveryFileName();
    void loadStoresEachReplyAndShowsAtTheEnd();
    void aFailedLoadKeepsStoredFieldsAndOldControls_data();
    void aFailedLoadKeepsStoredFieldsAndOldControls();
    void loadIsRefusedWhileACycleWaitsOnThePort();
    void closingDuringALoadEndsItQuietly();
    void destroyingDuringALoadEndsItQuietly();
    void transmissionCommitsThenSends_data();
    void transmissionCommitsThenSends();
    void closingDuringATransmissionWaitsUntilItIsSent();
    void aFailedTransmissionIsReported_data();
    void aFailedTransmissionIsReported();
    void saveThenOpenRoundTrips();
    void saveAsAppendsTxtCaseSensitively_data();
    void saveAsAppendsTxtCaseSensitively();
    void cancelledDialogsChangeNothing();
    void openOfAMissingFileReportsAndChangesNothing();
    void aFailedSaveIsReportedAndKeepsTheCommit();
    void saveWritesQsr540TxtInTheWorkingFolder();
    void printWritesThePdfOfTheClientArea();
    void aFailedPrintIsReported();
    void commSetOpensTheSettingsDialogOfTheSameLanguage_data();
    void commSetOpensTheSettingsDialogOfTheSameLanguage();
};

void TestParameterEditor::initTestCase()
{
    qRegisterMetaType<Language>();
}

void TestParameterEditor::showsItsTextsAndListItems_data()
{
    QTest::addColumn<Language>("language");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("buttons"); // Command1, Command3, Command4, Command5
    QTest::addColumn<QStringList>("labels");  // Label1..Label12, Label14, Label15
    QTest::addColumn<QList<QStringList>>("lists");

    const QList<QStringList> englishLists{
        {"0(1)", "1(2)", "2(4)", "3(8)", "4(16)", "5(32)", "6(64)", "7(128)", "8(256)", "9(512)",
         "10(1024)", "11(2048)"},
        {"0(1um/V)", "1(10um/V)", "2(100um/V)", "3(1mm/V)", "4(10mm/V)", "5(100mm/V)", "7(1m/V)"},
        {"0(Absolute）", "1(Deviation）"},
        {"0(ON）", "1（OFF）"},
        {"0(0.99999)", "1(9.9999)", "2(99.999)", "3(999.99)", "4(9999.9)"},
        {"0(0.25sec）", "1（AVE）"},
        {"0(error）", "1（no error ）"},
        {"0(Normal)", "1(Cancel)"},
        {"0(2000scan)", "1(400scan)"},
        {"0(OFF)", "1(ON)"}};
    QList<QStringList> japaneseLists = englishLists;
    japaneseLists[2] = {"0(絶対出力）", "1（偏差出力）"};
    japaneseLists[3] = {"0(する）", "1（しない）"};
    japaneseLists[5] = {"0(0.25秒）", "1（平均回数）"};
    japaneseLists[6] = {"0(エラーする）", "1（エラーしない）"};
    japaneseLists[7] = {"0通常測定", "1キャンセル"};
    japaneseLists[8] = {"0高速", "1低速"};
    japaneseLists[9] = {"0自己診断オフ", "1自己診断オン"};

    QTest::newRow("English") << Language::English << "Form6"
                             << QStringList{"Standard", "Load", "Transmission", "Ok"}
                             << QStringList{"REF PRESET",
                                            "HIGH LIMIT",
                                            "LOW LIMIT",
                                            "AVE",
                                            "MODE",
                                            "GAIN",
                                            "Recorder output",
                                            "Zero suppress",
                                            "D.P.",
                                            "Display renewal",
                                            "No object",
                                            "Edg number moniter",
                                            "Speed",
                                            "Self test"}
                             << englishLists;
    QTest::newRow("Japanese") << Language::Japanese << "Form2"
                              << QStringList{"全表示", "受信", "送信", "Ok"}
                              << QStringList{"中心値",
                                             "上限値",
                                             "下限値",
                                             "平均回数",
                                             "測定モード",
                                             "レコーダ出力ゲイン",
                                             "レコーダ絶対、偏差",
                                             "ゼロサプレス",
                                             "小数点位置",
                                             "表示タイミング",
                                             "測定物の無い時のエラー",
                                             "エッジ数の監視",
                                             "高速、低速の切り替え",
                                             "自己診断モード"}
                              << japaneseLists;
}

void TestParameterEditor::showsItsTextsAndListItems()
{
    QFETCH(Language, language);
    QFETCH(QString, name);
    QFETCH(QStringList, buttons);
    QFETCH(QStringList, labels);
    QFETCH(QList<QStringList>, lists);
    UiFixture fx;
    Editor e(fx, language);
    QWidget *w = &e.window;

    QCOMPARE(w->objectName(), name);
    QCOMPARE(w->windowTitle(), QStringLiteral("SELECT COMM"));
    QVERIFY(w->isModal());
    QVERIFY(!(w->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    const char *buttonNames[] = {"Command1", "Command3", "Command4", "Command5"};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(child<QPushButton>(w, buttonNames[i])->text(), buttons[i]);
    const char *labelNames[] = {"Label1",  "Label2",  "Label3",  "Label4", "Label5",
                                "Label6",  "Label7",  "Label8",  "Label9", "Label10",
                                "Label11", "Label12", "Label14", "Label15"};
    for (int i = 0; i < 14; ++i)
        QCOMPARE(child<QLabel>(w, labelNames[i])->text(), labels[i]);
    QCOMPARE(child<QLabel>(w, "Label13")->text(), QStringLiteral("0"));
    QCOMPARE(child<QLabel>(w, "Label16")->text(), QStringLiteral("0"));
    QCOMPARE(frameCaption(w), QString());
    const char *listNames[] = {"Combo1", "Combo3", "Combo4", "Combo5",  "Combo6",
                               "Combo7", "Combo8", "Combo9", "Combo11", "Combo12"};
    for (int i = 0; i < 10; ++i) {
        auto *list = child<QComboBox>(w, listNames[i]);
        QCOMPARE(items(list), lists[i]);
        QVERIFY(!list->isEditable());
    }
    for (const char *name : {"Text1", "Text2", "Text3"})
        QCOMPARE(box(w, name)->maxLength(), 5);
}

void TestParameterEditor::buildsItsMenus_data()
{
    QTest::addColumn<Language>("language");
    QTest::addColumn<QStringList>("tree");
    QTest::newRow("English") << Language::English
                             << QStringList{
                                    "FILE=File(&F)",           "  OPEN=Open(&O)",
                                    "  SAVE=Save_As...(&A)",   "  SAVE_AS=Save(&S)",
                                    "  PRINT=Print(&P)",       "  HIFN=",
                                    "  CLOSE=Close(&C)",       "EDIT=Edit(&E)",
                                    "  COMM_SET=Comm_Set(&C)", "  DETAILS=Details/Standard(&D)"};
    QTest::newRow("Japanese") << Language::Japanese << QStringList{"FILE=ファイル(&F)",
                                                                   "  OPEN=開く(&O)",
                                                                   "  SAVE=名前をつけて保存(&A)",
                                                                   "  SAVE_AS=上書き保存(&S)",
                                                                   "  PRINT=印刷(&P)",
                                                                   "  HIFN=",
                                                                   "  CLOSE=閉じる(&C)",
                                                                   "EDIT=設定(&E)",
                                                                   "  COMM_SET=Comm(&C)",
                                                                   "  DETAILS=全表示/隠す(&D)"};
}

void TestParameterEditor::buildsItsMenus()
{
    QFETCH(Language, language);
    QFETCH(QStringList, tree);
    UiFixture fx;
    Editor e(fx, language);
    auto *bar = e.window.findChild<QMenuBar *>();
    QVERIFY(bar);
    QStringList got;
    for (QAction *top : bar->actions()) {
        QMenu *menu = top->menu();
        got << menu->objectName() + u'=' + menu->title();
        for (QAction *item : menu->actions()) {
            got << QStringLiteral("  ") + item->objectName() + u'=' + item->text();
            QVERIFY(item->isEnabled());
            QVERIFY(!item->isCheckable());
            QVERIFY(item->shortcut().isEmpty());
        }
    }
    QCOMPARE(got, tree);
}

void TestParameterEditor::placesControlsInTwips_data()
{
    QTest::addColumn<Language>("language");
    QTest::addColumn<int>("clientWidth");
    QTest::addColumn<QRect>("command1");
    QTest::addColumn<QRect>("command4");
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<int>("textWidth");
    QTest::addColumn<int>("listWidth");
    QTest::newRow("English") << Language::English << 5910 << QRect(4800, 360, 855, 495)
                             << QRect(1200, 240, 1215, 375) << QRect(240, 120, 4335, 2295) << 1695
                             << 1935;
    QTest::newRow("Japanese") << Language::Japanese << 5550 << QRect(4560, 360, 735, 495)
                              << QRect(1560, 240, 615, 375) << QRect(240, 120, 4095, 2295) << 1455
                              << 1695;
}

void TestParameterEditor::placesControlsInTwips()
{
    QFETCH(Language, language);
    QFETCH(int, clientWidth);
    QFETCH(QRect, command1);
    QFETCH(QRect, command4);
    QFETCH(QRect, frame);
    QFETCH(int, textWidth);
    QFETCH(int, listWidth);
    UiFixture fx;
    Editor e(fx, language);
    QWidget *w = &e.window;
    const auto twips = [](const QRect &r) {
        return Twips::rect(r.x(), r.y(), r.width(), r.height());
    };
    QCOMPARE(child<QWidget>(w, "client")->size(), Twips::size(clientWidth, 2565));
    QCOMPARE(child<QPushButton>(w, "Command1")->geometry(), twips(command1));
    QCOMPARE(child<QPushButton>(w, "Command5")->geometry(),
             twips(command1.translated(0, 1200 - 360)));
    QCOMPARE(child<QGroupBox>(w, "Frame1")->geometry(), twips(frame));
    // Inside the frame, relative to it.
    QCOMPARE(child<QPushButton>(w, "Command3")->geometry(), Twips::rect(240, 240, 615, 375));
    QCOMPARE(child<QPushButton>(w, "Command4")->geometry(), twips(command4));
    QCOMPARE(box(w, "Text3")->geometry(), Twips::rect(2160, 1440, textWidth, 270));
    QCOMPARE(child<QComboBox>(w, "Combo1")->geometry(), Twips::rect(2160, 1800, listWidth, 300));
    QCOMPARE(child<QLabel>(w, "Label15")->pos(),
             QPoint(Twips::toPixels(240), Twips::toPixels(5400)));
    QCOMPARE(child<QScrollBar>(w, "VScroll2")->geometry(), Twips::rect(3600, 2160, 255, 255));
}

void TestParameterEditor::frameCaptionAndListItemsFitWithoutMovingAnything()
{
    for (Language language : {Language::English, Language::Japanese}) {
        UiFixture fx;
        Editor e(fx, language);
        e.window.show();
        auto *frame = child<QGroupBox>(&e.window, "Frame1");
        // The caption goes in the top border: from the buttons' top down, nothing moves.
        const QImage bare = frame->grab().toImage();
        frame->setTitle(editorTexts(language).nowTransmission);
        const QImage captioned = frame->grab().toImage();
        const QRect below = bare.rect().adjusted(0, child<QWidget>(frame, "Command3")->y(), 0, 0);
        QVERIFY(captioned != bare);
        QCOMPARE(captioned.copy(below), bare.copy(below));
        frame->setTitle(QString());
        QCOMPARE(frame->grab().toImage(), bare);

        // Every item shows whole in its list, which stays inside the frame. A closed list
        // draws its item 1 pixel in from each side of its field.
        for (QComboBox *list : frame->findChildren<QComboBox *>()) {
            QStyleOptionComboBox option;
            option.initFrom(list);
            const QRect field = list->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                              QStyle::SC_ComboBoxEditField, list);
            for (int i = 0; i < list->count(); ++i) {
                const QRect ink = list->fontMetrics().tightBoundingRect(list->itemText(i));
                QVERIFY2(ink.right() + 1 <= field.width() - 2, qPrintable(list->itemText(i)));
            }
            QCOMPARE_LE(list->geometry().right(), frame->contentsRect().right());
            list->showPopup();
            QCOMPARE_GE(list->view()->window()->width(), list->width());
            list->hidePopup();
        }
    }
}

void TestParameterEditor::tabOrderFollowsTheLayout_data()
{
    QTest::addColumn<Language>("language");
    QTest::addColumn<bool>("details");
    QTest::addColumn<QStringList>("order");
    const QStringList standard{"Command3", "Command4", "Text1",   "Text2",
                               "Text3",    "Combo1",   "Command5"};
    const QStringList details{"Command3", "Command4", "Text1",  "Text2",   "Text3",   "Combo1",
                              "VScroll1", "VScroll2", "Combo3", "Combo4",  "Combo5",  "Combo6",
                              "Combo7",   "Combo8",   "Combo9", "Combo11", "Combo12", "Command5"};
    QTest::newRow("English standard") << Language::English << false << standard;
    QTest::newRow("English details") << Language::English << true << details;
    QTest::newRow("Japanese standard") << Language::Japanese << false << standard;
    QTest::newRow("Japanese details") << Language::Japanese << true << details;
}

void TestParameterEditor::tabOrderFollowsTheLayout()
{
    QFETCH(Language, language);
    QFETCH(bool, details);
    QFETCH(QStringList, order);
    UiFixture fx;
    Editor e(fx, language);
    e.window.show();
    QApplication::setActiveWindow(&e.window);
    QVERIFY(QTest::qWaitForWindowActive(&e.window));
    if (details)
        click(&e.window, "Command1");
    QCOMPARE(tabWalk(&e.window, child<QWidget>(&e.window, "Command3")), order);
    QVERIFY(!(child<QWidget>(&e.window, "Command1")->focusPolicy() & Qt::TabFocus));
    // Standard again: the detail lists leave the tab order once more.
    if (details) {
        click(&e.window, "Command1");
        QCOMPARE(tabWalk(&e.window, child<QWidget>(&e.window, "Command3")).size(), 7);
    }
}

void TestParameterEditor::viewToggleSwitchesLayoutAndBack_data()
{
    QTest::addColumn<Language>("language");
    QTest::addColumn<QString>("standard");
    QTest::addColumn<QString>("details");
    QTest::newRow("English") << Language::English << "Standard"
                             << "Details";
    QTest::newRow("Japanese") << Language::Japanese << "全表示"
                              << "隠す";
}

void TestParameterEditor::viewToggleSwitchesLayoutAndBack()
{
    QFETCH(Language, language);
    QFETCH(QString, standard);
    QFETCH(QString, details);
    UiFixture fx;
    Editor e(fx, language);
    QWidget *w = &e.window;
    w->show();
    auto *client = child<QWidget>(w, "client");
    const int width = client->width();
    const QStringList modeRow{"Label5", "Label13", "Label16", "VScroll1", "VScroll2"};
    const auto modeRowVisible = [&] {
        int n = 0;
        for (const QString &name : modeRow)
            n += child<QWidget>(w, name.toLatin1().constData())->isVisible();
        return n;
    };
    QCOMPARE(modeRowVisible(), 0);
    QVERIFY(!e.window.isDetailed());

    click(w, "Command1");
    QCOMPARE(child<QPushButton>(w, "Command1")->text(), details);
    QVERIFY(e.window.isDetailed());
    QCOMPARE(client->size(), QSize(width, Twips::toPixels(2565 + 3600)));
    QCOMPARE(child<QGroupBox>(w, "Frame1")->height(), Twips::toPixels(5895));
    QCOMPARE(modeRowVisible(), 5);
    QTRY_COMPARE(w->height() - client->height(), w->findChild<QMenuBar *>()->height());

    click(w, "Command1");
    QCOMPARE(child<QPushButton>(w, "Command1")->text(), standard);
    QVERIFY(!e.window.isDetailed());
    QCOMPARE(client->size(), QSize(width, Twips::toPixels(2565)));
    QCOMPARE(child<QGroupBox>(w, "Frame1")->height(), Twips::toPixels(2295));
    QCOMPARE(modeRowVisible(), 0);
    QTRY_COMPARE(w->height(), client->height() + w->findChild<QMenuBar *>()->height());
}

void TestParameterEditor::opensShowingTheParameterSet()
{
    UiFixture fx;
    {
        // A first run: every field 0.
        Editor e(fx);
        for (const char *name : {"Text1", "Text2", "Text3"})
            QCOMPARE(box(&e.window, name)->text(), QStringLiteral("0"));
        for (QComboBox *list : e.window.findChildren<QComboBox *>())
            QCOMPARE(list->currentIndex(), 0);
        QCOMPARE(child<QScrollBar>(&e.window, "VScroll1")->value(), 255);
        QCOMPARE(child<QLabel>(&e.window, "Label16")->text(), QStringLiteral("0"));
    }
    ParameterSet p = sample();
    p.ave = 11;
    p.gain = 6;
    fx.session.settings().params = p;
    Editor e(fx);
    QCOMPARE(box(&e.window, "Text3")->text(), QStringLiteral("-50"));
    QCOMPARE(child<QComboBox>(&e.window, "Combo1")->currentText(), QStringLiteral("11(2048)"));
    QCOMPARE(child<QComboBox>(&e.window, "Combo3")->currentText(), QStringLiteral("7(1m/V)"));
    QCOMPARE(child<QLabel>(&e.window, "Label13")->text(), QStringLiteral("4"));
    QCOMPARE(child<QLabel>(&e.window, "Label16")->text(), QStringLiteral("7"));
    QCOMPARE(child<QScrollBar>(&e.window, "VScroll2")->value(), 248);
    QCOMPARE(child<QComboBox>(&e.window, "Combo6")->currentIndex(), 2);
}

void TestParameterEditor::aValueNoControlCanShowLeavesThatControl()
{
    UiFixture fx;
    ParameterSet p = sample();
    p.ave = 12;    // one beyond AVE's last entry
    p.mode1 = 300; // beyond the scroll range
    p.gain = -1;
    fx.session.settings().params = p;
    Editor e(fx);
    QCOMPARE(child<QComboBox>(&e.window, "Combo1")->currentIndex(), -1);
    QCOMPARE(child<QComboBox>(&e.window, "Combo3")->currentIndex(), -1);
    QCOMPARE(child<QLabel>(&e.window, "Label13")->text(), QStringLiteral("0"));
    QCOMPARE(child<QLabel>(&e.window, "Label16")->text(), QStringLiteral("7"));
    QCOMPARE(child<QComboBox>(&e.window, "Combo4")->currentIndex(), 0);
    QCOMPARE(box(&e.window, "Text1")->text(), QStringLiteral("500"));

    // Ok keeps what the lists could not show instead of storing "nothing selected".
    click(&e.window, "Command5");
    QCOMPARE(fx.session.settings().params.ave, 12);
    QCOMPARE(fx.session.settings().params.gain, -1);
    QCOMPARE(fx.session.settings().params.mode1, 0); // the digit the window showed
}

void TestParameterEditor::aLongValueIsShownWhole()
{
    UiFixture fx;
    fx.session.settings().params.senter = -2147483647 - 1;
    fx.session.settings().params.upper = 123456;
    Editor e(fx);
    QCOMPARE(box(&e.window, "Text1")->text(), QStringLiteral("-2147483648"));
    QCOMPARE(box(&e.window, "Text2")->text(), QStringLiteral("123456"));
    // The keyboard cannot make it longer, only shorter, and then the limit is 5 again.
    QLineEdit *t2 = box(&e.window, "Text2");
    t2->setCursorPosition(6);
    QTest::keyClick(t2, Qt::Key_7);
    QCOMPARE(t2->text(), QStringLiteral("123456"));
    QTest::keyClick(t2, Qt::Key_Backspace);
    QTest::keyClick(t2, Qt::Key_Backspace);
    QTest::keyClicks(t2, QStringLiteral("789"));
    QCOMPARE(t2->text(), QStringLiteral("12347"));
    click(&e.window, "Command5");
    QCOMPARE(fx.session.settings().params.senter, -2147483647 - 1);
    QCOMPARE(fx.session.settings().params.upper, 12347);
}

void TestParameterEditor::limitBoxesKeepOnlyNumbersAtEveryKeystroke_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("signAtHome"); // typed after Home, when not empty
    QTest::addColumn<QString>("text");
    QTest::newRow("minus alone") << "-"
                                 << ""
                                 << "";
    QTest::newRow("minus first empties, digits stay") << "-12"
                                                      << ""
                                                      << "12";
    QTest::newRow("sign in front") << "9999"
                                   << "-"
                                   << "-9999";
    QTest::newRow("largest") << "99999"
                             << ""
                             << "99999";
    QTest::newRow("sixth character refused") << "123456"
                                             << ""
                                             << "12345";
    QTest::newRow("no room for a sign") << "12345"
                                        << "-"
                                        << "12345";
    QTest::newRow("fraction") << "1.5"
                              << ""
                              << "1.5";
    QTest::newRow("letter empties") << "12a"
                                    << ""
                                    << "";
    QTest::newRow("letter then digits") << "12a3"
                                        << ""
                                        << "3";
    QTest::newRow("second point empties") << "1.2."
                                          << ""
                                          << "";
}

void TestParameterEditor::limitBoxesKeepOnlyNumbersAtEveryKeystroke()
{
    QFETCH(QString, keys);
    QFETCH(QString, signAtHome);
    QFETCH(QString, text);
    UiFixture fx;
    Editor e(fx);
    for (const char *name : {"Text1", "Text2", "Text3"}) {
        QLineEdit *edit = box(&e.window, name);
        typeInto(edit, keys);
        if (!signAtHome.isEmpty()) {
            QTest::keyClick(edit, Qt::Key_Home);
            QTest::keyClicks(edit, signAtHome);
        }
        QCOMPARE(edit->text(), text);
    }
    // Set by the program (as a paste or ShowParameters would) goes through the same check.
    box(&e.window, "Text2")->setText(QStringLiteral("1e5"));
    QCOMPARE(box(&e.window, "Text2")->text(), QString());
    box(&e.window, "Text2")->insert(QStringLiteral("-7"));
    QCOMPARE(box(&e.window, "Text2")->text(), QStringLiteral("-7"));
}

void TestParameterEditor::modeSpinnersShow255MinusTheirValue()
{
    UiFixture fx;
    Editor e(fx);
    click(&e.window, "Command1");
    auto *bar = child<QScrollBar>(&e.window, "VScroll1");
    auto *digit = child<QLabel>(&e.window, "Label13");
    QCOMPARE(bar->value(), 255);
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub); // the upward arrow
    QCOMPARE(digit->text(), QStringLiteral("1"));
    bar->setValue(0);
    QCOMPARE(digit->text(), QStringLiteral("255"));
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    QCOMPARE(digit->text(), QStringLiteral("255"));
    child<QScrollBar>(&e.window, "VScroll2")->setValue(252);
    click(&e.window, "Command5");
    QCOMPARE(fx.session.settings().params.mode1, 255);
    QCOMPARE(fx.session.settings().params.mode2, 3);
}

void TestParameterEditor::okCommitsAndClosesTheCloseBoxDoesNot()
{
    UiFixture fx;
    fx.session.settings().params = sample();
    {
        Editor e(fx);
        e.window.show();
        typeInto(box(&e.window, "Text1"), QStringLiteral("123"));
        child<QComboBox>(&e.window, "Combo3")->setCurrentIndex(6);
        QVERIFY(e.window.close());
        QVERIFY(!e.window.isVisible());
        QCOMPARE(fx.session.settings().params, sample());
    }
    Editor e(fx);
    e.window.show();
    typeInto(box(&e.window, "Text1"), QStringLiteral("1.5"));
    typeInto(box(&e.window, "Text2"), QString());
    typeInto(box(&e.window, "Text3"), QStringLiteral("2.5"));
    child<QComboBox>(&e.window, "Combo3")->setCurrentIndex(6); // "7(1m/V)"
    click(&e.window, "Command5");
    QVERIFY(!e.window.isVisible());
    QCOMPARE(e.window.result(), int(QDialog::Accepted));
    ParameterSet expected = sample();
    expected.senter = 2;
    expected.upper = 0;
    expected.under = 2;
    expected.gain = 6;
    QCOMPARE(fx.session.settings().params, expected);
    QCOMPARE(box(&e.window, "Text2")->text(), QStringLiteral("0"));
    QCOMPARE(box(&e.window, "Text1")->text(), QStringLiteral("1.5"));
}

void TestParameterEditor::fileCloseCommitsLikeOk()
{
    UiFixture fx;
    Editor e(fx);
    e.window.show();
    typeInto(box(&e.window, "Text3"), QStringLiteral("77"));
    QTest::keyClick(box(&e.window, "Text3"), Qt::Key_Home);
    QTest::keyClick(box(&e.window, "Text3"), Qt::Key_Minus);
    // Escape must not throw the edits away: the window has no Cancel.
    QTest::keyClick(&e.window, Qt::Key_Escape);
    QVERIFY(e.window.isVisible());
    trigger(&e.window, "CLOSE");
    QVERIFY(!e.window.isVisible());
    QCOMPARE(fx.session.settings().params.under, -77);
}

void TestParameterEditor::everyWayOfClosingEndsTheRecoveryFileName_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Ok") << "Ok";
    QTest::newRow("File Close") << "CLOSE";
    QTest::newRow("close box") << "box";
    QTest::newRow("destroyed") << "destroy";
}

void TestParameterEditor::everyWayOfClosingEndsTheRecoveryFileName()
{
    QFETCH(QString, how);
    UiFixture fx;
    // A first start writes the defaults: the editor then proposes <folder>/540comm.txt.
    QVERIFY(fx.session.openWindow(Language::English, [](const AppSettings &) { return true; }).ok);
    const QString recovered = fx.folder.dataFile(QStringLiteral("540comm.txt"));
    QCOMPARE(fx.session.editorFileName(), recovered);
    auto e = std::make_unique<Editor>(fx);
    QCOMPARE(e->window.fileName(), recovered);
    e->window.show();
    if (how == "Ok")
        click(&e->window, "Command5");
    else if (how == "CLOSE")
        trigger(&e->window, "CLOSE");
    else if (how == "box")
        e->window.close();
    else
        e.reset();
    QCOMPARE(fx.session.editorFileName(), QStringLiteral("qsr540.txt"));
    Editor next(fx);
    QCOMPARE(next.window.fileName(), QStringLiteral("qsr540.txt"));
}

void TestParameterEditor::loadStoresEachReplyAndShowsAtTheEnd()
{
    UiFixture fx;
    Editor e(fx);
    FakeSerialDevice &port = e.device;
    typeInto(box(&e.window, "Text1"), QStringLiteral("9")); // not committed: overwritten
    click(&e.window, "Command3");
    QCOMPARE(frameCaption(&e.window), QStringLiteral("now loading"));
    QVERIFY(port.isOpen());
    QCOMPARE(port.written, QByteArray("P"));

    const ParameterSet want = sample();
    const QByteArray letters("PHLAMGEZDBCJNO");
    const QList<qint32> replies{500, 600, -50, 3, 47, 2, 0, 1, 2, 0, 1, 0, 0, 0};
    for (int i = 0; i < 14; ++i) {
        QCOMPARE(port.written, letters.left(i + 1));
        port.inject(reply(replies[i]).toLatin1());
        if (i == 2) {
            // Stored at once, shown only at the end.
            QCOMPARE(fx.session.settings().params.under, -50);
            QCOMPARE(box(&e.window, "Text1")->text(), QStringLiteral("9"));
        }
    }
    QVERIFY(!port.isOpen());
    QCOMPARE(port.closes, 1);
    QCOMPARE(fx.session.settings().params, want);
    QCOMPARE(box(&e.window, "Text1")->text(), QStringLiteral("500"));
    QCOMPARE(child<QLabel>(&e.window, "Label13")->text(), QStringLiteral("4"));
    QCOMPARE(child<QLabel>(&e.window, "Label16")->text(), QStringLiteral("7"));
    QCOMPARE(child<QComboBox>(&e.window, "Combo6")->currentIndex(), 2);
    QCOMPARE(frameCaption(&e.window), QString());
    QVERIFY(fx.prompts.messages.isEmpty());
    QVERIFY(!e.window.isDetailed()); // a Load reads all fourteen in either view
}

void TestParameterEditor::aFailedLoadKeepsStoredFieldsAndOldControls_data()
{
    QTest::addColumn<Language>("language");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("detail");
    QTest::newRow("line fails, English") << Language::English << "line"
                                         << "communication error!"
                                         << "adapter unplugged";
    // The program's own reason in the window's language.
    QTest::newRow("bad reply, Japanese") << Language::Japanese << "reply"
                                         << "通信設定があっていません!"
                                         << "A の応答が数値ではありません: \"ERR\"";
    QTest::newRow("open fails") << Language::English << "open"
                                << "communication error!"
                                << mainTexts(Language::English).portNotSerial;
}

void TestParameterEditor::aFailedLoadKeepsStoredFieldsAndOldControls()
{
    QFETCH(Language, language);
    QFETCH(QString, failure);
    QFETCH(QString, message);
    QFETCH(QString, detail);
    UiFixture fx;
    ParameterSet old;
    old.ave = 5;
    fx.session.settings().params = old;
    // COM1 leads to a file of the test's own: a failed open is looked into there, never at
    // the machine's own /dev/ttyS0, which another program (or test) may hold.
    const QString notAPort = fx.dir.filePath(QStringLiteral("not-a-port"));
    QVERIFY(QDir().mkpath(fx.folder.data + "/ports") && writeBytes(notAPort, "") &&
            QFile::link(notAPort, fx.folder.data + "/ports/COM1"));
    Editor e(fx, language);
    FakeSerialDevice &port = e.device;
    port.failOpen = failure == "open";
    click(&e.window, "Command3");
    if (failure != "open") {
        for (const char *r : {"500\r", "600\r", "-50\r"})
            port.inject(r);
        if (failure == "line")
            port.fail(QStringLiteral("adapter unplugged"));
        else
            port.inject("ERR\r");
    }
    QCOMPARE(fx.prompts.messages.size(), 1);
    QCOMPARE(fx.prompts.messages[0].text, message);
    QCOMPARE(fx.prompts.messages[0].detail,
             failure == "open" ? detail.arg(fx.folder.data + "/ports/COM1") : detail);
    QCOMPARE(frameCaption(&e.window), QString());
    QVERIFY(!port.isOpen());
    ParameterSet expected = old;
    if (failure != "open") {
        expected.senter = 500;
        expected.upper = 600;
        expected.under = -50;
        QCOMPARE(port.written, QByteArray("PHLA"));
    } else {
        QVERIFY(port.written.isEmpty());
    }
    QCOMPARE(fx.session.settings().params, expected);
    QCOMPARE(box(&e.window, "Text1")->text(), QStringLiteral("0"));
    QCOMPARE(child<QComboBox>(&e.window, "Combo1")->currentIndex(), 5);
}

void TestParameterEditor::loadIsRefusedWhileACycleWaitsOnThePort()
{
    UiFixture fx;
    Editor e(fx);
    // The Main window's port maps to the same device: its poll holds the line.
    QVERIFY(e.mainPort.startCycle({{QByteArray("R"), true}}, {}, nullptr, {}));
    typeInto(box(&e.window, "Text1"), QStringLiteral("42"));
    click(&e.window, "Command3");
    click(&e.window, "Command4");
    QCOMPARE(e.device.opens, 1);
    QCOMPARE(e.device.written, QByteArray("R"));
    QCOMPARE(frameCaption(&e.window), QString());
    QCOMPARE(fx.session.settings().params.senter, 0); // a refused Transmission commits nothing
    QVERIFY(fx.prompts.messages.isEmpty());

    // A second click while this window's own Load waits is refused as well.
    e.device.inject("1.234\r");
    QVERIFY(!e.mainPort.isBusy());
    click(&e.window, "Command3");
    click(&e.window, "Command3");
    click(&e.window, "Command4");
    QCOMPARE(e.device.opens, 2);
    QCOMPARE(e.device.written, QByteArray("RP"));
    QCOMPARE(frameCaption(&e.window), QStringLiteral("now loading"));
}

void TestParameterEditor::closingDuringALoadEndsItQuietly()
{
    UiFixture fx;
    Editor e(fx);
    e.window.show();
    click(&e.window, "Command3");
    e.device.inject("500\r");
    QVERIFY(e.device.isOpen());
    e.window.close();
    QVERIFY(!e.device.isOpen());
    QVERIFY(!e.editorPort.isBusy());
    QTest::qWait(50);
    QVERIFY(fx.prompts.messages.isEmpty());
    QCOMPARE(fx.session.settings().params.senter, 500); // stored before the close
    QCOMPARE(e.device.written, QByteArray("PH"));
}

void TestParameterEditor::destroyingDuringALoadEndsItQuietly()
{
    UiFixture fx;
    SerialPort editorPort(fx.lines), mainPort(fx.lines);
    FakeSerialDevice &device = fx.device();
    {
        ParameterEditor w(Language::Japanese, fx.context, &editorPort, &mainPort);
        click(&w, "Command3");
        QVERIFY(device.isOpen());
    }
    QVERIFY(!device.isOpen());
    QVERIFY(!editorPort.isBusy());
    device.inject("1\r"); // nobody listens any more
    QVERIFY(fx.prompts.messages.isEmpty());
}

void TestParameterEditor::transmissionCommitsThenSends_data()
{
    QTest::addColumn<bool>("details");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("standard") << false << QByteArray("p500\rh0\rl-50\ra3\r");
    QTest::newRow("details") << true
                             << QByteArray("p500\rh0\rl-50\ra3\rm3.0\rg2\re0\rz1\rd2\rb0\rc1\rj0\r"
                                           "n0\ro0\r");
}

void TestParameterEditor::transmissionCommitsThenSends()
{
    QFETCH(bool, details);
    QFETCH(QByteArray, bytes);
    UiFixture fx;
    fx.session.settings().params = sample();
    Editor e(fx);
    if (details)
        click(&e.window, "Command1");
    typeInto(box(&e.window, "Text2"), QString());
    child<QScrollBar>(&e.window, "VScroll1")->setValue(252); // digit 3
    child<QScrollBar>(&e.window, "VScroll2")->setValue(255); // digit 0
    click(&e.window, "Command4");
    QCOMPARE(e.device.written, bytes);
    QCOMPARE(frameCaption(&e.window), QStringLiteral("Now Transmission")); // until sent
    QTRY_VERIFY(!e.device.isOpen());
    QCOMPARE(e.device.opens, 1);
    QCOMPARE(box(&e.window, "Text2")->text(), QStringLiteral("0"));
    QCOMPARE(frameCaption(&e.window), QString());
    QVERIFY(fx.prompts.messages.isEmpty());
    // All fifteen are committed, also the MODE digits a Standard transmission does not send.
    ParameterSet expected = sample();
    expected.upper = 0;
    expected.mode1 = 3;
    expected.mode2 = 0;
    QCOMPARE(fx.session.settings().params, expected);
}

void TestParameterEditor::closingDuringATransmissionWaitsUntilItIsSent()
{
    UiFixture fx;
    Editor e(fx);
    e.device.lineBaud = 600; // "p0\rh0\rl0\ra0\r" takes 200 ms on the line
    e.window.show();
    click(&e.window, "Command4");
    click(&e.window, "Command5");
    QVERIFY(e.window.isVisible());
    QTRY_VERIFY(!e.window.isVisible());
    QCOMPARE(e.device.sent(), QByteArray("p0\rh0\rl0\ra0\r"));
    QCOMPARE(e.device.discarded, 0);
    QVERIFY(fx.prompts.messages.isEmpty());
}

void TestParameterEditor::aFailedTransmissionIsReported_data()
{
    QTest::addColumn<Language>("language");
    QTest::addColumn<bool>("failOpen");
    QTest::addColumn<QString>("message");
    QTest::newRow("open, English") << Language::English << true << "communication error!";
    QTest::newRow("write, Japanese") << Language::Japanese << false << "通信設定があっていません!";
}

void TestParameterEditor::aFailedTransmissionIsReported()
{
    QFETCH(Language, language);
    QFETCH(bool, failOpen);
    QFETCH(QString, message);
    UiFixture fx;
    Editor e(fx, language);
    e.device.failOpen = failOpen;
    e.device.failWrite = !failOpen;
    typeInto(box(&e.window, "Text1"), QStringLiteral("321"));
    click(&e.window, "Command4");
    QCOMPARE(fx.prompts.messages.size(), 1);
    QCOMPARE(fx.prompts.messages[0].text, message);
    QVERIFY(fx.prompts.messages[0].detail.contains(fx.lines.devicePath(1)));
    QCOMPARE(frameCaption(&e.window), QString());
    QVERIFY(!e.device.isOpen());
    QCOMPARE(fx.session.settings().params.senter, 321); // committed before sending
}

void TestParameterEditor::saveThenOpenRoundTrips()
{
    UiFixture fx;
    const QString path = fx.dir.filePath(QStringLiteral("set.txt"));
    ParameterSet p = sample();
    p.senter = -9999;
    p.ave = 11;
    fx.session.settings().params = p;
    {
        Editor e(fx);
        fx.prompts.saveAnswers << path;
        trigger(&e.window, "SAVE"); // Save As
        QCOMPARE(fx.prompts.saveDialogs.size(), 1);
        QCOMPARE(fx.prompts.saveDialogs[0].filter, QStringLiteral("*.txt"));
        QCOMPARE(fx.prompts.saveDialogs[0].initialName, QStringLiteral("qsr540.txt"));
        QCOMPARE(e.window.fileName(), path);
        QCOMPARE(fileBytes(path), QByteArray("-9999 , 600 ,-50 , 11 , 4 , 7 , 2 , 0 , 1 , 2 , 0 , "
                                             "1 , 0 , 0 , 0 \r\n"));
        QVERIFY(fx.session.settings().fom2file.isEmpty()); // saving does not record the name
    }
    fx.session.settings().params = ParameterSet{};
    Editor e(fx);
    fx.prompts.openAnswers << path;
    trigger(&e.window, "OPEN");
    QCOMPARE(fx.prompts.openDialogs.size(), 1);
    QCOMPARE(fx.prompts.openDialogs[0].filter,
             QStringLiteral("テキストファイル(*.txt)|*.txt|全てのファイル(*.*)|*.*"));
    QCOMPARE(fx.prompts.openDialogs[0].initialName, QStringLiteral("qsr540.txt"));
    QCOMPARE(fx.session.settings().params, p);
    QCOMPARE(fx.session.settings().fom2file, path);
    QCOMPARE(e.window.fileName(), path);
    QCOMPARE(box(&e.window, "Text1")->text(), QStringLiteral("-9999"));
    QCOMPARE(child<QComboBox>(&e.window, "Combo1")->currentIndex(), 11);
    QVERIFY(fx.prompts.messages.isEmpty());

    // Open stores at once: the values stay even when the close box follows.
    e.window.close();
    QCOMPARE(fx.session.settings().params, p);
}

void TestParameterEditor::saveAsAppendsTxtCaseSensitively_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::newRow("no suffix") << "a"
                               << "a.txt";
    QTest::newRow("capitals") << "A.TXT"
                              << "A.TXT.txt";
    QTest::newRow("already") << "b.txt"
                             << "b.txt";
    QTest::newRow("other suffix") << "c.csv"
                                  << "c.csv.txt";
}

void TestParameterEditor::saveAsAppendsTxtCaseSensitively()
{
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    UiFixture fx;
    Editor e(fx);
    typeInto(box(&e.window, "Text1"), QString());
    fx.prompts.saveAnswers << fx.dir.filePath(chosen);
    trigger(&e.window, "SAVE");
    const QString path = fx.dir.filePath(written);
    QCOMPARE(e.window.fileName(), path);
    QVERIFY(fileBytes(path).startsWith(" 0 , 0 , 0 ,"));
    QCOMPARE(box(&e.window, "Text1")->text(), QStringLiteral("0"));
    QCOMPARE(QDir(fx.dir.path()).entryList(QDir::Files), QStringList{written});

    // A following Save writes to the same name without asking.
    typeInto(box(&e.window, "Text1"), QStringLiteral("8"));
    trigger(&e.window, "SAVE_AS");
    QCOMPARE(fx.prompts.saveDialogs.size(), 1);
    QVERIFY(fileBytes(path).startsWith(" 8 , 0 , 0 ,"));
}

void TestParameterEditor::cancelledDialogsChangeNothing()
{
    UiFixture fx;
    fx.session.settings().params = sample();
    Editor e(fx);
    typeInto(box(&e.window, "Text1"), QStringLiteral("77"));
    trigger(&e.window, "SAVE"); // cancelled: no answer queued
    trigger(&e.window, "OPEN");
    QCOMPARE(fx.prompts.saveDialogs.size(), 1);
    QCOMPARE(fx.prompts.openDialogs.size(), 1);
    QCOMPARE(fx.session.settings().params, sample());
    QCOMPARE(box(&e.window, "Text1")->text(), QStringLiteral("77"));
    QCOMPARE(e.window.fileName(), QStringLiteral("qsr540.txt"));
    QVERIFY(fx.session.settings().fom2file.isEmpty());
    QVERIFY(fx.prompts.messages.isEmpty());
}

void TestParameterEditor::openOfAMissingFileReportsAndChangesNothing()
{
    UiFixture fx;
    fx.session.settings().params = sample();
    fx.session.settings().fom2file = QStringLiteral("earlier.txt");
    Editor e(fx, Language::Japanese);
    const QString missing = fx.dir.filePath(QStringLiteral("gone.txt"));
    fx.prompts.openAnswers << missing;
    trigger(&e.window, "OPEN");
    QCOMPARE(fx.prompts.messages.size(), 1);
    QCOMPARE(fx.prompts.messages[0].text, editorTexts(Language::Japanese).fileNotRead);
    QVERIFY(fx.prompts.messages[0].detail.contains(QStringLiteral("gone.txt")));
    // The original would have zeroed all fifteen, ready to be transmitted.
    QCOMPARE(fx.session.settings().params, sample());
    QCOMPARE(fx.session.settings().fom2file, QStringLiteral("earlier.txt"));
    QCOMPARE(e.window.fileName(), QStringLiteral("qsr540.txt"));
    QCOMPARE(box(&e.window, "Text1")->text(), QStringLiteral("500"));
}

void TestParameterEditor::aFailedSaveIsReportedAndKeepsTheCommit()
{
    UiFixture fx;
    Editor e(fx);
    const QString inMissingFolder = fx.dir.filePath(QStringLiteral("no/such/folder/p"));
    typeInto(box(&e.window, "Text2"), QStringLiteral("66"));
    fx.prompts.saveAnswers << inMissingFolder;
    trigger(&e.window, "SAVE");
    QCOMPARE(fx.prompts.messages.size(), 1);
    QCOMPARE(fx.prompts.messages[0].text,
             QStringLiteral("The parameter file could not be written."));
    QVERIFY(fx.prompts.messages[0].detail.contains(QStringLiteral("p.txt")));
    QCOMPARE(fx.session.settings().params.upper, 66);
    trigger(&e.window, "SAVE_AS");
    QCOMPARE(fx.prompts.messages.size(), 2);
}

void TestParameterEditor::saveWritesQsr540TxtInTheWorkingFolder()
{
    UiFixture fx;
    const QString before = QDir::currentPath();
    QTemporaryDir work;
    QVERIFY(QDir::setCurrent(work.path()));
    fx.session.settings().params = sample();
    {
        Editor e(fx);
        trigger(&e.window, "SAVE_AS"); // Save
    }
    QDir::setCurrent(before);
    QCOMPARE(fileBytes(work.filePath(QStringLiteral("qsr540.txt"))),
             ParameterFile::format(sample()));
    QVERIFY(fx.prompts.messages.isEmpty());
}

void TestParameterEditor::printWritesThePdfOfTheClientArea()
{
    UiFixture fx;
    fx.session.settings().params = sample();
    Editor e(fx);
    e.window.show();
    click(&e.window, "Command1");
    typeInto(box(&e.window, "Text1"), QStringLiteral("1"));
    const QString pdf = fx.dir.filePath(QStringLiteral("print.pdf"));
    PdfPrinter printer(pdf);
    e.window.setPrinter(&printer);
    trigger(&e.window, "PRINT");
    QVERIFY(fx.prompts.messages.isEmpty());
    const QByteArray bytes = fileBytes(pdf);
    QVERIFY(bytes.startsWith("%PDF"));
    QVERIFY2(bytes.size() > 4000, QByteArray::number(bytes.size()).constData());
    QCOMPARE(fx.session.settings().params, sample()); // printing commits nothing
}

void TestParameterEditor::aFailedPrintIsReported()
{
    UiFixture fx;
    Editor e(fx, Language::Japanese);
    PdfPrinter nowhere(fx.dir.filePath(QStringLiteral("no/such/folder/print.pdf")));
    e.window.setPrinter(&nowhere);
    trigger(&e.window, "PRINT");
    QCOMPARE(fx.prompts.messages.size(), 1);
    QCOMPARE(fx.prompts.messages[0].text, QStringLiteral("印刷できませんでした。"));
    QVERIFY2(fx.prompts.messages[0].detail.startsWith(QStringLiteral("プリンタ ")),
             qPrintable(fx.prompts.messages[0].detail));

    // The system printer, when none is set up, says so.
    if (!QPrinterInfo::defaultPrinter().isNull())
        QSKIP("this machine has a default printer");
    e.window.setPrinter(nullptr);
    trigger(&e.window, "PRINT");
    QCOMPARE(fx.prompts.messages.size(), 2);
    QCOMPARE(fx.prompts.messages[1].detail,
             QStringLiteral("このコンピュータには通常使うプリンタが設定されていません。"));
}

void TestParameterEditor::commSetOpensTheSettingsDialogOfTheSameLanguage_data()
{
    QTest::addColumn<Language>("language");
    QTest::addColumn<QString>("dialog");
    QTest::newRow("English") << Language::English << "Form7";
    QTest::newRow("Japanese") << Language::Japanese << "Form3";
}

void TestParameterEditor::commSetOpensTheSettingsDialogOfTheSameLanguage()
{
    QFETCH(Language, language);
    QFETCH(QString, dialog);
    UiFixture fx;
    Editor e(fx, language);
    e.window.show();
    QString seen;
    QWidget *seenParent = nullptr;
    onNextModal([&](QWidget *w) {
        seen = w->objectName();
        seenParent = w->parentWidget();
        w->close();
    });
    trigger(&e.window, "COMM_SET");
    QCOMPARE(seen, dialog);
    QCOMPARE(seenParent, &e.window);
    QVERIFY(e.window.isVisible());
}

QTEST_MAIN(TestParameterEditor)
#include "tst_parametereditor.moc"
