// The windows from the keyboard and through a screen reader.
#include "UiTestKit.h"

#include "ui/CommDialog.h"
#include "ui/ParameterEditor.h"

#include <QAccessible>
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

// The text of the label a screen reader reads a control by. On Linux a list's own name is its
// chosen item, so the label relation is what names it there; elsewhere the name does.
QString labelledBy(QWidget *w)
{
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
    if (!a)
        return QStringLiteral("<no interface>");
    const auto labels = a->relations(QAccessible::Label);
    return labels.isEmpty() ? QStringLiteral("<no label>")
                            : labels.first().first->text(QAccessible::Name);
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

    void fieldsAreReadAloudByTheirLabels_data() { byLanguage_data(); }
    void fieldsAreReadAloudByTheirLabels()
    {
        QFETCH(Language, language);
        UiFixture fx;
        MainWindow main(language, fx.context);
        main.setAttribute(Qt::WA_DeleteOnClose, false);
        ParameterEditor editor(language, fx.context, main.editorPort(), main.mainPort());
        CommDialog comm(language, fx.context, main.editorPort(), main.mainPort());
        const struct {
            QWidget *window;
            const char *label, *field;
        } named[] = {
            {&main, "Label8", "VScroll1"},   {&main, "Label10", "VScroll2"},
            {&editor, "Label1", "Text1"},    {&editor, "Label2", "Text2"},
            {&editor, "Label3", "Text3"},    {&editor, "Label4", "Combo1"},
            {&editor, "Label6", "Combo3"},   {&editor, "Label7", "Combo4"},
            {&editor, "Label8", "Combo5"},   {&editor, "Label9", "Combo6"},
            {&editor, "Label10", "Combo7"},  {&editor, "Label11", "Combo8"},
            {&editor, "Label12", "Combo9"},  {&editor, "Label14", "Combo11"},
            {&editor, "Label15", "Combo12"}, {&comm, "Label2", "Combo1"},
            {&comm, "Label3", "Combo2"},
        };
        for (const auto &n : named) {
            auto *label = child<QLabel>(n.window, n.label);
            auto *field = child<QWidget>(n.window, n.field);
            QVERIFY2(label && field, n.field);
            QCOMPARE(field->accessibleName(), label->text());
            QCOMPARE(labelledBy(field), label->text());
        }
        const QString mode = child<QLabel>(&editor, "Label5")->text();
        QCOMPARE(child<QWidget>(&editor, "VScroll1")->accessibleName(),
                 mode + QStringLiteral(" 1"));
        QCOMPARE(child<QWidget>(&editor, "VScroll2")->accessibleName(),
                 mode + QStringLiteral(" 2"));
    }
};

QTEST_MAIN(TestAccess)
#include "tst_access.moc"
