#include "SimProcess.h"
#include "UiTestKit.h"

#include "core/SettingsFile.h"
#include "monitor/Monitor.h"
#include "ui/MainWindow.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>

Q_DECLARE_METATYPE(Language)

using namespace std::chrono_literals;

namespace {

} // namespace

class TestPolling : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startShowsTheValueAndStopReturnsToIdle();
    void logsWhilePollingAndStopsWithIt();
    void aSilentInstrumentGivesOneMessageAndTheIdleState_data();
    void aSilentInstrumentGivesOneMessageAndTheIdleState();
    void aMissingPortIsHandledLikeATimeout();
    void aLogFileThatCannotBeWrittenStopsLoggingWithAMessage();
    void aLogFileWrittenByAnotherIsNotStarted();
    void chosenLogFileGetsCsvAppendedCaseSensitively_data();
    void chosenLogFileGetsCsvAppendedCaseSensitively();
    void cancellingTheLogDialogChangesNothing();
    void commDialogOkReachesThePortsUsedForPolling();
    void closingTheWindowWhileAPollWaitsIsSafe();
};

void TestPolling::closingTheWindowWhileAPollWaitsIsSafe()
{
    PollingFixture p({"--fault", "silent"});
    QVERIFY2(p.sim->isReady(), qPrintable(p.sim->errorString()));
    auto w = p.window(Language::English);
    QVERIFY(w);
    click(w.get(), "Command1");
    QTRY_VERIFY_WITH_TIMEOUT(w->monitor()->isPollRunning(), 3000);
    QPointer<SerialPort> port = w->mainPort();
    QVERIFY(port->line().device().isOpen());
    w->close();
    w.reset();
    QVERIFY(port.isNull());
    QTest::qWait(2500); // past the wait bound: nothing may fire into the closed window
    QCOMPARE(p.fx.prompts.messages.size(), 0);
}

void TestPolling::startShowsTheValueAndStopReturnsToIdle()
{
    PollingFixture p({"--value", "12.345"});
    QVERIFY2(p.sim->isReady(), qPrintable(p.sim->errorString()));
    auto w = p.window(Language::English);
    QVERIFY(w);
    click(w.get(), "Command1");
    QCOMPARE(text(w.get(), "Command1"), QStringLiteral("stop comm"));
    QVERIFY(child<QPushButton>(w.get(), "Command2")->isEnabled());
    QVERIFY(menusDisabled(*w));
    QVERIFY(child<QMenu>(w.get(), "help")->menuAction()->isEnabled());
    QVERIFY(!child<QScrollBar>(w.get(), "VScroll1")->isEnabled());
    QVERIFY(!child<QScrollBar>(w.get(), "VScroll2")->isEnabled());
    QCOMPARE(p.sim->receivedBytes(), QByteArray()); // nothing is sent at the click
    QTRY_COMPARE_WITH_TIMEOUT(text(w.get(), "Label2"), QStringLiteral("12.345\r"), 3000);
    QCOMPARE(text(w.get(), "Label3"), QStringLiteral("now loading"));

    click(w.get(), "Command1");
    QCOMPARE(text(w.get(), "Command1"), QStringLiteral("stert comm"));
    QVERIFY(!child<QPushButton>(w.get(), "Command2")->isEnabled());
    QVERIFY(menusEnabled(*w));
    QVERIFY(child<QScrollBar>(w.get(), "VScroll1")->isEnabled());
    QCOMPARE(text(w.get(), "Label3"), QString());
    QTest::qWait(150);
    const QByteArray sent = p.sim->receivedBytes();
    QTest::qWait(300);
    QCOMPARE(p.sim->receivedBytes(), sent); // no more polls
    QVERIFY(sent.size() >= 1 && sent.count('R') == sent.size());
}

void TestPolling::logsWhilePollingAndStopsWithIt()
{
    PollingFixture p({"--value", "4.500"});
    QVERIFY2(p.sim->isReady(), qPrintable(p.sim->errorString()));
    auto w = p.window(Language::Japanese);
    QVERIFY(w);
    const QString log = p.fx.session.settings().fom1file;
    click(w.get(), "Command1");
    click(w.get(), "Command2");
    QCOMPARE(text(w.get(), "Command2"), QStringLiteral("保存終了"));
    QTRY_COMPARE_WITH_TIMEOUT(text(w.get(), "Label4"), QStringLiteral("now saveing"), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(fileBytes(log).contains("\"4.500\"\r\n"), 3000);
    click(w.get(), "Command1"); // stopping polling stops logging
    QCOMPARE(text(w.get(), "Command2"), QStringLiteral("保存スタート"));
    QCOMPARE(text(w.get(), "Label4"), QString());
    const QByteArray logged = fileBytes(log);
    QTest::qWait(300);
    QCOMPARE(fileBytes(log), logged);
}

void TestPolling::aSilentInstrumentGivesOneMessageAndTheIdleState_data()
{
    QTest::addColumn<Language>("language");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("start");
    QTest::newRow("English") << Language::English << "communication error!"
                             << "stert comm";
    QTest::newRow("Japanese") << Language::Japanese << "通信設定があっていません!"
                              << "通信スタート";
}

void TestPolling::aSilentInstrumentGivesOneMessageAndTheIdleState()
{
    QFETCH(Language, language);
    QFETCH(QString, message);
    QFETCH(QString, start);
    PollingFixture p({"--fault", "silent"});
    QVERIFY2(p.sim->isReady(), qPrintable(p.sim->errorString()));
    auto w = p.window(language);
    QVERIFY(w);
    // While the box is up: menus and selectors back, logging off, the caption not yet reset.
    bool checked = false;
    p.fx.prompts.onMessage = [&] {
        checked = true;
        QVERIFY(menusEnabled(*w));
        QVERIFY(child<QScrollBar>(w.get(), "VScroll1")->isEnabled());
        QVERIFY(!child<QPushButton>(w.get(), "Command2")->isEnabled());
        QVERIFY(!w->monitor()->isLogging());
        QVERIFY(!w->mainPort()->line().device().isOpen());
        QVERIFY(text(w.get(), "Command1") != start);
    };
    click(w.get(), "Command1");
    click(w.get(), "Command2");
    QTRY_COMPARE_WITH_TIMEOUT(p.fx.prompts.messages.size(), 1, 6000);
    QVERIFY(checked);
    QCOMPARE(p.fx.prompts.messages[0].text, message);
    QCOMPARE(text(w.get(), "Command1"), start);
    QCOMPARE(text(w.get(), "Label3"), QString());
    QCOMPARE(text(w.get(), "Label4"), QString());
    QCOMPARE(text(w.get(), "Label2"), QStringLiteral("0")); // the last value stays
    QVERIFY(!child<QPushButton>(w.get(), "Command2")->isEnabled());
    QTest::qWait(300);
    QCOMPARE(p.fx.prompts.messages.size(), 1);
}

void TestPolling::aMissingPortIsHandledLikeATimeout()
{
    PollingFixture p({"--none"});
    auto w = p.window(Language::English);
    QVERIFY(w);
    QVERIFY(
        QFile::link(p.fx.folder.install + "/no-such-adapter", p.fx.folder.install + "/ports/COM1"));
    click(w.get(), "Command1");
    QTRY_COMPARE_WITH_TIMEOUT(p.fx.prompts.messages.size(), 1, 3000);
    QCOMPARE(p.fx.prompts.messages[0].text, QStringLiteral("communication error!"));
    QVERIFY(p.fx.prompts.messages[0].detail.contains(QStringLiteral("COM1")));
    QCOMPARE(text(w.get(), "Command1"), QStringLiteral("stert comm"));
    QVERIFY(menusEnabled(*w));
    // Once the instrument is there, the next start works without restarting the program.
    QFile::remove(p.fx.folder.install + "/ports/COM1");
    SimProcess sim(p.fx.folder.install + "/ports/COM1", {"--value", "1.000"});
    QVERIFY(sim.isReady());
    click(w.get(), "Command1");
    QTRY_COMPARE_WITH_TIMEOUT(text(w.get(), "Label2"), QStringLiteral("1.000\r"), 3000);
    click(w.get(), "Command1");
}

void TestPolling::aLogFileThatCannotBeWrittenStopsLoggingWithAMessage()
{
    PollingFixture p({"--value", "2.000"});
    QVERIFY2(p.sim->isReady(), qPrintable(p.sim->errorString()));
    auto w = p.window(Language::English);
    QVERIFY(w);
    p.fx.session.settings().fom1file = p.fx.folder.install; // a folder
    click(w.get(), "Command1");
    click(w.get(), "Command2");
    QTRY_COMPARE_WITH_TIMEOUT(p.fx.prompts.messages.size(), 1, 3000);
    QCOMPARE(p.fx.prompts.messages[0].text,
             QStringLiteral("The log file could not be written. Saving has stopped."));
    QVERIFY(p.fx.prompts.messages[0].detail.contains(p.fx.folder.install));
    QCOMPARE(text(w.get(), "Command2"), QStringLiteral("stert save"));
    QCOMPARE(text(w.get(), "Label4"), QString());
    QCOMPARE(text(w.get(), "Command1"), QStringLiteral("stop comm")); // polling goes on
    click(w.get(), "Command1");
}

void TestPolling::aLogFileWrittenByAnotherIsNotStarted()
{
    PollingFixture p({"--value", "2.000"});
    QVERIFY2(p.sim->isReady(), qPrintable(p.sim->errorString()));
    auto w = p.window(Language::Japanese);
    QVERIFY(w);
    const QString log = p.fx.session.settings().fom1file;
    Clock clock;
    Monitor other(*w->mainPort(), clock); // another writer of the same file
    other.startPolling(1h);
    QVERIFY(other.startLogging(1h, log));
    click(w.get(), "Command1");
    click(w.get(), "Command2");
    QCOMPARE(p.fx.prompts.messages.size(), 1);
    QCOMPARE(
        p.fx.prompts.messages[0].text,
        QStringLiteral("ログファイルは他のプログラムが書き込み中です。保存を開始しませんでした。"));
    QVERIFY(p.fx.prompts.messages[0].detail.startsWith(log));
    QVERIFY(p.fx.prompts.messages[0].detail.contains(
        QString::number(QCoreApplication::applicationPid())));
    QCOMPARE(text(w.get(), "Command2"), QStringLiteral("保存スタート"));
    other.stopPolling();
    click(w.get(), "Command2");
    QCOMPARE(text(w.get(), "Command2"), QStringLiteral("保存終了"));
    click(w.get(), "Command1");
}

void TestPolling::chosenLogFileGetsCsvAppendedCaseSensitively_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("used");
    QTest::newRow("no suffix") << "/tmp/log"
                               << "/tmp/log.csv";
    QTest::newRow("upper case") << "/tmp/LOG.CSV"
                                << "/tmp/LOG.CSV.csv";
    QTest::newRow("csv") << "/tmp/ログ.csv"
                         << "/tmp/ログ.csv";
}

void TestPolling::chosenLogFileGetsCsvAppendedCaseSensitively()
{
    QFETCH(QString, chosen);
    QFETCH(QString, used);
    UiFixture fx;
    MainWindow w(Language::English, fx.context);
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    QVERIFY(w.Form_Load(nullptr));
    fx.prompts.saveAnswers << chosen;
    w.findChild<QAction *>(QStringLiteral("SAVE_AS"))->trigger();
    QCOMPARE(fx.prompts.saveDialogs.size(), 1);
    QCOMPARE(fx.prompts.saveDialogs[0].filter, QStringLiteral("*.csv"));
    QCOMPARE(fx.prompts.saveDialogs[0].initialName,
             fx.folder.data + "/540comm.csv"); // after recovery
    QCOMPARE(fx.session.settings().fom1file, used);
    QCOMPARE(text(&w, "Label1"), "Save file =" + used);
    QVERIFY(!QFile::exists(used)); // the next logging tick creates it
    w.findChild<QAction *>(QStringLiteral("SAVE_AS"))->trigger();
    QCOMPARE(fx.prompts.saveDialogs[1].initialName, used);
}

void TestPolling::cancellingTheLogDialogChangesNothing()
{
    UiFixture fx;
    MainWindow w(Language::Japanese, fx.context);
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    QVERIFY(w.Form_Load(nullptr));
    const AppSettings before = fx.session.settings();
    w.findChild<QAction *>(QStringLiteral("SAVE_AS"))->trigger(); // no answer queued: cancel
    QCOMPARE(fx.prompts.saveDialogs.size(), 1);
    QVERIFY(fx.session.settings() == before);
}

void TestPolling::commDialogOkReachesThePortsUsedForPolling()
{
    PollingFixture p({"--none"});
    QDir(p.fx.folder.install).mkpath(QStringLiteral("ports"));
    SimProcess sim(p.fx.folder.install + "/ports/COM3", {"--value", "9.000"});
    QVERIFY(sim.isReady());
    auto w = p.window(Language::English);
    QVERIFY(w);
    onNextModal([](QWidget *dialog) {
        child<QComboBox>(dialog, "Combo1")->setCurrentIndex(2);
        child<QComboBox>(dialog, "Combo2")->setCurrentIndex(6);
        click(dialog, "Command1");
    });
    w->findChild<QAction *>(QStringLiteral("COMM_SET"))->trigger();
    QCOMPARE(p.fx.session.settings().port, qint16(2));
    QCOMPARE(p.fx.session.settings().baud, 19200);
    QCOMPARE(w->editorPort()->commPort(), 3);
    QCOMPARE(w->mainPort()->settings(), QStringLiteral("19200,N,8,1"));
    click(w.get(), "Command1");
    QTRY_COMPARE_WITH_TIMEOUT(text(w.get(), "Label2"), QStringLiteral("9.000\r"), 3000);
    click(w.get(), "Command1");
}

QTEST_MAIN(TestPolling)
#include "tst_polling.moc"
