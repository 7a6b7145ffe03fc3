#include "monitor/LogRecord.h"
#include "monitor/TickSchedule.h"

#include <QDir>
#include <QFile>
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
};

QTEST_GUILESS_MAIN(TestLogRecord)
#include "tst_logrecord.moc"
