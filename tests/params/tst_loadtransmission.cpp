// Load and Transmission of the Parameter editor against the simulated instrument, over the
// real serial-port class and a pseudo-terminal.

#include "../ui/UiTestKit.h"
#include "SimProcess.h"

#include "serial/SerialDevice.h"
#include "ui/ParameterEditor.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QString simParams = QStringLiteral("500,600,-50,3,4,7,2,0,1,2,0,1,0,0,0");

ParameterSet fromList(const QString &list)
{
    ParameterSet p;
    const QStringList parts = list.split(u',');
    for (int i = 0; i < ParameterSet::fieldCount; ++i)
        p.setField(i, parts[i].toInt());
    return p;
}

// One program folder whose ports/COM1 leads to a simulator, and an editor on real ports.
struct Bench {
    explicit Bench(const QStringList &simArguments)
        : sim(folder.portPath(1), simArguments), lines(ProgramFolder::at(folder.path())),
          editorPort(lines), mainPort(lines)
    {
    }
    std::unique_ptr<ParameterEditor> open(Language language = Language::English)
    {
        return std::make_unique<ParameterEditor>(language, fx.context, &editorPort, &mainPort);
    }
    // Waits until the editor's port cycle has ended (the port is closed then).
    bool waitIdle(int ms = 5000)
    {
        QElapsedTimer t;
        t.start();
        while (editorPort.isBusy() && t.elapsed() < ms)
            QTest::qWait(10);
        return !editorPort.isBusy();
    }

    ProgramFolderFixture folder;
    SimProcess sim;
    UiFixture fx;
    SerialLines lines;
    SerialPort editorPort, mainPort;
};

} // namespace

class TestLoadTransmission : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void loadFillsAllFifteenFieldsAndTheControls();
    void aLoadCutOffAfterThreeRepliesKeepsThemAndTheOldControls();
    void transmissionSendsExactlyItsRequests_data();
    void transmissionSendsExactlyItsRequests();
    void aWindowClosedDuringALoadLeavesThePortUsable();
    void theInstrumentVanishingMidLoadStopsItOnceAndComesBack();
    void transmissionAndLoadClickedDuringALoadAreRefused();
};

void TestLoadTransmission::theInstrumentVanishingMidLoadStopsItOnceAndComesBack()
{
    Bench b(
        {QStringLiteral("--params"), simParams, QStringLiteral("--delay"), QStringLiteral("150")});
    QVERIFY2(b.sim.isReady(), qPrintable(b.sim.errorString()));
    auto editor = b.open();
    const ParameterSet before = b.fx.session.settings().params;
    click(editor.get(), "Command3");
    QTRY_VERIFY_WITH_TIMEOUT(b.sim.receivedBytes().size() >= 3, 3000);
    b.sim.kill();
    QFile::remove(b.folder.portPath(1));
    QTRY_COMPARE_WITH_TIMEOUT(b.fx.prompts.messages.size(), 1, 6000);
    QCOMPARE(b.fx.prompts.messages[0].text, QStringLiteral("communication error!"));
    QCOMPARE(child<QGroupBox>(editor.get(), "Frame1")->title(), QString());
    // Fields that arrived are kept; the controls were not refreshed.
    QCOMPARE(b.fx.session.settings().params.senter, 500);
    QCOMPARE(child<QLineEdit>(editor.get(), "Text1")->text(), QString::number(before.senter));
    QVERIFY(!b.editorPort.line().device().isOpen());

    SimProcess back(b.folder.portPath(1), {QStringLiteral("--params"), simParams});
    QVERIFY(back.isReady());
    click(editor.get(), "Command3");
    QVERIFY(b.waitIdle());
    QCOMPARE(b.fx.prompts.messages.size(), 1);
    QCOMPARE(b.fx.session.settings().params, fromList(simParams));
}

void TestLoadTransmission::transmissionAndLoadClickedDuringALoadAreRefused()
{
    Bench b(
        {QStringLiteral("--params"), simParams, QStringLiteral("--delay"), QStringLiteral("60")});
    QVERIFY2(b.sim.isReady(), qPrintable(b.sim.errorString()));
    auto editor = b.open();
    click(editor.get(), "Command3");
    for (int i = 0; i < 5; ++i) {
        click(editor.get(), "Command3");
        click(editor.get(), "Command4");
        QTest::qWait(20);
    }
    QVERIFY(b.waitIdle());
    // One Load, whole; nothing written to the instrument in the middle of it.
    QCOMPARE(b.sim.receivedBytes(), QByteArray("PHLAMGEZDBCJNO"));
    QVERIFY(b.fx.prompts.messages.isEmpty());
    QCOMPARE(b.fx.session.settings().params, fromList(simParams));
}

void TestLoadTransmission::loadFillsAllFifteenFieldsAndTheControls()
{
    Bench b({QStringLiteral("--params"), simParams});
    QVERIFY2(b.sim.isReady(), qPrintable(b.sim.errorString()));
    auto editor = b.open(Language::Japanese);
    click(editor.get(), "Command3");
    QVERIFY(b.waitIdle());
    QVERIFY(b.fx.prompts.messages.isEmpty());
    QCOMPARE(b.sim.receivedBytes(), QByteArray("PHLAMGEZDBCJNO"));
    QCOMPARE(b.fx.session.settings().params, fromList(simParams));
    QCOMPARE(child<QLineEdit>(editor.get(), "Text3")->text(), QStringLiteral("-50"));
    QCOMPARE(child<QComboBox>(editor.get(), "Combo1")->currentIndex(), 3);
    QCOMPARE(child<QLabel>(editor.get(), "Label13")->text(), QStringLiteral("4"));
    QCOMPARE(child<QLabel>(editor.get(), "Label16")->text(), QStringLiteral("7"));
    QCOMPARE(child<QComboBox>(editor.get(), "Combo3")->currentIndex(), 2);
    QCOMPARE(child<QComboBox>(editor.get(), "Combo8")->currentIndex(), 1);
    QCOMPARE(child<QGroupBox>(editor.get(), "Frame1")->title(), QString());
}

void TestLoadTransmission::aLoadCutOffAfterThreeRepliesKeepsThemAndTheOldControls()
{
    Bench b({QStringLiteral("--params"), simParams, QStringLiteral("--stop-after"),
             QStringLiteral("3")});
    QVERIFY2(b.sim.isReady(), qPrintable(b.sim.errorString()));
    const ParameterSet old = fromList(QStringLiteral("1,2,3,4,5,6,1,1,0,1,1,0,1,1,1"));
    b.fx.session.settings().params = old;
    auto editor = b.open();
    click(editor.get(), "Command3");
    QCOMPARE(child<QGroupBox>(editor.get(), "Frame1")->title(), QStringLiteral("now loading"));
    QVERIFY(b.waitIdle(int(PortCycle::waitBound(9600).count()) + 3000));
    QCOMPARE(b.fx.prompts.messages.size(), 1);
    QCOMPARE(b.fx.prompts.messages[0].text, QStringLiteral("communication error!"));
    QCOMPARE(b.fx.prompts.messages[0].detail, QString()); // a time-out says no more
    QCOMPARE(b.sim.receivedBytes(), QByteArray("PHLA"));  // nothing after the silent "A"

    ParameterSet expected = old;
    expected.senter = 500;
    expected.upper = 600;
    expected.under = -50;
    QCOMPARE(b.fx.session.settings().params, expected);
    QCOMPARE(child<QLineEdit>(editor.get(), "Text1")->text(), QStringLiteral("1"));
    QCOMPARE(child<QLineEdit>(editor.get(), "Text3")->text(), QStringLiteral("3"));
    QCOMPARE(child<QGroupBox>(editor.get(), "Frame1")->title(), QString());
    QTest::qWait(200);
    QCOMPARE(b.fx.prompts.messages.size(), 1);
}

void TestLoadTransmission::transmissionSendsExactlyItsRequests_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("details");
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray standard("p500\rh600\rl-50\ra3\r");
    const QByteArray all = standard + "m4.7\rg2\re0\rz1\rd2\rb0\rc1\rj0\rn0\ro0\r";
    QTest::newRow("standard") << "none" << false << standard;
    QTest::newRow("details") << "none" << true << all;
    QTest::newRow("silent instrument, standard") << "silent" << false << standard;
    QTest::newRow("silent instrument, details") << "silent" << true << all;
}

void TestLoadTransmission::transmissionSendsExactlyItsRequests()
{
    QFETCH(QString, fault);
    QFETCH(bool, details);
    QFETCH(QByteArray, bytes);
    // The instrument starts elsewhere, so a Load afterwards shows what it took.
    Bench b({QStringLiteral("--params"), QStringLiteral("0,0,0,0,0,0,0,0,0,0,0,0,0,0,0"),
             QStringLiteral("--fault"), fault});
    QVERIFY2(b.sim.isReady(), qPrintable(b.sim.errorString()));
    b.fx.session.settings().params = fromList(simParams);
    auto editor = b.open();
    if (details)
        click(editor.get(), "Command1");
    click(editor.get(), "Command4");
    QVERIFY(b.waitIdle());
    QVERIFY(b.sim.waitForReceived(bytes.size()));
    QTest::qWait(100); // anything more would arrive now
    QCOMPARE(b.sim.receivedBytes(), bytes);
    QVERIFY(b.fx.prompts.messages.isEmpty());
    QCOMPARE(child<QGroupBox>(editor.get(), "Frame1")->title(), QString());

    if (fault == "none" && details) {
        b.fx.session.settings().params = ParameterSet{};
        click(editor.get(), "Command3");
        QVERIFY(b.waitIdle());
        QCOMPARE(b.fx.session.settings().params, fromList(simParams));
    }
}

void TestLoadTransmission::aWindowClosedDuringALoadLeavesThePortUsable()
{
    Bench b({QStringLiteral("--params"), simParams, QStringLiteral("--fault"),
             QStringLiteral("silent")});
    QVERIFY2(b.sim.isReady(), qPrintable(b.sim.errorString()));
    {
        auto editor = b.open();
        editor->show();
        click(editor.get(), "Command3");
        QVERIFY(b.sim.waitForReceived(1));
        editor->close();
        QVERIFY(!b.editorPort.isBusy());
        QVERIFY(!b.editorPort.line().device().isOpen());
        QTest::qWait(100);
    }
    QVERIFY(b.fx.prompts.messages.isEmpty());
    QCOMPARE(b.fx.session.settings().params, ParameterSet{});

    QVERIFY(b.sim.setFault(QStringLiteral("none")));
    auto editor = b.open();
    click(editor.get(), "Command3");
    QVERIFY(b.waitIdle());
    QVERIFY(b.fx.prompts.messages.isEmpty());
    QCOMPARE(b.fx.session.settings().params, fromList(simParams));
}

QTEST_MAIN(TestLoadTransmission)
#include "tst_loadtransmission.moc"
