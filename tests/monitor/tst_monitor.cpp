#include "SimProcess.h"
#include "monitor/Monitor.h"
#include "serial/SerialDevice.h"
#include "serial/SerialLines.h"
#include "serial/SerialPort.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;

namespace {

// A clock whose readings alternate between the last millisecond of 2026 and the first
// of 2027.
class MidnightClock final : public Clock {
public:
    QDateTime now() const override
    {
        m_before = !m_before;
        return m_before ? QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 999))
                        : QDateTime(QDate(2027, 1, 1), QTime(0, 0));
    }

private:
    mutable bool m_before = false;
};

QList<QByteArray> records(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> out = f.readAll().split('\n');
    if (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    return out;
}

} // namespace

class TestMonitor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void firstPollComesOneIntervalAfterTheStart()
    {
        ProgramFolderFixture folder;
        SimProcess sim(folder.portPath(1), {"--value", "5.000"});
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        SerialLines lines(ProgramFolder::at(folder.path()));
        SerialPort port(lines);
        Clock clock;
        Monitor monitor(port, clock);
        QSignalSpy replies(&monitor, &Monitor::replyReceived);
        QElapsedTimer since;
        since.start();
        monitor.startPolling(300ms);
        QVERIFY(replies.wait(2000));
        QVERIFY2(since.elapsed() >= 300, qPrintable(QString::number(since.elapsed())));
        QCOMPARE(replies[0][0].toByteArray(), QByteArray("5.000\r"));
        QCOMPARE(monitor.lastReply(), QByteArray("5.000\r"));
        monitor.stopPolling();
        QVERIFY(!monitor.isPolling());
    }

    void skipsATickWhileThePollStillWaits()
    {
        ProgramFolderFixture folder;
        SimProcess sim(folder.portPath(1), {"--value", "1.000", "--delay", "250"});
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        SerialLines lines(ProgramFolder::at(folder.path()));
        SerialPort port(lines);
        Clock clock;
        Monitor monitor(port, clock);
        QSignalSpy replies(&monitor, &Monitor::replyReceived);
        monitor.startPolling(100ms);
        QTRY_VERIFY_WITH_TIMEOUT(replies.size() >= 3, 5000);
        monitor.stopPolling();
        QTest::qWait(400); // the poll still waiting completes
        QVERIFY(monitor.skippedPolls() > 0);
        // Never a request while the previous one waited: every R got its reply.
        QCOMPARE(sim.receivedBytes().count('R'), replies.size());
    }

    void writesOneRecordPerTickRepeatingTheLastReply()
    {
        ProgramFolderFixture folder;
        SimProcess sim(folder.portPath(1), {"--value", "7.250"});
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        SerialLines lines(ProgramFolder::at(folder.path()));
        SerialPort port(lines);
        Clock clock;
        Monitor monitor(port, clock);
        const QString log = folder.path() + "/log.csv";
        QVERIFY(!monitor.startLogging(50ms, log)); // only while polling
        QSignalSpy ticks(&monitor, &Monitor::recordStarted);
        QSignalSpy replies(&monitor, &Monitor::replyReceived);
        monitor.startPolling(400ms);
        QVERIFY(monitor.startLogging(70ms, log));
        QTRY_VERIFY_WITH_TIMEOUT(replies.size() >= 2, 5000);
        monitor.stopPolling(); // logging ends with polling
        const int written = ticks.size();
        QTest::qWait(200);
        QCOMPARE(ticks.size(), written);
        const QList<QByteArray> logged = records(log);
        QCOMPARE(logged.size(), written);
        int withValue = 0;
        for (const QByteArray &line : logged) {
            // "yyyymmdd","hhmmss","value" CR LF, the value empty before the first reply
            QVERIFY2(QRegularExpression(R"(^"\d{8}","\d{6}","(7\.250)?"\r$)")
                         .match(QString::fromLatin1(line))
                         .hasMatch(),
                     line.constData());
            withValue += line.contains("7.250");
        }
        QVERIFY(withValue > replies.size()); // the same value in several records
    }

    void takesDateAndTimeFromOneReading()
    {
        ProgramFolderFixture folder;
        SimProcess sim(folder.portPath(1), {"--value", "3.000"});
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        SerialLines lines(ProgramFolder::at(folder.path()));
        SerialPort port(lines);
        // Every reading of this clock falls on the other side of midnight from the one
        // before, however many readings the monitor makes: a record built from two readings
        // pairs one day's date with the other day's time.
        MidnightClock clock;
        Monitor monitor(port, clock);
        const QString log = folder.path() + "/midnight.csv";
        monitor.startPolling(1000ms);
        QVERIFY(monitor.startLogging(1ms, log));
        QTRY_VERIFY_WITH_TIMEOUT(records(log).size() >= 6, 3000);
        monitor.stopPolling();
        for (const QByteArray &line : records(log)) {
            QVERIFY2(line.startsWith("\"20261231\",\"235959\",") ||
                         line.startsWith("\"20270101\",\"000000\","),
                     line.constData());
        }
    }

    void stopsAndReportsWhenTheLogCannotBeWritten()
    {
        ProgramFolderFixture folder;
        SimProcess sim(folder.portPath(1));
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        SerialLines lines(ProgramFolder::at(folder.path()));
        SerialPort port(lines);
        Clock clock;
        Monitor monitor(port, clock);
        QSignalSpy failed(&monitor, &Monitor::logFailed);
        monitor.startPolling(1000ms);
        QVERIFY(monitor.startLogging(30ms, folder.path())); // a folder, not a file
        QVERIFY(failed.wait(2000));
        QVERIFY(!monitor.isLogging());
        QVERIFY(monitor.isPolling()); // polling goes on
        QTest::qWait(100);
        QCOMPARE(failed.size(), 1);
        monitor.stopPolling();
    }

    void reportsATimeoutOnceAndStopsBoth()
    {
        ProgramFolderFixture folder;
        SimProcess sim(folder.portPath(1), {"--fault", "silent"});
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        SerialLines lines(ProgramFolder::at(folder.path()));
        SerialPort port(lines);
        Clock clock;
        Monitor monitor(port, clock);
        QSignalSpy failed(&monitor, &Monitor::pollFailed);
        monitor.startPolling(100ms);
        QVERIFY(monitor.startLogging(1000ms, folder.path() + "/x.csv"));
        QVERIFY(failed.wait(5000));
        QCOMPARE(failed[0][0].value<CycleResult>().status, CycleStatus::TimedOut);
        QVERIFY(!monitor.isPolling());
        QVERIFY(!monitor.isLogging());
        QVERIFY(!port.line().device().isOpen());
        QTest::qWait(300);
        QCOMPARE(failed.size(), 1);
        QCOMPARE(sim.receivedBytes(), QByteArray("R"));
    }
};

QTEST_GUILESS_MAIN(TestMonitor)
#include "tst_monitor.moc"
