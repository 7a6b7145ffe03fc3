#include "TestFiles.h"
#include "monitor/LogRecord.h"
#include "monitor/TickSchedule.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using ms = std::chrono::milliseconds;

class TestLogRecord : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void formatsQuotedDateTimeAndValue_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("record");
        const QByteArray head = "\"20261208\",\"093005\",\"";
        QTest::newRow("value and CR") << QByteArray("12.345\r") << head + "12.345\"\r\n";
        QTest::newRow("one character") << QByteArray("7") << head + "\"\r\n";
        QTest::newRow("empty") << QByteArray() << head + "\"\r\n";
        QTest::newRow("quote kept single") << QByteArray("1\"2\r") << head + "1\"2\"\r\n";
        QTest::newRow("no terminator loses a digit") << QByteArray("12.34") << head + "12.3\"\r\n";
        QTest::newRow("negative") << QByteArray("-0.500\r") << head + "-0.500\"\r\n";
    }
    void formatsQuotedDateTimeAndValue()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, record);
        const QDateTime at(QDate(2026, 12, 8), QTime(9, 30, 5, 999));
        QCOMPARE(LogRecord::format(at, reply), record);
        if (reply == "12.345\r")
            QCOMPARE(record.size(), 28 + 2);
    }

    void namesDailyAndEventFiles()
    {
        const QDate day(2026, 12, 9);
        QCOMPARE(LogRecord::dailyPath("/data/qsr540.csv", day),
                 QString("/data/qsr540-20261209.csv"));
        QCOMPARE(LogRecord::dailyPath("/data.d/log", day), QString("/data.d/log-20261209"));
        QCOMPARE(LogRecord::eventsPath("/data/qsr540.csv"), QString("/data/qsr540.events.csv"));
        QCOMPARE(LogRecord::eventsPath("/data.d/log"), QString("/data.d/log.events.csv"));
        // The reason is one CSV field, whatever the system said.
        const QDateTime at(day, QTime(23, 59, 59, 999));
        QCOMPARE(LogRecord::formatEvent(at, "lost", "port not opened: \"COM1\"\r\nbusy"),
                 QByteArray("\"20261209\",\"235959\",\"lost\",\"port not opened: "
                            "\"\"COM1\"\"  busy\"\r\n"));
        QCOMPARE(LogRecord::formatEvent(at, "back", {}),
                 QByteArray("\"20261209\",\"235959\",\"back\",\"\"\r\n"));
    }

    void appendsAndCreates()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ログ.csv"));
        QString error;
        QVERIFY(LogRecord::append(path, "a\r\n", &error));
        QVERIFY(LogRecord::append(path, "b\r\n", &error));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("a\r\nb\r\n"));
    }

    void reportsAFileThatCannotBeWritten_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("a folder") << QDir::tempPath();
        QTest::newRow("missing folder") << QStringLiteral("/nonexistent-folder/log.csv");
        if (QFile::exists(QStringLiteral("/dev/full")))
            QTest::newRow("full disk") << QStringLiteral("/dev/full");
    }
    void reportsAFileThatCannotBeWritten()
    {
        QFETCH(QString, path);
        QString error;
        QVERIFY(!LogRecord::append(path, "\"20261208\",\"093005\",\"1\"\r\n", &error));
        QVERIFY2(error.contains(path), qPrintable(error));
    }

    // A disk that fills up after `room` bytes: the record is whole or absent, the reason is
    // the system's, and once there is room again the next record starts a line of its own.
    void appendsAWholeRecordOrNothing_data()
    {
        QTest::addColumn<qint64>("room");
        QTest::newRow("no room") << qint64(0);
        QTest::newRow("room for a fragment") << qint64(7);
        QTest::newRow("all but the line end") << qint64(27);
    }
    void appendsAWholeRecordOrNothing()
    {
        QFETCH(qint64, room);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("qsr540.csv"));
        const QByteArray first = "\"20261209\",\"235958\",\"12.345\"\r\n";
        const QByteArray second = "\"20261209\",\"235959\",\"12.346\"\r\n";
        QString error;
        QVERIFY(LogRecord::append(path, first, &error));
        qint64 left = room;
        int writes = 0;
        const LogRecord::Write fillingDisk = [&](QFile &file, const QByteArray &bytes) -> qint64 {
            ++writes;
            const qint64 n = std::min<qint64>(left, bytes.size());
            left -= n;
            return n == 0 ? -1 : file.write(bytes.left(n));
        };
        QVERIFY(!LogRecord::append(path, second, &error, fillingDisk));
        QVERIFY2(error.startsWith(path + QStringLiteral(": ")), qPrintable(error));
        QVERIFY2(!error.contains(QStringLiteral("Unknown error")), qPrintable(error));
        QCOMPARE(fileBytes(path), first);
        QVERIFY(writes <= 2);

        QVERIFY(LogRecord::append(path, second, &error));
        QCOMPARE(fileBytes(path), first + second);
    }

    // A line torn by a power loss is closed before the next record.
    void startsARecordOnALineOfItsOwn()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("torn.csv"));
        QFile torn(path);
        QVERIFY(torn.open(QIODevice::WriteOnly));
        torn.write("\"202612");
        torn.close();
        QString error;
        QVERIFY(LogRecord::append(path, "\"20261210\",\"000000\",\"1\"\r\n", &error));
        QCOMPARE(fileBytes(path), QByteArray("\"202612\r\n\"20261210\",\"000000\",\"1\"\r\n"));
    }

    // The same on a real file system that is full, where the system can make one (root).
    void aFullDiskLeavesNoFragment()
    {
#ifdef Q_OS_LINUX
        QTemporaryDir dir;
        const QString mount = dir.filePath(QStringLiteral("small"));
        QVERIFY(QDir().mkpath(mount));
        if (QProcess::execute(QStringLiteral("mount"),
                              {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                               QStringLiteral("size=8k"), QStringLiteral("tmpfs"), mount}) != 0)
            QSKIP("cannot mount a small file system here (not root)");
        const auto unmount = qScopeGuard([&] {
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), mount});
        });
        const QString path = mount + QStringLiteral("/qsr540.csv");
        const QByteArray record = "\"20261209\",\"235958\",\"12.345\"\r\n";
        QString error;
        int appended = 0;
        while (LogRecord::append(path, record, &error))
            QVERIFY(++appended < 10000);
        QVERIFY2(error.contains(QStringLiteral("No space left on device")), qPrintable(error));
        const QByteArray bytes = fileBytes(path);
        QCOMPARE(bytes.size(), appended * record.size());
        QVERIFY(bytes.endsWith("\r\n"));
        QVERIFY(!LogRecord::append(path, record, &error)); // still full: still nothing torn
        QCOMPARE(fileBytes(path).size(), bytes.size());
#else
        QSKIP("Linux only");
#endif
    }

    void schedulesTicksWithoutDrift()
    {
        TickSchedule s;
        s.start(ms(10'000), ms(1000));
        QCOMPARE(s.nextDue(), ms(11'000));
        QCOMPARE(s.advance(ms(11'040)), 0); // a late tick does not push the next one
        QCOMPARE(s.nextDue(), ms(12'000));
        QCOMPARE(s.advance(ms(15'500)), 3); // a stalled machine skips, it does not burst
        QCOMPARE(s.nextDue(), ms(16'000));
        QCOMPARE(s.delayFrom(ms(15'900)), ms(100));
        QCOMPARE(s.delayFrom(ms(16'100)), ms(0));
    }

    void alignsWholeSecondTicksMidSecond_data()
    {
        QTest::addColumn<qint64>("click");
        QTest::addColumn<qint64>("first");
        QTest::newRow("just after a second") << qint64(100'010) << qint64(101'500);
        QTest::newRow("just before mid-second") << qint64(100'499) << qint64(101'500);
        QTest::newRow("just after mid-second") << qint64(100'501) << qint64(102'500);
        QTest::newRow("on mid-second") << qint64(100'500) << qint64(101'500);
    }
    void alignsWholeSecondTicksMidSecond()
    {
        QFETCH(qint64, click);
        QFETCH(qint64, first);
        TickSchedule s;
        s.startAligned(ms(click), ms(1000), ms(500));
        QCOMPARE(s.nextDue(), ms(first));
        QVERIFY(s.nextDue() >= ms(click + 1000)); // never earlier than one interval
    }

    // The wall clock is set while ticks run on the monotonic one: the next tick moves to the
    // new mid-second by the shorter way, never by a whole interval.
    void realignsToAWallClockThatWasSet_data()
    {
        QTest::addColumn<qint64>("step"); // how far the wall clock moved, in ms
        QTest::addColumn<qint64>("move"); // how far the next tick moves
        QTest::newRow("back 1 h") << qint64(-3'600'000) << qint64(0);
        QTest::newRow("forward 2 h 0.3 s") << qint64(7'200'300) << qint64(-300);
        QTest::newRow("back 1 h 0.3 s") << qint64(-3'600'300) << qint64(300);
        QTest::newRow("forward 0.6 s") << qint64(600) << qint64(400);
        QTest::newRow("a slew of 2 ms") << qint64(2) << qint64(-2);
    }
    void realignsToAWallClockThatWasSet()
    {
        QFETCH(qint64, step);
        QFETCH(qint64, move);
        const ms offset(1'765'000'000'000); // the wall clock against the monotonic one
        TickSchedule s;
        s.startAligned(ms(5'000), ms(1000), ms(500), offset);
        QCOMPARE((s.nextDue() + offset).count() % 1000, 500);
        const ms before = s.nextDue();
        s.realign(ms(500), offset + ms(step));
        QCOMPARE(s.nextDue() - before, ms(move));
        QCOMPARE((s.nextDue() + offset + ms(step)).count() % 1000, 500);
    }
};

QTEST_GUILESS_MAIN(TestLogRecord)
#include "tst_logrecord.moc"
