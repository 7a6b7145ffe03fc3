// The options file qsrlink.ini: what it reads back, what reads as off, what a save keeps
// and what it leaves alone when it fails.
#include "TestFiles.h"
#include "TestOptions.h"
#include "core/AlarmLimits.h"
#include "core/Numbers.h"
#include "core/Options.h"
#include "core/ProgramFolder.h"
#include "core/SettingsFile.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

Q_DECLARE_METATYPE(AlarmLimits)

namespace {

Options allOn()
{
    return {true, true, true, true};
}

} // namespace

class TestOptions : public QObject {
    Q_OBJECT
private slots:
    void isKeptInTheDataFolder()
    {
        const ProgramFolder folder{QStringLiteral("/opt/qsrlink"), QStringLiteral("/home/u/q")};
        QCOMPARE(OptionsFile::path(folder), QStringLiteral("/home/u/q/qsrlink.ini"));
    }

    void readsBackWhatItSaved_data()
    {
        QTest::addColumn<Options>("options");
        QTest::newRow("all off") << Options{};
        QTest::newRow("all on") << allOn();
        QTest::newRow("keep polling") << Options{true, false, false, false};
        QTest::newRow("events") << Options{true, true, false, false};
        QTest::newRow("daily") << Options{false, false, true, false};
        QTest::newRow("awake") << Options{false, false, false, true};
    }
    void readsBackWhatItSaved()
    {
        QFETCH(Options, options);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("qsrlink.ini"));
        QString error;
        QVERIFY2(OptionsFile::save(path, allOn(), &error), qPrintable(error));
        QVERIFY2(OptionsFile::save(path, options, &error), qPrintable(error));
        QCOMPARE(OptionsFile::load(path), options);
        const QSettings ini(path, QSettings::IniFormat);
        QCOMPARE(ini.value("options/keep_polling").toString(),
                 options.keepPolling ? "true" : "false");
        QCOMPARE(ini.childGroups(), QStringList{"options"});
        // Nothing else is left in the folder: no lock or temporary file.
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                 QStringList{"qsrlink.ini"});
    }

    void whatCannotBeReadIsOff_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // "<none>": no file; "<dir>": a directory
        QTest::addColumn<Options>("expected");
        const QByteArray on = "[options]\nkeep_polling=true\nevent_file=true\ndaily_log=true\n"
                              "keep_awake=true\n";
        QTest::newRow("no file") << QByteArray("<none>") << Options{};
        QTest::newRow("a directory") << QByteArray("<dir>") << Options{};
        QTest::newRow("empty") << QByteArray() << Options{};
        QTest::newRow("another group only") << QByteArray("[limits]\nhigh=5\n") << Options{};
        QTest::newRow("a garbage line") << "garbage\n" + on << Options{};
        QTest::newRow("garbage in another group") << on + "[limits]\nhigh\n" << Options{};
        QTest::newRow("a group without ]")
            << QByteArray("[options\nkeep_polling=true\n") << Options{};
        QTest::newRow("binary") << QByteArray("\x01\x02\xff\xfe\x00\x80", 6) << Options{};
        QTest::newRow("too large") << on + QByteArray(1 << 20, ';') << Options{};
        QTest::newRow("not booleans")
            << QByteArray("[options]\nkeep_polling=yes\nevent_file=2\ndaily_log=a, b\n"
                          "keep_awake=\n")
            << Options{};
        QTest::newRow("one not boolean")
            << QByteArray("[options]\nkeep_polling=TRUE\nevent_file=on\ndaily_log=1\n"
                          "keep_awake=false\n")
            << Options{true, false, true, false};
        QTest::newRow("all on") << on << allOn();
    }
    void whatCannotBeReadIsOff()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Options, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("qsrlink.ini"));
        if (bytes == "<dir>")
            QVERIFY(QDir().mkdir(path));
        else if (bytes != "<none>")
            QVERIFY(writeBytes(path, bytes));
        QCOMPARE(OptionsFile::load(path), expected);
    }

    void keepsEveryOtherKeyAndGroup()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("qsrlink.ini"));
        QVERIFY(writeBytes(path, "[limits]\nhigh=12.5\nlow=-3\nnames=a, b\n"
                                 "[options]\nkeep_polling=true\nfuture=7\n"));
        QString error;
        QVERIFY2(OptionsFile::save(path, {false, false, true, false}, &error), qPrintable(error));
        QCOMPARE(fileBytes(path), QByteArray("[limits]\nhigh=12.5\nlow=-3\nnames=a, b\n\n"
                                             "[options]\ndaily_log=true\nevent_file=false\n"
                                             "future=7\nkeep_awake=false\nkeep_polling=false\n"));
    }

    void aDamagedFileKeepsWhatCanBeRead()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("qsrlink.ini"));
        QVERIFY(writeBytes(path, "[limits]\nhigh=5\nnot a key\n"));
        QString error;
        QVERIFY2(OptionsFile::save(path, allOn(), &error), qPrintable(error));
        QCOMPARE(OptionsFile::load(path), allOn());
        QCOMPARE(QSettings(path, QSettings::IniFormat).value("limits/high").toInt(), 5);
    }

    void createsAMissingDataFolder()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a/b/qsrlink.ini"));
        QString error;
        QVERIFY2(OptionsFile::save(path, allOn(), &error), qPrintable(error));
        QCOMPARE(OptionsFile::load(path), allOn());
    }

    void anUnwritableFileIsReportedAndLeftAsItWas_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a directory in its place") << "qsrlink.ini" << qt_error_string(EISDIR);
        QTest::newRow("folder under a file") << "file/qsrlink.ini" << qt_error_string(ENOTDIR);
        QTest::newRow("too large to be this file") << "large.ini" << qt_error_string(EFBIG);
    }
    void anUnwritableFileIsReportedAndLeftAsItWas()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("qsrlink.ini")));
        const QByteArray large = "[options]\nkeep_polling=false\n" + QByteArray(1 << 20, ';');
        QVERIFY(writeBytes(dir.filePath(QStringLiteral("large.ini")), large));
        QVERIFY(writeBytes(dir.filePath(QStringLiteral("file")), "a file"));
        const QString path = dir.filePath(name);
        QString error;
        QVERIFY(!OptionsFile::save(path, allOn(), &error));
        QCOMPARE(error, path + ": " + reason);
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("qsrlink.ini"))).isDir());
        QCOMPARE(fileBytes(dir.filePath(QStringLiteral("large.ini"))), large);
        QCOMPARE(fileBytes(dir.filePath(QStringLiteral("file"))), QByteArray("a file"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                 (QStringList{"file", "large.ini", "qsrlink.ini"}));
    }

    void neverTouchesTheSettingsFile()
    {
        QTemporaryDir dir;
        const ProgramFolder folder = ProgramFolder::at(dir.path());
        const QString settings = folder.dataFile(QLatin1String(SettingsFile::fileName));
        const QByteArray bytes = SettingsFile::defaultBytes(folder.data, SettingsRead::Full);
        QVERIFY(writeBytes(settings, bytes));
        const QDateTime written = QFileInfo(settings).lastModified();
        QString error;
        QVERIFY2(OptionsFile::save(OptionsFile::path(folder), allOn(), &error), qPrintable(error));
        QCOMPARE(OptionsFile::load(OptionsFile::path(folder)), allOn());
        QCOMPARE(fileBytes(settings), bytes);
        QCOMPARE(QFileInfo(settings).lastModified(), written);
    }

    // The alarm limits share the file with the options: each save keeps the other's keys.
    void limitsShareTheFileWithTheOptions()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("qsrlink.ini"));
        QString error;
        QVERIFY2(OptionsFile::save(path, allOn(), &error), qPrintable(error));
        const AlarmLimits limits{12.5, -0.003};
        QVERIFY2(LimitsFile::save(path, limits, &error), qPrintable(error));
        QCOMPARE(LimitsFile::load(path), limits);
        QVERIFY2(OptionsFile::save(path, Options{}, &error), qPrintable(error));
        QCOMPARE(LimitsFile::load(path), limits);
        QVERIFY2(LimitsFile::save(path, {std::nullopt, 7}, &error), qPrintable(error));
        QCOMPARE(fileBytes(path), QByteArray("[options]\ndaily_log=false\nevent_file=false\n"
                                             "keep_awake=false\nkeep_polling=false\n\n"
                                             "[trend]\nhigh_limit=\nlow_limit=7\n"));
        // What is no number is no limit.
        QVERIFY(writeBytes(path, "[trend]\nhigh_limit=1e3\nlow_limit=abc\n"));
        QCOMPARE(LimitsFile::load(path), AlarmLimits{});
    }

    void limitTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<double>("value"); // NaN: no limit
        const double none = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("empty") << "" << true << none;
        QTest::newRow("blanks") << "  " << true << none;
        QTest::newRow("decimal") << " 12.50 " << true << 12.5;
        QTest::newRow("negative") << "-0.003" << true << -0.003;
        QTest::newRow("point only") << "." << false << none;
        QTest::newRow("exponent") << "1e3" << false << none;
        QTest::newRow("comma") << "1,5" << false << none;
        QTest::newRow("wide digit") << QStringLiteral("１") << false << none;
    }
    void limitTexts()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(double, value);
        const auto limit = parseLimit(text);
        QCOMPARE(limit.has_value(), valid);
        if (valid) {
            QCOMPARE(limit->has_value(), !std::isnan(value));
            if (*limit)
                QCOMPARE(**limit, value);
        }
    }

    // A reading exactly at a limit is inside; the smallest step beyond it is outside.
    void limitsHoldAtTheirBoundary_data()
    {
        QTest::addColumn<AlarmLimits>("limits");
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("outside");
        const AlarmLimits both{12.5, -0.003};
        const double up = HUGE_VAL, down = -HUGE_VAL;
        QTest::newRow("at the high limit") << both << 12.5 << false;
        QTest::newRow("just above the high limit") << both << std::nextafter(12.5, up) << true;
        QTest::newRow("just below the high limit") << both << std::nextafter(12.5, down) << false;
        QTest::newRow("at the low limit") << both << -0.003 << false;
        QTest::newRow("just below the low limit") << both << std::nextafter(-0.003, down) << true;
        QTest::newRow("just above the low limit") << both << std::nextafter(-0.003, up) << false;
        QTest::newRow("one value for both, at it") << AlarmLimits{5.0, 5.0} << 5.0 << false;
        QTest::newRow("no limits, high") << AlarmLimits{} << 1e300 << false;
        QTest::newRow("no limits, low") << AlarmLimits{} << -1e300 << false;
        QTest::newRow("no high limit") << AlarmLimits{std::nullopt, -0.003} << 1e300 << false;
        QTest::newRow("no low limit") << AlarmLimits{12.5, std::nullopt} << -1e300 << false;
    }
    void limitsHoldAtTheirBoundary()
    {
        QFETCH(AlarmLimits, limits);
        QFETCH(double, value);
        QFETCH(bool, outside);
        QCOMPARE(limits.isOutside(value), outside);
    }

    void repliesReadAsNumbers()
    {
        QCOMPARE(Numbers::toReal("12.345\r"), 12.345);
        QCOMPARE(Numbers::toReal(" +7.\r\n"), 7.0);
        QCOMPARE(Numbers::toReal("-.5"), -0.5);
        for (const char *no : {"", "\r", "-", "12.3.4", "E1", "12 3", "inf", "nan", "0x10"})
            QVERIFY2(!Numbers::toReal(no), no);
        QCOMPARE(limitText(0.1 + 0.2), QStringLiteral("0.30000000000000004"));
        QCOMPARE(limitText(-0.0), QStringLiteral("0"));
        QCOMPARE(limitText(1e21), QStringLiteral("1000000000000000000000"));
    }
};

QTEST_GUILESS_MAIN(TestOptions)
#include "tst_options.moc"
