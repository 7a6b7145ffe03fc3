// Faults the field throws at the monitor: each case checks that the program keeps running,
// shows the right message once, returns to a usable state and loses no record.
#include "UiTestKit.h"
#include "core/Options.h"

#include "monitor/Monitor.h"

#include <QProcess>
#include <QScrollBar>

Q_DECLARE_METATYPE(Language)

namespace {

// Starts polling and waits for one good reply.
bool startAndSee(MainWindow &w, const QString &value)
{
    click(&w, "Command1");
    return QTest::qWaitFor([&] { return text(&w, "Label2") == value; }, 4000);
}

bool isIdle(MainWindow &w)
{
    return text(&w, "Command1") == QStringLiteral("stert comm") &&
           text(&w, "Command2") == QStringLiteral("stert save") &&
           !child<QPushButton>(&w, "Command2")->isEnabled() && menusEnabled(w) &&
           child<QScrollBar>(&w, "VScroll1")->isEnabled() && text(&w, "Label3").isEmpty() &&
           text(&w, "Label4").isEmpty() && !w.mainPort()->isBusy();
}

} // namespace

class TestFaults : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void theInstrumentVanishesMidPollAndComesBack();
    void aPortHeldByAnotherProgramIsReported();
    void aLinkToAFileThatIsNoSerialPortIsReported();
    void oddRepliesKeepPolling_data();
    void oddRepliesKeepPolling();
    void theLogFolderRemovedWhileLoggingStopsLoggingOnce();
    void keepPollingRidesOutAnUnpluggedInstrument();
};

void TestFaults::theInstrumentVanishesMidPollAndComesBack()
{
    PollingFixture p({"--value", "3.300", "--delay", "400"});
    QVERIFY2(p.sim->isReady(), qPrintable(p.sim->errorString()));
    auto w = p.window(Language::English);
    QVERIFY(w);
    QVERIFY(startAndSee(*w, QStringLiteral("3.300\r")));
    click(w.get(), "Command2");
    // Pull the plug while a poll waits for its reply; the link goes with it.
    QVERIFY(QTest::qWaitFor([&] { return w->monitor()->isPollRunning(); }, 3000));
    p.sim->kill();
    QFile::remove(p.fx.folder.install + "/ports/COM1");
    QTRY_COMPARE_WITH_TIMEOUT(p.fx.prompts.messages.size(), 1, 6000);
    QCOMPARE(p.fx.prompts.messages[0].text, QStringLiteral("communication error!"));
    QVERIFY(isIdle(*w));
    const QByteArray logged = fileBytes(p.fx.session.settings().fom1file);
    QTest::qWait(300);
    QCOMPARE(fileBytes(p.fx.session.settings().fom1file), logged); // logging stopped with it
    for (const QByteArray &line : fileLines(p.fx.session.settings().fom1file))
        QVERIFY2(line.endsWith("\"3.300\"\r") || line.endsWith("\"\"\r"), line.constData());

    // Plugged in again: the next start works without restarting the program.
    SimProcess back(p.fx.folder.install + "/ports/COM1", {"--value", "3.400"});
    QVERIFY(back.isReady());
    QVERIFY(startAndSee(*w, QStringLiteral("3.400\r")));
    click(w.get(), "Command1");
    QCOMPARE(p.fx.prompts.messages.size(), 1);
}

void TestFaults::aPortHeldByAnotherProgramIsReported()
{
    PollingFixture p({"--value", "1.000"});
    QVERIFY2(p.sim->isReady(), qPrintable(p.sim->errorString()));
    QProcess holder;
    holder.start(QStringLiteral(QSR_HOLD_PORT_PATH), {p.sim->linkPath()});
    QVERIFY(holder.waitForReadyRead(5000));
    QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));
    auto w = p.window(Language::Japanese);
    QVERIFY(w);
    click(w.get(), "Command1");
    QTRY_COMPARE_WITH_TIMEOUT(p.fx.prompts.messages.size(), 1, 3000);
    QCOMPARE(p.fx.prompts.messages[0].text, QStringLiteral("通信設定があっていません!"));
    const QString detail = p.fx.prompts.messages[0].detail;
    QVERIFY2(detail.contains("hold_port") && detail.contains(QString::number(holder.processId())),
             qPrintable(detail)); // what holds the port, rather than the system's bare reason
    QCOMPARE(text(w.get(), "Command1"), QStringLiteral("通信スタート"));
    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(5000));
    QVERIFY(startAndSee(*w, QStringLiteral("1.000\r")));
    click(w.get(), "Command1");
}

void TestFaults::aLinkToAFileThatIsNoSerialPortIsReported()
{
    PollingFixture p({"--none"});
    const QString plain = p.fx.folder.install + "/notes.txt";
    QVERIFY(writeBytes(plain, "not a serial port\n"));
    QVERIFY(QFile::link(plain, p.fx.folder.install + "/ports/COM1"));
    auto w = p.window(Language::English);
    QVERIFY(w);
    click(w.get(), "Command1");
    QTRY_COMPARE_WITH_TIMEOUT(p.fx.prompts.messages.size(), 1, 5000);
    QCOMPARE(p.fx.prompts.messages[0].text, QStringLiteral("communication error!"));
    QVERIFY(isIdle(*w));
    QCOMPARE(fileBytes(plain), QByteArray("not a serial port\n")); // nothing written into it
}

void TestFaults::oddRepliesKeepPolling_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("shown");
    QTest::newRow("slow line at 300 baud")
        << QStringList{"--value", "12.345", "--baud", "300"} << "12.345\r";
    QTest::newRow("not a number") << QStringList{"--value", "OVER"} << "OVER\r";
    QTest::newRow("stray bytes first")
        << QStringList{"--value", "5.000", "--fault", "stray"} << "#~5.000\r";
    QTest::newRow("split") << QStringList{"--value", "5.000",       "--fault",
                                          "split",   "--split-gap", "40"}
                           << "5.000\r";
}

void TestFaults::oddRepliesKeepPolling()
{
    QFETCH(QStringList, simArgs);
    QFETCH(QString, shown);
    PollingFixture p(simArgs);
    QVERIFY2(p.sim->isReady(), qPrintable(p.sim->errorString()));
    auto w = p.window(Language::English);
    QVERIFY(w);
    if (simArgs.contains(QStringLiteral("300")))
        for (SerialPort *port : {w->mainPort(), w->editorPort()})
            QVERIFY(port->setSettings(QStringLiteral("300,N,8,1")));
    QVERIFY(startAndSee(*w, shown));
    QTest::qWait(400);
    QCOMPARE(text(w.get(), "Label2"), shown); // and again: no reply was cut into the next
    QCOMPARE(text(w.get(), "Command1"), QStringLiteral("stop comm"));
    click(w.get(), "Command1");
    QCOMPARE(p.fx.prompts.messages.size(), 0);
}

void TestFaults::theLogFolderRemovedWhileLoggingStopsLoggingOnce()
{
    PollingFixture p({"--value", "8.000"});
    QVERIFY2(p.sim->isReady(), qPrintable(p.sim->errorString()));
    QTemporaryDir logs;
    const QString path = logs.filePath(QStringLiteral("day.csv"));
    p.fx.session.settings().fom1file = path;
    auto w = p.window(Language::English);
    QVERIFY(w);
    p.fx.session.settings().fom1file = path;
    QVERIFY(startAndSee(*w, QStringLiteral("8.000\r")));
    click(w.get(), "Command2");
    QTRY_VERIFY_WITH_TIMEOUT(fileLines(path).size() >= 2, 4000);
    QVERIFY(logs.remove());
    QTRY_COMPARE_WITH_TIMEOUT(p.fx.prompts.messages.size(), 1, 4000);
    QVERIFY(p.fx.prompts.messages[0].detail.contains(path));
    QCOMPARE(text(w.get(), "Command2"), QStringLiteral("stert save"));
    QVERIFY(w->monitor()->isPolling());
    QTest::qWait(400);
    QCOMPARE(p.fx.prompts.messages.size(), 1);
    click(w.get(), "Command1");
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"

// With "keep polling" chosen in the options file: no message, polling and logging go on,
// Label3 tells since when nothing answers, and the instrument is found again on its own.
void TestFaults::keepPollingRidesOutAnUnpluggedInstrument()
{
    PollingFixture p({"--value", "3.300"});
    QVERIFY2(p.sim->isReady(), qPrintable(p.sim->errorString()));
    QVERIFY(writeBytes(OptionsFile::path(p.fx.folder), "[options]\nkeep_polling=true\n"));
    auto w = p.window(Language::Japanese);
    QVERIFY(w);
    QVERIFY(startAndSee(*w, QStringLiteral("3.300\r")));
    click(w.get(), "Command2");
    p.sim->kill();
    QFile::remove(p.fx.folder.install + "/ports/COM1");
    QTRY_VERIFY_WITH_TIMEOUT(w->monitor()->isFailing(), 6000);
    const QString since = w->monitor()->failingSince().toString(QStringLiteral("HH:mm:ss"));
    QCOMPARE(text(w.get(), "Label3"), QStringLiteral("応答なし %1 から").arg(since));
    QVERIFY(w->monitor()->isPolling() && w->monitor()->isLogging());

    SimProcess back(p.fx.folder.install + "/ports/COM1", {"--value", "3.400"});
    QVERIFY(back.isReady());
    QTRY_COMPARE_WITH_TIMEOUT(w->monitor()->lastReply(), QByteArray("3.400\r"), 5000);
    QCOMPARE(text(w.get(), "Label3"), QStringLiteral("now loading"));
    QVERIFY(p.fx.prompts.messages.isEmpty());
    click(w.get(), "Command1");
}
