// The windows from the keyboard.
#include "UiTestKit.h"

#include "ui/ParameterEditor.h"

#include <QMenu>

Q_DECLARE_METATYPE(Language)

namespace {

// Alt+E, then `key` in the open menu, as a user types them.
bool chooseFromEditMenu(QWidget *window, Qt::Key key)
{
    QTest::keyClick(window, Qt::Key_E, Qt::AltModifier);
    if (!QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }))
        return false;
    QTest::keyClick(QApplication::activePopupWidget(), key);
    return QTest::qWaitFor([] { return QApplication::activePopupWidget() == nullptr; });
}

} // namespace

class TestAccess : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void byLanguage_data()
    {
        QTest::addColumn<Language>("language");
        QTest::newRow("English") << Language::English;
        QTest::newRow("Japanese") << Language::Japanese;
    }

    void editMenuTogglesTheLayoutFromTheKeyboard_data() { byLanguage_data(); }
    void editMenuTogglesTheLayoutFromTheKeyboard()
    {
        QFETCH(Language, language);
        UiFixture fx;
        SerialPort editorPort(fx.lines), mainPort(fx.lines);
        ParameterEditor w(language, fx.context, &editorPort, &mainPort);
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        auto *layoutButton = child<QPushButton>(&w, "Command1");
        QWidget *first = child<QWidget>(&w, "Command3");
        const QString standardCaption = layoutButton->text();
        const qsizetype standardStops = tabWalk(&w, first).size();

        QVERIFY(chooseFromEditMenu(&w, Qt::Key_D));
        QVERIFY(w.isDetailed());
        QCOMPARE(layoutButton->text(), editorTexts(language).details);
        // The MODE spinners and the nine detail lists.
        QCOMPARE(tabWalk(&w, first).size(), standardStops + 11);

        QVERIFY(chooseFromEditMenu(&w, Qt::Key_D));
        QVERIFY(!w.isDetailed());
        QCOMPARE(layoutButton->text(), standardCaption);
        QCOMPARE(tabWalk(&w, first).size(), standardStops);
        QVERIFY(!(layoutButton->focusPolicy() & Qt::TabFocus));
    }
};

QTEST_MAIN(TestAccess)
#include "tst_access.moc"
