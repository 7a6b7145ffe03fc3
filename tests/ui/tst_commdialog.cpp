#include "UiTestKit.h"

#include "ui/CommDialog.h"
#include "ui/Twips.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

Q_DECLARE_METATYPE(Language)

namespace {

QStringList items(QComboBox *c)
{
    QStringList out;
    for (int i = 0; i < c->count(); ++i)
        out << c->itemText(i);
    return out;
}

struct Ports {
    explicit Ports(UiFixture &fx) : editor(fx.lines), main(fx.lines) {}
    SerialPort editor, main;
};

} // namespace

class TestCommDialog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void showsListsTextsAndTheStoredChoice_data()
    {
        QTest::addColumn<Language>("language");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("baud");
        QTest::newRow("English") << Language::English << "Form7"
                                 << "port"
                                 << "baud rate";
        QTest::newRow("Japanese") << Language::Japanese << "Form3"
                                  << "ポート"
                                  << "ボーレート";
    }
    void showsListsTextsAndTheStoredChoice()
    {
        QFETCH(Language, language);
        UiFixture fx;
        Ports ports(fx);
        CommDialog d(language, fx.context, &ports.editor, &ports.main);
        QFETCH(QString, name);
        QFETCH(QString, port);
        QFETCH(QString, baud);
        QCOMPARE(d.objectName(), name);
        QCOMPARE(d.windowTitle(), QStringLiteral("Comm"));
        QCOMPARE(child<QLabel>(&d, "Label2")->text(), port);
        QCOMPARE(child<QLabel>(&d, "Label3")->text(), baud);
        QCOMPARE(child<QLabel>(&d, "Label1")->text(),
                 QStringLiteral("<Other conditions>\r\n8bit data\r\n1step bit\r\nnon parity"));
        QCOMPARE(child<QPushButton>(&d, "Command1")->text(), QStringLiteral("Ok"));
        QCOMPARE(child<QPushButton>(&d, "Command2")->text(), QStringLiteral("Cancel"));
        QCOMPARE(items(child<QComboBox>(&d, "Combo1")),
                 (QStringList{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7"}));
        QCOMPARE(items(child<QComboBox>(&d, "Combo2")),
                 (QStringList{"300", "600", "1200", "2400", "4800", "9600", "19200"}));
        QVERIFY(!child<QComboBox>(&d, "Combo1")->isEditable());
        // First run: COM1 and 9600.
        QCOMPARE(child<QComboBox>(&d, "Combo1")->currentText(), QStringLiteral("COM1"));
        QCOMPARE(child<QComboBox>(&d, "Combo2")->currentText(), QStringLiteral("9600"));
        QCOMPARE(d.size(), Twips::size(3465, 3120));
    }

    void okAppliesToBothPortsAndTheSettings()
    {
        UiFixture fx;
        Ports ports(fx);
        CommDialog d(Language::English, fx.context, &ports.editor, &ports.main);
        child<QComboBox>(&d, "Combo1")->setCurrentIndex(2);
        child<QComboBox>(&d, "Combo2")->setCurrentText(QStringLiteral("19200"));
        QTest::mouseClick(child<QPushButton>(&d, "Command1"), Qt::LeftButton);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        for (SerialPort *p :
             {static_cast<SerialPort *>(&ports.editor), static_cast<SerialPort *>(&ports.main)}) {
            QCOMPARE(p->commPort(), 3);
            QCOMPARE(p->settings(), QStringLiteral("19200,N,8,1"));
        }
        QCOMPARE(fx.session.settings().port, qint16(2));
        QCOMPARE(fx.session.settings().baud, 19200);
    }

    void cancelCloseBoxAndEscapeApplyNothing()
    {
        UiFixture fx;
        const AppSettings before = fx.session.settings();
        for (int way = 0; way < 3; ++way) {
            Ports ports(fx);
            CommDialog d(Language::Japanese, fx.context, &ports.editor, &ports.main);
            d.show();
            child<QComboBox>(&d, "Combo1")->setCurrentIndex(5);
            child<QComboBox>(&d, "Combo2")->setCurrentIndex(0);
            QTest::keyClick(&d, Qt::Key_Return);
            QVERIFY(d.isVisible()); // Enter presses neither button
            if (way == 0)
                QTest::mouseClick(child<QPushButton>(&d, "Command2"), Qt::LeftButton);
            else if (way == 1)
                d.close();
            else
                QTest::keyClick(child<QComboBox>(&d, "Combo2"), Qt::Key_Escape);
            QVERIFY(!d.isVisible());
            QCOMPARE(ports.editor.commPort(), 1);
            QCOMPARE(ports.main.settings(), QStringLiteral("9600,N,8,1"));
            QVERIFY(fx.session.settings() == before);
        }
    }

    void storedValuesOutsideTheListsSelectNothingAndOkKeepsThem()
    {
        UiFixture fx;
        fx.session.settings().port = 9;
        fx.session.settings().baud = 38400;
        Ports ports(fx);
        QVERIFY(ports.main.setCommPort(2));
        CommDialog d(Language::English, fx.context, &ports.editor, &ports.main);
        QCOMPARE(child<QComboBox>(&d, "Combo1")->currentIndex(), -1);
        QCOMPARE(child<QComboBox>(&d, "Combo2")->currentIndex(), -1);
        QTest::mouseClick(child<QPushButton>(&d, "Command1"), Qt::LeftButton);
        QCOMPARE(fx.session.settings().port, qint16(9));
        QCOMPARE(fx.session.settings().baud, 38400);
        QCOMPARE(ports.main.commPort(), 2);
        // Choosing only a speed applies only the speed.
        CommDialog again(Language::English, fx.context, &ports.editor, &ports.main);
        child<QComboBox>(&again, "Combo2")->setCurrentIndex(1);
        QTest::mouseClick(child<QPushButton>(&again, "Command1"), Qt::LeftButton);
        QCOMPARE(fx.session.settings().port, qint16(9));
        QCOMPARE(fx.session.settings().baud, 600);
        QCOMPARE(ports.editor.settings(), QStringLiteral("600,N,8,1"));
    }

    void focusOrderIsPortSpeedOkCancel()
    {
        UiFixture fx;
        Ports ports(fx);
        CommDialog d(Language::English, fx.context, &ports.editor, &ports.main);
        QWidget *w = child<QWidget>(&d, "Combo1");
        QStringList order{w->objectName()};
        for (int i = 0; i < 3; ++i) {
            do
                w = w->nextInFocusChain();
            while (!(w->focusPolicy() & Qt::TabFocus));
            order << w->objectName();
        }
        QCOMPARE(order, (QStringList{"Combo1", "Combo2", "Command1", "Command2"}));
    }
};

QTEST_MAIN(TestCommDialog)
#include "tst_commdialog.moc"
