#include "FakeSerialDevice.h"
#include "SimProcess.h"
#include "TestFiles.h"
#include "monitor/LiveHistory.h"
#include "monitor/LogRecord.h"
#include "monitor/Monitor.h"
#include "monitor/SleepInhibitor.h"
#include "serial/SerialDevice.h"
#include "serial/SerialLines.h"
#include "serial/SerialPort.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

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

// A clock that moves on by `step` at every reading, from `start`.
class SteppingClock final : public Clock {
public:
    SteppingClock(QDateTime start, std::chrono::milliseconds step)
        : m_next(std::move(start)), m_step(step)
    {
    }
    QDateTime now() const override
    {
        const QDateTime at = m_next;
        m_next = m_next.addMSecs(m_step.count());
        return at;
    }

private:
    mutable QDateTime m_next;
    std::chrono::milliseconds m_step;
};

// The wall clock as the system has it, set forward or back by `offset` milliseconds.
class SettableClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime().addMSecs(offset); }
    qint64 offset = 0;
};

// An instrument on a fake line that answers every "R" at once, unless the line is down.
class AnsweringDevice final : public FakeSerialDevice {
public:
    bool write(const QByteArray &bytes) override
    {
        if (!FakeSerialDevice::write(bytes))
            return false;
        if (bytes == "R")
            QTimer::singleShot(0, this, [this] { inject("12.345\r"); });
        return true;
    }
};

// Counts what the monitor asks of the system; refuses when told to.
class FakeInhibitor final : public SleepInhibitor {
public:
    bool acquire(const QString &, QString *error) override
    {
        ++acquired;
        if (refuse && error)
            *error = QStringLiteral("not now");
        held = !refuse;
        return held;
    }
    void release() override { held = false; }
    bool isHeld() const override { return held; }
    bool refuse = false;
    bool held = false;
    int acquired = 0;
};

// One monitor on port 1 of a program folder of its own, reading `clock` (the system's
// unless a test brings one). Either a simulator started with `simArguments` answers on the
// port, or fake devices do: AnsweringDevice (every "R" with 12.345) or a silent one.
class MonitorFixture {
public:
    enum class Fake { Answering, Silent };

    explicit MonitorFixture(const QStringList &simArguments, const Clock &clock = systemClock)
        : lines(ProgramFolder::at(folder.path())), monitor(port, clock)
    {
        sim = std::make_unique<SimProcess>(folder.portPath(1), simArguments);
    }
    explicit MonitorFixture(Fake fake, const Clock &clock = systemClock)
        : lines(ProgramFolder::at(folder.path()),
                [this, fake]() -> std::unique_ptr<SerialDevice> {
                    std::unique_ptr<FakeSerialDevice> made;
                    if (fake == Fake::Answering)
                        made = std::make_unique<AnsweringDevice>();
                    else
                        made = std::make_unique<FakeSerialDevice>();
                    device = made.get();
                    return made;
                }),
          monitor(port, clock)
    {
    }

    bool isReady() const { return !sim || sim->isReady(); }
    QString file(const QString &name) const { return folder.path() + u'/' + name; }

    static inline const Clock systemClock{};
    ProgramFolderFixture folder;
    std::unique_ptr<SimProcess> sim;
    FakeSerialDevice *device = nullptr; // the fake opened last
    SerialLines lines;
    SerialPort port{lines};
    Monitor monitor;
};

} // namespace

class TestMonitor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void firstPollComesOneIntervalAfterTheStart()
    {
        MonitorFixture fx({"--value", "5.000"});
        QVERIFY2(fx.isReady(), qPrintable(fx.sim->errorString()));
        Monitor &monitor = fx.monitor;
        QSignalSpy replies(&monitor, &Monitor::reading);
        QElapsedTimer since;
        since.start();
        monitor.startPolling(300ms);
        QVERIFY(replies.wait(2000));
        QVERIFY2(since.elapsed() >= 300, qPrintable(QString::number(since.elapsed())));
        QCOMPARE(replies[0][1].toByteArray(), QByteArray("5.000\r"));
        QCOMPARE(monitor.lastReply(), QByteArray("5.000\r"));
        monitor.stopPolling();
        QVERIFY(!monitor.isPolling());
    }

    void skipsATickWhileThePollStillWaits()
    {
        MonitorFixture fx({"--value", "1.000", "--delay", "250"});
        QVERIFY2(fx.isReady(), qPrintable(fx.sim->errorString()));
        Monitor &monitor = fx.monitor;
        QSignalSpy replies(&monitor, &Monitor::reading);
        monitor.startPolling(100ms);
        QTRY_VERIFY_WITH_TIMEOUT(replies.size() >= 3, 5000);
        monitor.stopPolling();
        QTest::qWait(400); // the poll still waiting completes
        QVERIFY(monitor.skippedPolls() > 0);
        // Never a request while the previous one waited: every R got its reply.
        QCOMPARE(fx.sim->receivedBytes().count('R'), replies.size());
    }

    void writesOneRecordPerTickRepeatingTheLastReply()
    {
        MonitorFixture fx({"--value", "7.250"});
        QVERIFY2(fx.isReady(), qPrintable(fx.sim->errorString()));
        Monitor &monitor = fx.monitor;
        const QString log = fx.file("log.csv");
        QVERIFY(!monitor.startLogging(50ms, log)); // only while polling
        QSignalSpy ticks(&monitor, &Monitor::recordStarted);
        QSignalSpy replies(&monitor, &Monitor::reading);
        monitor.startPolling(400ms);
        QVERIFY(monitor.startLogging(70ms, log));
        QTRY_VERIFY_WITH_TIMEOUT(replies.size() >= 2, 5000);
        monitor.stopPolling(); // logging ends with polling
        const int written = ticks.size();
        QTest::qWait(200);
        QCOMPARE(ticks.size(), written);
        const QList<QByteArray> logged = fileLines(log);
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
        // Every reading of this clock falls on the other side of midnight from the one
        // before, however many readings the monitor makes: a record built from two readings
        // pairs one day's date with the other day's time.
        MidnightClock clock;
        MonitorFixture fx({"--value", "3.000"}, clock);
        QVERIFY2(fx.isReady(), qPrintable(fx.sim->errorString()));
        Monitor &monitor = fx.monitor;
        const QString log = fx.file("midnight.csv");
        monitor.startPolling(1000ms);
        QVERIFY(monitor.startLogging(1ms, log));
        QTRY_VERIFY_WITH_TIMEOUT(fileLines(log).size() >= 6, 3000);
        monitor.stopPolling();
        for (const QByteArray &line : fileLines(log)) {
            QVERIFY2(line.startsWith("\"20261231\",\"235959\",") ||
                         line.startsWith("\"20270101\",\"000000\","),
                     line.constData());
        }
    }

    void stopsAndReportsWhenTheLogCannotBeWritten()
    {
        MonitorFixture fx(QStringList{});
        QVERIFY2(fx.isReady(), qPrintable(fx.sim->errorString()));
        Monitor &monitor = fx.monitor;
        QSignalSpy failed(&monitor, &Monitor::logFailed);
        monitor.startPolling(1000ms);
        QVERIFY(monitor.startLogging(30ms, fx.folder.path())); // a folder, not a file
        QVERIFY(failed.wait(2000));
        QVERIFY(!monitor.isLogging());
        QVERIFY(monitor.isPolling()); // polling goes on
        QTest::qWait(100);
        QCOMPARE(failed.size(), 1);
        monitor.stopPolling();
    }

    void reportsATimeoutOnceAndStopsBoth()
    {
        MonitorFixture fx({"--fault", "silent"});
        QVERIFY2(fx.isReady(), qPrintable(fx.sim->errorString()));
        Monitor &monitor = fx.monitor;
        QSignalSpy failed(&monitor, &Monitor::pollFailed);
        monitor.startPolling(100ms);
        QVERIFY(monitor.startLogging(1000ms, fx.file("x.csv")));
        QVERIFY(failed.wait(5000));
        QCOMPARE(failed[0][0].value<CycleResult>().status, CycleStatus::TimedOut);
        QVERIFY(!monitor.isPolling());
        QVERIFY(!monitor.isLogging());
        QVERIFY(!fx.port.line().device().isOpen());
        QTest::qWait(300);
        QCOMPARE(failed.size(), 1);
        QCOMPARE(fx.sim->receivedBytes(), QByteArray("R"));
    }

    // Keep polling: three outages (silence, a crashed simulator, its link gone) stop
    // nothing, write no record while they last and one "lost" and one "back" each.
    void keepsPollingAndLoggingThroughOutages()
    {
        MonitorFixture fx({"--value", "2.500"});
        QVERIFY2(fx.isReady(), qPrintable(fx.sim->errorString()));
        Monitor &monitor = fx.monitor;
        monitor.setUnattended({true, true, false});
        const QString log = fx.file("night.csv");
        QSignalSpy failed(&monitor, &Monitor::pollFailed);
        QSignalSpy lost(&monitor, &Monitor::instrumentLost);
        QSignalSpy back(&monitor, &Monitor::instrumentBack);
        qint64 sizeAtLoss = -1;
        connect(&monitor, &Monitor::instrumentLost, this,
                [&] { sizeAtLoss = QFileInfo(log).size(); });
        connect(&monitor, &Monitor::instrumentBack, this,
                [&] { QCOMPARE(QFileInfo(log).size(), sizeAtLoss); }); // nothing while lost
        monitor.startPolling(100ms);
        QVERIFY(monitor.startLogging(50ms, log));

        const std::function<void()> outages[] = {
            [&] { QVERIFY(fx.sim->setFault("silent")); },
            [&] { fx.sim->kill(); },  // the link stays, dangling
            [&] { fx.sim->stop(); }}; // the link goes
        const std::function<void()> returns[] = {[&] { QVERIFY(fx.sim->setFault("none")); },
                                                 [&] { QVERIFY(fx.sim->restart()); },
                                                 [&] { QVERIFY(fx.sim->restart()); }};
        for (int i = 0; i < 3; ++i) {
            QTRY_VERIFY_WITH_TIMEOUT(fileLines(log).size() >= 3 * (i + 1), 5000);
            outages[i]();
            QTRY_COMPARE_WITH_TIMEOUT(lost.size(), i + 1, 5000);
            QTest::qWait(300); // several ticks while lost
            QVERIFY(monitor.isFailing());
            returns[i]();
            QTRY_COMPARE_WITH_TIMEOUT(back.size(), i + 1, 8000);
        }
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(log).size() > sizeAtLoss, 3000); // logging resumed
        monitor.stopPolling();
        QVERIFY(failed.isEmpty());
        QCOMPARE(lost.size(), 3);

        const QList<QByteArray> events = fileLines(fx.file("night.events.csv"));
        QCOMPARE(events.size(), 6);
        const QRegularExpression event(
            QStringLiteral("^\"\\d{8}\",\"\\d{6}\",\"(lost|back)\",\"[^\"]*\"\r$"));
        for (int i = 0; i < events.size(); ++i) {
            QVERIFY2(event.match(QString::fromUtf8(events[i])).hasMatch(), events[i].constData());
            QVERIFY(events[i].contains(i % 2 ? "\"back\"" : "\"lost\""));
        }
        QVERIFY(events[0].contains("\"no reply\""));
        QVERIFY(events[2].contains("port not opened"));
    }

    // The wall clock set back and forward while logging at 1 s: one record per interval all
    // the same (none lost, none doubled), each stamped with the clock as it reads then.
    void aClockStepNeitherLosesNorDoublesARecord()
    {
        SettableClock clock;
        MonitorFixture fx(MonitorFixture::Fake::Answering, clock);
        Monitor &monitor = fx.monitor;
        monitor.setUnattended({true, true, false});
        const QString log = fx.file("steps.csv");
        QElapsedTimer since;
        since.start();
        QList<qint64> tickAt;
        QList<QByteArray> stamps; // the clock as the test reads it at each record
        connect(&monitor, &Monitor::recordStarted, this, [&] {
            tickAt << since.elapsed();
            stamps << LogRecord::format(clock.now(), {}).left(19);
        });
        monitor.startPolling(200ms);
        QTRY_VERIFY(!monitor.lastReply().isEmpty());
        QVERIFY(monitor.startLogging(1s, log));
        // Steps that move the clock's second as well: the old mid-second is lost either way.
        for (const qint64 step : {-3'599'700, 7'200'800, -3'600'000}) {
            const qsizetype n = tickAt.size();
            QTRY_VERIFY_WITH_TIMEOUT(tickAt.size() > n, 3000);
            QTest::qWait(200);
            clock.offset += step;
        }
        QTRY_VERIFY_WITH_TIMEOUT(tickAt.size() >= 5, 3000);
        monitor.stopPolling();
        for (qsizetype i = 1; i < tickAt.size(); ++i) {
            const qint64 gap = tickAt[i] - tickAt[i - 1];
            QVERIFY2(gap > 500 && gap < 1500, qPrintable(QString::number(gap)));
        }
        const QList<QByteArray> records = fileLines(log);
        QCOMPARE(records.size(), tickAt.size());
        for (qsizetype i = 0; i < records.size(); ++i)
            QVERIFY2(records[i].startsWith(stamps[i]), records[i].constData());
    }

    // Polling through errors: no record before the first reply, none while the instrument
    // is lost; logging started while it is lost says so first in the event file.
    void logsNothingWithoutAReadingBehindIt()
    {
        MonitorFixture fx(MonitorFixture::Fake::Answering);
        Monitor &monitor = fx.monitor;
        monitor.setUnattended({true, true, false});
        const QString log = fx.file("slow.csv");
        QSignalSpy replies(&monitor, &Monitor::reading);
        QSignalSpy ticks(&monitor, &Monitor::recordStarted);
        monitor.startPolling(500ms);
        QVERIFY(monitor.startLogging(50ms, log));
        QVERIFY(replies.wait(2000));
        QCOMPARE(ticks.size(), 0); // nine ticks went by before the first reply
        QTRY_VERIFY(fileLines(log).size() >= 2);
        for (const QByteArray &line : fileLines(log))
            QVERIFY2(line.endsWith("\"12.345\"\r"), line.constData());
        monitor.stopPolling();

        fx.device->failOpen = true;
        QSignalSpy lost(&monitor, &Monitor::instrumentLost);
        monitor.startPolling(100ms);
        QVERIFY(lost.wait(2000));
        const QString lateLog = fx.file("late.csv");
        QVERIFY(monitor.startLogging(50ms, lateLog));
        QTest::qWait(200);
        QVERIFY(!QFileInfo::exists(lateLog));
        fx.device->failOpen = false;
        QTRY_VERIFY(fileLines(lateLog).size() >= 1);
        monitor.stopPolling();
        const QList<QByteArray> events = fileLines(fx.file("late.events.csv"));
        QCOMPARE(events.size(), 2);
        QVERIFY2(events[0].contains("\"lost\",\"port not opened"), events[0].constData());
        QVERIFY(events[1].contains("\"back\""));
    }

    // The history takes each reading at the monitor's own time of it, and breaks the line
    // where the instrument was lost and where polling stopped; it tells of each change once.
    void theLiveHistoryFollowsReadingsLossesAndStops()
    {
        MonitorFixture fx(MonitorFixture::Fake::Answering);
        Monitor &monitor = fx.monitor;
        monitor.setUnattended({true, false, false});
        LiveHistory history;
        history.follow(monitor);
        QSignalSpy changed(&history, &LiveHistory::changed);
        QList<TrendSeries::Point> expected;
        connect(&monitor, &Monitor::reading, this, [&](const QDateTime &at) {
            expected.append({at.toMSecsSinceEpoch(), 12.345});
        });
        const auto addBreak = [&](const QDateTime &at) {
            expected.append({at.toMSecsSinceEpoch(), TrendSeries::breakMark});
        };
        connect(&monitor, &Monitor::instrumentLost, this, addBreak);
        connect(&monitor, &Monitor::stopped, this, addBreak);

        monitor.startPolling(20ms);
        QTRY_VERIFY(expected.size() >= 2);
        fx.device->failOpen = true;
        QTRY_VERIFY(monitor.isFailing());
        QTest::qWait(100); // failed polls after the loss add nothing
        fx.device->failOpen = false;
        QTRY_VERIFY(!monitor.isFailing() && expected.last().isNumber());
        monitor.stopPolling();
        monitor.stopPolling(); // not polling: nothing to break
        QTest::qWait(50);      // a poll still on the line ends

        const TrendSeries &series = history.series();
        QCOMPARE(series.size(), expected.size());
        QCOMPARE(changed.size(), expected.size());
        int breaks = 0;
        for (qsizetype i = 0; i < series.size(); ++i) {
            QCOMPARE(series.at(i).ms, expected[i].ms);
            QCOMPARE(series.at(i).isBreak(), expected[i].isBreak());
            breaks += series.at(i).isBreak();
        }
        QVERIFY(breaks >= 2);
    }

    // One writer per log file, by whatever name it is given; free again when logging stops.
    void refusesASecondWriterOfALogFile()
    {
        MonitorFixture fx(MonitorFixture::Fake::Answering);
        const Clock &clock = MonitorFixture::systemClock;
        Monitor first(fx.port, clock), second(fx.port, clock);
        const QString log = fx.file("line.csv");
        QVERIFY(QFile::link(fx.folder.path(), fx.file("alias")));
        first.startPolling(1h);
        second.startPolling(1h);
        QVERIFY(first.startLogging(1s, log));
        ProcessClaim::Holder holder;
        QVERIFY(!second.startLogging(1s, fx.file("alias/line.csv"), &holder));
        QCOMPARE(holder.pid, QCoreApplication::applicationPid());
        QVERIFY(!second.isLogging());
        QVERIFY(second.startLogging(1s, fx.file("other.csv")));
        first.stopLogging();
        second.stopLogging();
        QVERIFY(second.startLogging(1s, log));
    }

    // A file per day: the record of 23:59:59 in the old day's file, that of 00:00:00 in the
    // new one, each written once.
    void startsANewFileAtMidnight()
    {
        SteppingClock clock(QDateTime(QDate(2026, 12, 9), QTime(23, 59, 55, 250)), 250ms);
        MonitorFixture fx(MonitorFixture::Fake::Silent, clock);
        Monitor &monitor = fx.monitor;
        monitor.setUnattended({false, false, true});
        QSignalSpy ticks(&monitor, &Monitor::recordStarted);
        monitor.startPolling(1h);
        QVERIFY(monitor.startLogging(1ms, fx.file("qsr540.csv")));
        QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= 30, 5000);
        monitor.stopPolling();

        const QList<QByteArray> before = fileLines(fx.file("qsr540-20261209.csv"));
        const QList<QByteArray> after = fileLines(fx.file("qsr540-20261210.csv"));
        QVERIFY(!before.isEmpty() && !after.isEmpty());
        QCOMPARE(before.size() + after.size(), ticks.size());
        QVERIFY(before.last().startsWith("\"20261209\",\"235959\""));
        QVERIFY(after.first().startsWith("\"20261210\",\"000000\""));
        for (const QByteArray &line : after)
            QVERIFY(line.startsWith("\"20261210\""));
        QVERIFY(!QFile::exists(fx.file("qsr540.csv")));
    }

    // Awake while logging runs, and only then: taken at the start, let go at the stop, at
    // a stop with polling, and when the monitor goes; a refusal is told and logging goes on.
    void keepsTheComputerAwakeWhileLogging()
    {
        MonitorFixture fx(MonitorFixture::Fake::Silent);
        const Clock &clock = MonitorFixture::systemClock;
        FakeInhibitor inhibitor;
        auto monitor = std::make_unique<Monitor>(fx.port, clock);
        monitor->setSleepInhibitor(&inhibitor);
        const QString log = fx.file("log.csv");
        QVERIFY(!monitor->startLogging(1s, log)); // not polling: nothing taken
        QCOMPARE(inhibitor.acquired, 0);
        monitor->startPolling(1h);
        QVERIFY(monitor->startLogging(1s, log));
        QVERIFY(inhibitor.held);
        monitor->stopLogging();
        QVERIFY(!inhibitor.held);
        QVERIFY(monitor->startLogging(1s, log));
        monitor->stopPolling();
        QVERIFY(!inhibitor.held);
        QVERIFY(monitor->startLogging(1s, log) == false && !inhibitor.held);

        monitor->startPolling(1h);
        QVERIFY(monitor->startLogging(1s, log));
        monitor.reset(); // the program ends while logging
        QVERIFY(!inhibitor.held);

        inhibitor.refuse = true;
        Monitor refused(fx.port, clock);
        refused.setSleepInhibitor(&inhibitor);
        QSignalSpy told(&refused, &Monitor::keepAwakeRefused);
        refused.startPolling(1h);
        QVERIFY(refused.startLogging(1s, log));
        QCOMPARE(told.size(), 1);
        QCOMPARE(told[0][0].toString(), QStringLiteral("not now"));
        QVERIFY(refused.isLogging());
    }
};

QTEST_GUILESS_MAIN(TestMonitor)
#include "tst_monitor.moc"
