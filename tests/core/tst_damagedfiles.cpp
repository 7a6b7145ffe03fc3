// Damaged files as they turn up in the field: cut short by a crash, overwritten with junk,
// grown huge, or holding bytes that are no text. Each is recovered or read by the rules,
// never a crash.
#include "TestFiles.h"
#include "core/SettingsFile.h"
#include "params/ParameterFile.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

AppSettings sample(const QString &folder)
{
    AppSettings s = SettingsFile::defaults(folder);
    s.params.senter = -250;
    s.params.ave = 11;
    s.port = 3;
    s.baud = 19200;
    s.fom1file = folder + "/測定ログ.csv";
    s.lang = QStringLiteral("j");
    return s;
}

} // namespace

class TestDamagedFiles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void settingsCutShortAtEveryByteRecoverOrRead_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("full read") << int(SettingsRead::Full);
        QTest::newRow("short read") << int(SettingsRead::Short);
    }
    void settingsCutShortAtEveryByteRecoverOrRead()
    {
        QFETCH(int, kind);
        const auto read = SettingsRead(kind);
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        const AppSettings good = sample(dir.path());
        const QByteArray whole = SettingsFile::format(good);
        const QByteArray defaults = SettingsFile::defaultBytes(dir.path(), read);
        for (qsizetype n = 0; n <= whole.size(); ++n) {
            QVERIFY(writeBytes(store.path(), whole.first(n)));
            AppSettings s;
            const auto r = store.load(read, s, {});
            QVERIFY2(r.ok, qPrintable(QStringLiteral("cut at %1").arg(n)));
            if (r.recovered) {
                QCOMPARE(fileBytes(store.path()), defaults);
                QCOMPARE(s.params, ParameterSet{});
            } else {
                // What was read is a whole record: the numbers all came through.
                QCOMPARE(s.params, good.params);
                QCOMPARE(s.baud, good.baud);
            }
        }
    }

    void junkSettingsAreReplacedByDefaults()
    {
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        auto *rng = QRandomGenerator::global();
        const quint32 seed = rng->generate();
        QRandomGenerator random(seed);
        for (int round = 0; round < 300; ++round) {
            QByteArray junk(int(random.bounded(1, 400)), Qt::Uninitialized);
            for (char &c : junk)
                c = char(random.bounded(256));
            QVERIFY(writeBytes(store.path(), junk));
            AppSettings s;
            QVERIFY2(store.load(SettingsRead::Full, s, {}).ok,
                     qPrintable(QStringLiteral("seed %1 round %2").arg(seed).arg(round)));
        }
    }

    void tenMegabytesOfDigitsAreRecovered()
    {
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        QVERIFY(writeBytes(store.path(), QByteArray(10 * 1024 * 1024, '7')));
        AppSettings s;
        const auto r = store.load(SettingsRead::Full, s, {});
        QVERIFY(r.ok);
        QVERIFY(r.recovered);
        QCOMPARE(fileBytes(store.path()),
                 SettingsFile::defaultBytes(dir.path(), SettingsRead::Full));
    }

    void pathsThatAreNoValidTextStillReadAndWriteBack()
    {
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        QByteArray bytes = SettingsFile::defaultBytes(dir.path(), SettingsRead::Full);
        bytes.replace("qsr540.csv", "qsr\xff\xfe\xc3.csv");
        QVERIFY(writeBytes(store.path(), bytes));
        AppSettings s;
        const auto r = store.load(SettingsRead::Full, s, {});
        QVERIFY(r.ok);
        QVERIFY(!r.recovered);
        QVERIFY(s.fom1file.endsWith(QStringLiteral(".csv")));
        QString error;
        QVERIFY(store.save(s, &error));
        AppSettings again;
        QVERIFY(store.load(SettingsRead::Full, again, {}).ok);
        QCOMPARE(again.fom1file, s.fom1file); // stable once written by the program
    }

    void parameterFilesCutShortOrJunkReadByTheRules()
    {
        ParameterSet good;
        for (int i = 0; i < ParameterSet::fieldCount; ++i)
            QVERIFY(good.setField(i, i < 3 ? -1000 * (i + 1) : i));
        const QByteArray whole = ParameterFile::format(good);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("p.txt"));
        for (qsizetype n = 0; n <= whole.size(); ++n) {
            QVERIFY(writeBytes(path, whole.first(n)));
            ParameterSet p = good;
            QString error;
            QVERIFY(ParameterFile::readFile(path, p, &error));
            // Fields before the cut are the file's; a number cut in two reads its first part.
            for (int i = 0; i < ParameterSet::fieldCount; ++i)
                QVERIFY(p.field(i) == good.field(i) || qAbs(p.field(i)) < qAbs(good.field(i)) ||
                        p.field(i) == 0);
        }
        QRandomGenerator random(12345);
        for (int round = 0; round < 300; ++round) {
            QByteArray junk(int(random.bounded(1, 300)), Qt::Uninitialized);
            for (char &c : junk)
                c = char(random.bounded(256));
            QVERIFY(writeBytes(path, junk));
            ParameterSet p;
            QString error;
            QVERIFY(ParameterFile::readFile(path, p, &error));
        }
    }
};

QTEST_GUILESS_MAIN(TestDamagedFiles)
#include "tst_damagedfiles.moc"
