#include "LoggerProcess.h"
#include "SimProcess.h"
#include "TestFiles.h"
#include "monitor/Clock.h"
#include "monitor/LiveHistory.h"
#include "monitor/LogRecord.h"
#include "monitor/Monitor.h"
#include "serial/DeviceClaim.h"
#include "serial/SerialLines.h"
#include "serial/SerialPort.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;

namespace {
// The log records, each checked to be exactly what the window writes for its own date,
// time and `reply`.
bool recordsAsTheWindowWrites(const QString &path, const QByteArray &reply, int *count)
{
    const QList<QByteArray> records = fileLines(path);
    for (const QByteArray &line : records) {
        const QDateTime at =
            QDateTime::fromString(QString::fromLatin1(line.mid(1, 8) + line.mid(12, 6)),
                                  QStringLiteral("yyyyMMddHHmmss"));
        if (!at.isValid() || LogRecord::format(at, reply) != line + '\n') {
            qWarning() << "record" << line;
            return false;
        }
    }
    *count = int(records.size());
    return true;
}

const QRegularExpression readingLine(QStringLiteral(
    "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d 12\\.345$"));
} // namespace

class LoggerProcessTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Port, speed and log from the window's settings file (its ports/ links, its log
    // path); the records are the window's, byte for byte; the settings file is untouched.
    void logsAsTheWindowDoes()
    {
        ProgramFolderFixture folder;
        SimProcess sim(folder.portPath(2), {"--value", "12.345\r"});
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        const QString st = folder.path() + "/540comm.st";
        const QString log = folder.path() + "/line.csv";
        const QByteArray settings =
            "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1,9600\r\n" + log.toUtf8() + ",     x.txt\r\ne\r\n";
        QVERIFY(writeBytes(st, settings));

        LoggerProcess logger({"--settings", st});
        QTRY_VERIFY_WITH_TIMEOUT(fileLines(log).size() >= 3, 8000);
        logger.signal(SIGTERM);
        QVERIFY2(logger.waitForExit(4000, 0), logger.errors().constData());

        int records = 0;
        QVERIFY(recordsAsTheWindowWrites(log, "12.345\r", &records));
        QVERIFY(records >= 3);
        QVERIFY(logger.readings().size() >= records - 1);
        for (const QByteArray &line : logger.readings())
            QVERIFY2(readingLine.match(QString::fromLatin1(line)).hasMatch(), line.constData());
        QVERIFY(logger.errors().contains("polling COM2 (" + folder.portPath(2).toUtf8() + ")"));
        QCOMPARE(fileBytes(st), settings);
        QVERIFY(!QFileInfo::exists(log + ".events.csv") &&
                !QFileInfo::exists(folder.path() + "/line.events.csv")); // nothing went wrong
    }

    // Silence, a crash and a removed link: polling goes on, one "lost" and one "back" each
    // in the event file and on the error output, and no record while the instrument is away.
    void survivesOutagesWithTheEventFile()
    {
        ProgramFolderFixture folder;
        SimProcess sim(folder.portPath(1), {"--value", "12.345\r"});
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        const QString log = folder.path() + "/night.csv";
        LoggerProcess logger({"--device", folder.portPath(1), "--log", log});

        const std::function<void()> outages[] = {[&] { QVERIFY(sim.setFault("silent")); },
                                                 [&] { sim.kill(); }, [&] { sim.stop(); }};
        const std::function<void()> returns[] = {[&] { QVERIFY(sim.setFault("none")); },
                                                 [&] { QVERIFY(sim.restart()); },
                                                 [&] { QVERIFY(sim.restart()); }};
        const QString events = folder.path() + "/night.events.csv";
        for (int i = 0; i < 3; ++i) {
            QTRY_VERIFY_WITH_TIMEOUT(fileLines(log).size() >= 2 * (i + 1), 8000);
            outages[i]();
            QTRY_COMPARE_WITH_TIMEOUT(fileLines(events).size(), 2 * i + 1, 8000);
            const qsizetype during = fileLines(log).size();
            QTest::qWait(2500);                           // ticks while away
            QVERIFY(fileLines(log).size() <= during + 1); // a tick may have been due at the loss
            returns[i]();
            QTRY_COMPARE_WITH_TIMEOUT(fileLines(events).size(), 2 * i + 2, 8000);
        }
        logger.signal(SIGINT);
        QVERIFY2(logger.waitForExit(4000, 0), logger.errors().constData());

        const QList<QByteArray> noted = fileLines(events);
        for (int i = 0; i < noted.size(); ++i)
            QVERIFY2(noted[i].contains(i % 2 ? "\"back\"" : "\"lost\""), noted[i].constData());
        QVERIFY(noted[0].contains("\"no reply\""));
        QVERIFY(noted[4].contains("port not opened"));
        QCOMPARE(logger.errors().count("instrument lost"), 3);
        QCOMPARE(logger.errors().count("instrument answers again"), 3);
        int records = 0;
        QVERIFY(recordsAsTheWindowWrites(log, "12.345\r", &records));
    }

    // Asked to end while a reply is awaited: the reply is still taken and printed, and the
    // program ends well within the reply bound, the log complete.
    void endsAfterTheCurrentCycle()
    {
        ProgramFolderFixture folder;
        SimProcess sim(folder.portPath(1), {"--value", "12.345\r", "--delay", "1200"});
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        const QString log = folder.path() + "/x.csv";
        LoggerProcess logger({"--device", folder.portPath(1), "--log", log});
        QVERIFY(logger.waitForReadings(1, 8000));
        QVERIFY(sim.waitForReceived(3, 8000)); // the next poll waits for its reply
        QElapsedTimer clock;
        clock.start();
        logger.signal(SIGTERM);
        QVERIFY2(logger.waitForExit(3000, 0), logger.errors().constData());
        QVERIFY(clock.elapsed() < 3000);
        QCOMPARE(logger.readings().size(), 3); // the awaited reply came and was printed
        QVERIFY(fileBytes(log).endsWith("\"12.345\"\r\n"));
    }

    // Bad options open nothing; a second logger on the same device (by another path) is
    // refused and names the first, and so is the window's poll; the first goes on.
    void refusesBadOptionsAndASecondLogger()
    {
        ProgramFolderFixture folder;
        SimProcess sim(folder.portPath(1), {"--value", "12.345\r"});
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        const QString log = folder.path() + "/x.csv";

        LoggerProcess bad({"--device", folder.portPath(1), "--log", log, "--poll", "0"});
        QVERIFY(bad.waitForExit(3000, 2));
        QVERIFY(bad.errors().contains("--poll"));
        QVERIFY(bad.errors().contains("--help"));
        QVERIFY(!QFileInfo::exists(log));

        // A NUL in a config value ends it before anything is opened.
        const QString conf = folder.path() + "/nul.conf";
        QVERIFY(writeBytes(conf, "log = " + log.toUtf8() + "\ndevice = " +
                                     folder.portPath(1).toUtf8() + QByteArray("\0x", 2)));
        const QStringList files = QDir(folder.path()).entryList();
        LoggerProcess nul({"--config", conf});
        QVERIFY2(nul.waitForExit(3000, 2), nul.errors().constData());
        QVERIFY2(nul.errors().contains("line 2: the value of device"), nul.errors().constData());
        QCOMPARE(QDir(folder.path()).entryList(), files);

        LoggerProcess first({"--device", folder.portPath(1), "--socket", "none"});
        QVERIFY(first.waitForReadings(1, 8000));
        LoggerProcess second({"--device", sim.terminalPath(), "--log", log});
        QVERIFY(second.waitForExit(3000, 1));
        QVERIFY2(second.errors().contains("logged already") &&
                     second.errors().contains(QByteArray::number(first.pid())),
                 second.errors().constData());
        QVERIFY(!QFileInfo::exists(log));

        // The window's port cycles keep off the line of a logger that does not share it, and
        // say who has it.
        SerialLines lines(ProgramFolder::at(folder.path()));
        SerialPort port(lines);
        std::optional<CycleResult> result;
        QVERIFY(
            port.startCycle({{"R", true}}, {}, this, [&](const CycleResult &r) { result = r; }));
        QTRY_VERIFY(result.has_value());
        QCOMPARE(result->status, CycleStatus::OpenFailed);
        QCOMPARE(result->problem.cause, PortProblem::Cause::HeldByProgram);
        QCOMPARE(result->problem.pid, first.pid());

        const qsizetype before = first.readings().size();
        QVERIFY(first.waitForReadings(before + 2, 5000));
        first.signal(SIGTERM);
        QVERIFY(first.waitForExit(4000, 0));
        QCOMPARE(bad.process().readAllStandardOutput(), QByteArray());
    }

    // A logger that shares its line runs the window's Load and Transmission for it, between
    // its polls: the instrument gets exactly the window's bytes, the window the replies.
    void aWindowsCycleRunsOnTheLoggersLine()
    {
        ProgramFolderFixture folder;
        SimProcess sim(folder.portPath(1));
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        LoggerProcess logger({"--device", folder.portPath(1), "--quiet"});
        QTRY_VERIFY_WITH_TIMEOUT(logger.errors().contains("windows attach at"), 8000);

        SerialLines lines(ProgramFolder::at(folder.path()));
        SerialPort port(lines);
        QList<QByteArray> replies;
        std::optional<CycleResult> result;
        const auto run = [&](QList<Exchange> exchanges) {
            replies.clear();
            result.reset();
            QVERIFY(port.startCycle(
                exchanges,
                [&](int index, const QByteArray &reply, QString *) {
                    replies << QByteArray::number(index) + ':' + reply;
                    return true;
                },
                this, [&](const CycleResult &r) { result = r; }));
            QVERIFY(port.isBusy());
            QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 5000);
        };
        run({{"P", true}, {"H", true}});
        QCOMPARE(result->status, CycleStatus::Ok);
        QCOMPARE(replies, (QList<QByteArray>{"0:1250\r", "1:1300\r"}));
        run({{"p1251\r", false}, {"P", true}});
        QCOMPARE(result->status, CycleStatus::Ok);
        QCOMPARE(replies, (QList<QByteArray>{"1:1251\r"}));
        const QByteArray wire = sim.receivedBytes();
        QVERIFY2(QByteArray(wire).replace("R", "") == "PHp1251\rP", wire.constData());

        // A reply the window refuses ends its cycle as a local one would.
        replies.clear();
        result.reset();
        QVERIFY(port.startCycle(
            {{"H", true}},
            [](int, const QByteArray &, QString *reason) {
                *reason = QStringLiteral("no");
                return false;
            },
            this, [&](const CycleResult &r) { result = r; }));
        QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 5000);
        QCOMPARE(result->status, CycleStatus::BadReply);
        QCOMPARE(result->reason, QStringLiteral("no"));
    }

    // A window's polling attaches to the logger that owns the line: it takes the logger's
    // readings and sends nothing itself, logs them at its own interval, and polls the line
    // itself again once the logger has ended.
    void aWindowAttachesAndFallsBack()
    {
        ProgramFolderFixture folder;
        SimProcess sim(folder.portPath(1));
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        auto logger = std::make_unique<LoggerProcess>(QStringList{"--device", folder.portPath(1)});
        QTRY_VERIFY_WITH_TIMEOUT(logger->errors().contains("windows attach at"), 8000);

        SerialLines lines(ProgramFolder::at(folder.path()));
        SerialPort port(lines);
        Clock clock;
        Monitor monitor(port, clock);
        LiveHistory history;
        history.follow(monitor);
        QVERIFY(logger->waitForReadings(3, 5000)); // before the window: from its history
        QSignalSpy attached(&monitor, &Monitor::attached);
        QSignalSpy detached(&monitor, &Monitor::detached);
        QSignalSpy readings(&monitor, &Monitor::reading);
        const qint64 startMs = clock.now().toMSecsSinceEpoch();
        monitor.startPolling(300ms);
        QVERIFY(attached.wait(3000));
        QCOMPARE(attached[0][0].value<ShareProtocol::Hello>().pid, logger->pid());
        const QString log = folder.path() + "/window.csv";
        QVERIFY(monitor.startLogging(1s, log));
        QTRY_VERIFY_WITH_TIMEOUT(readings.size() >= 3, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(fileLines(log).size() >= 2, 5000);
        // The logger's history first, then the readings as they come: in order, none twice.
        QVERIFY(history.series().lowerBound(startMs) >= 3);
        for (qsizetype i = 1; i < history.series().size(); ++i)
            QVERIFY(history.series().at(i - 1).ms < history.series().at(i).ms);
        QCOMPARE(history.series().at(history.series().size() - 1).ms,
                 readings.last()[0].toDateTime().toMSecsSinceEpoch());
        // Every R on the line is the logger's: one a second, whatever the window's 300 ms.
        const qsizetype polls = sim.receivedBytes().count('R');
        QVERIFY2(
            qAbs(polls - logger->readings().size()) <= 1,
            qPrintable(
                QStringLiteral("%1 R, %2 readings").arg(polls).arg(logger->readings().size())));

        logger->signal(SIGTERM);
        QVERIFY(logger->waitForExit(4000, 0));
        QVERIFY(detached.wait(3000));
        const qsizetype before = readings.size();
        QTRY_VERIFY_WITH_TIMEOUT(readings.size() >= before + 3, 5000); // its own polls now
        QVERIFY(!monitor.isAttached());

        // A logger back on the line is attached to again at the next poll.
        logger = std::make_unique<LoggerProcess>(QStringList{"--device", folder.portPath(1)});
        QVERIFY(attached.wait(8000));
        QCOMPARE(attached.last()[0].value<ShareProtocol::Hello>().pid, logger->pid());
        monitor.stopPolling();
    }

    // The claim follows the node the link leads to: when the link comes to lead to another
    // instrument (an adapter back under another name), the old node is anyone's again and
    // the new one the logger's, named when a second logger on the link is refused.
    void theClaimFollowsTheNodeItOpens()
    {
        ProgramFolderFixture folder;
        SimProcess a(folder.portPath(1), {"--value", "1.000\r"});
        SimProcess b(folder.portPath(2), {"--value", "2.000\r"});
        QVERIFY2(a.isReady() && b.isReady(), qPrintable(a.errorString() + b.errorString()));
        const QString link = folder.path() + "/line";
        QVERIFY(QFile::link(a.terminalPath(), link));
        LoggerProcess logger({"--device", link});
        QVERIFY(logger.waitForReadings(1, 8000));
        QCOMPARE(DeviceClaim::otherHolder(a.terminalPath()).pid, logger.pid());

        QVERIFY(QFile::remove(link) && QFile::link(b.terminalPath(), link));
        QTRY_VERIFY_WITH_TIMEOUT(logger.readings().last().endsWith(" 2.000"), 5000);
        QCOMPARE(DeviceClaim::otherHolder(a.terminalPath()).pid, 0);
        QCOMPARE(DeviceClaim::otherHolder(b.terminalPath()).pid, logger.pid());
        // The claim names where windows attach; only the owner and the device's group may.
        const QString socket = DeviceClaim::otherHolder(b.terminalPath()).socket;
        QVERIFY2(logger.errors().contains("windows attach at " + socket.toLocal8Bit()),
                 logger.errors().constData());
        QCOMPARE(QFileInfo(socket).permissions() & 0x0777,
                 QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ReadGroup |
                     QFileDevice::WriteGroup);
        QCOMPARE(QFileInfo(socket).groupId(), QFileInfo(b.terminalPath()).groupId());

        SerialLines lines(ProgramFolder::at(folder.path()));
        SerialPort port(lines);
        port.setDevice(a.terminalPath());
        std::optional<CycleResult> result;
        QVERIFY(
            port.startCycle({{"R", true}}, {}, this, [&](const CycleResult &r) { result = r; }));
        QTRY_VERIFY(result.has_value());
        QCOMPARE(result->status, CycleStatus::Ok);

        LoggerProcess second({"--device", link});
        QVERIFY(second.waitForExit(3000, 1));
        QVERIFY2(
            second.errors().contains("(" + b.terminalPath().toUtf8() + ") is logged already") &&
                second.errors().contains(QByteArray::number(logger.pid())),
            second.errors().constData());
        logger.signal(SIGTERM);
        QVERIFY(logger.waitForExit(4000, 0));
    }

    // Two loggers given one log file (a config copied without a change): the second is
    // refused, names the first and writes nothing; the first's records stay its own.
    void refusesASecondWriterOfTheLog()
    {
        ProgramFolderFixture folder;
        SimProcess a(folder.portPath(1), {"--value", "1.000\r"});
        SimProcess b(folder.portPath(2), {"--value", "2.000\r"});
        QVERIFY2(a.isReady() && b.isReady(), qPrintable(a.errorString() + b.errorString()));
        const QString log = folder.path() + "/line.csv";
        LoggerProcess first({"--device", a.linkPath(), "--log", log, "--quiet"});
        QTRY_VERIFY_WITH_TIMEOUT(fileLines(log).size() >= 1, 8000);
        LoggerProcess second({"--device", b.linkPath(), "--log", log});
        QVERIFY(second.waitForExit(3000, 1));
        QVERIFY2(second.errors().contains("is written already, by qsrlink-logger, process " +
                                          QByteArray::number(first.pid())),
                 second.errors().constData());
        QVERIFY(!b.receivedBytes().contains('R'));
        first.signal(SIGTERM);
        QVERIFY(first.waitForExit(4000, 0));
        int records = 0;
        QVERIFY(recordsAsTheWindowWrites(log, "1.000\r", &records));
    }
};

QTEST_GUILESS_MAIN(LoggerProcessTest)
#include "tst_loggerprocess.moc"
