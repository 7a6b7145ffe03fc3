#include "TestFiles.h"
#include "core/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Found by QCOMPARE through argument-dependent lookup, hence outside the anonymous namespace.
static char *toString(const AppSettings &s)
{
    QStringList numbers;
    for (qint32 v : s.params.values())
        numbers << QString::number(v);
    return QTest::toString(QStringLiteral("{%1 | port %2 baud %3 | %4 | %5 | lang %6}")
                               .arg(numbers.join(u','))
                               .arg(s.port)
                               .arg(s.baud)
                               .arg(s.fom1file, s.fom2file, s.lang));
}

namespace {

// The default number line with the field at index (0-based) replaced by text.
QByteArray numberLineWith(int index, const QByteArray &text)
{
    QByteArrayList fields(17, "0");
    fields[16] = "9600";
    fields[index] = text;
    return fields.join(',') + "\r\n";
}

const QByteArray defaultNumbers = "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,9600\r\n";
const QByteArray sixteenValues = "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,9600\r\n/a/log.csv,    /a/p.txt\r\n"
                                 "e\r\n";

AppSettings sample()
{
    AppSettings s;
    s.params.senter = 1234567;
    s.params.upper = -2147483647 - 1;
    s.params.under = -250;
    s.params.ave = -1;
    s.params.mode1 = 255;
    s.params.mode2 = -32768;
    s.params.gain = 32767;
    for (int i = 7; i < ParameterSet::fieldCount; ++i)
        s.params.setField(i, i - 6);
    s.port = 3;
    s.baud = 19200;
    s.fom1file = QStringLiteral("/tmp/測定/ログ.csv");
    s.fom2file = QStringLiteral("/data/a,b.txt");
    s.lang = QStringLiteral("j");
    return s;
}

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT
private slots:
    void defaultBytesForAFixedFolder();
    void defaultBytesForTheTemporaryFolder();
    void fullWriteIsByteExact();
    void printZoneSpaces_data();
    void printZoneSpaces();
    void roundTrip_data();
    void roundTrip();
    void readsANameOnAZoneBoundaryWithOrWithoutSpaces();
    void numberFields_data();
    void numberFields();
    void endOfDataFails_data();
    void endOfDataFails();
    void sixteenValuesRunOneFieldAhead();
    void shortReadKeepsLanguage();

    void loadRecoversFromDamage_data();
    void loadRecoversFromDamage();
    void shortLoadRecoversWithTwoLines();
    void twoLineFileOnShortLoadPasses();
    void validFileIsNotRewritten();
    void applySeesTheRecordAndCanReject();
    void applyRejectingTwiceStopsTheStart();
    void folderWhereTheFileShouldBe();
    void defaultsCannotBeWritten();
    void saveFailureIsReported();
    void saveThenLoad();
};

void TestSettingsFile::defaultBytesForAFixedFolder()
{
    // "/opt/q/qsr540.csv," is 18 bytes: 10 spaces reach column 29.
    const QByteArray names = "/opt/q/qsr540.csv,          /opt/q/qsr540.txt\r\n";
    QCOMPARE(SettingsFile::defaultBytes("/opt/q", SettingsRead::Full),
             defaultNumbers + names + "\r\n");
    QCOMPARE(SettingsFile::defaultBytes("/opt/q", SettingsRead::Short), defaultNumbers + names);
    QCOMPARE(SettingsFile::format(SettingsFile::defaults("/opt/q")),
             SettingsFile::defaultBytes("/opt/q", SettingsRead::Full));
}

void TestSettingsFile::defaultBytesForTheTemporaryFolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray folder = dir.path().toLocal8Bit();
    const QByteArray first = folder + "/qsr540.csv,";
    const int spaces = first.size() % 14 == 0 ? 14 : 14 - first.size() % 14;
    const QByteArray expected =
        defaultNumbers + first + QByteArray(spaces, ' ') + folder + "/qsr540.txt\r\n\r\n";
    QCOMPARE(SettingsFile::defaultBytes(dir.path(), SettingsRead::Full), expected);

    const AppSettings d = SettingsFile::defaults(dir.path());
    QCOMPARE(d.fom1file, dir.path() + "/qsr540.csv");
    QCOMPARE(d.fom2file, dir.path() + "/qsr540.txt");
    QCOMPARE(d.baud, 9600);
    QCOMPARE(d.port, qint16(0));
    QCOMPARE(d.params, ParameterSet{});
    QCOMPARE(d.lang, QString());
}

void TestSettingsFile::fullWriteIsByteExact()
{
    // The Japanese name is 22 bytes in UTF-8, 23 with its comma: 5 spaces.
    const QByteArray expected =
        "1234567,-2147483648,-250,-1,255,-32768,32767,1,2,3,4,5,6,7,8,3,19200\r\n" +
        QStringLiteral("/tmp/測定/ログ.csv,     \"/data/a,b.txt\"\r\n").toUtf8() + "j\r\n";
    QCOMPARE(SettingsFile::format(sample()), expected);
}

void TestSettingsFile::printZoneSpaces_data()
{
    QTest::addColumn<QString>("fom1file");
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("12 + comma: 1 space") << QString(12, u'a') << QByteArray("aaaaaaaaaaaa, /p");
    QTest::newRow("15 + comma: 12 spaces")
        << QString(15, u'a') << QByteArray("aaaaaaaaaaaaaaa,            /p");
    QTest::newRow("13 + comma = 14: a full zone")
        << QString(13, u'a') << QByteArray("aaaaaaaaaaaaa,              /p");
    QTest::newRow("27 + comma = 28: a full zone")
        << QString(27, u'a') << (QByteArray(27, 'a') + ',' + QByteArray(14, ' ') + "/p");
    QTest::newRow("empty name") << QString() << QByteArray(",             /p");
    QTest::newRow("multi-byte name counts bytes")
        << QStringLiteral("ログ") << (QStringLiteral("ログ").toUtf8() + ",       /p");
    QTest::newRow("quoted comma counts quotes")
        << QStringLiteral("a,b") << QByteArray("\"a,b\",        /p");
    QTest::newRow("quote doubled and counted")
        << QStringLiteral("a\"b") << QByteArray("\"a\"\"b\",       /p");
}

void TestSettingsFile::printZoneSpaces()
{
    QFETCH(QString, fom1file);
    QFETCH(QByteArray, line);

    AppSettings s;
    s.fom1file = fom1file;
    s.fom2file = QStringLiteral("/p");
    const QByteArrayList lines = SettingsFile::format(s).split('\n');
    QCOMPARE(lines.size(), 4); // three lines and nothing after the last line end
    QCOMPARE(lines[1], line + '\r');
    QCOMPARE(lines[3], QByteArray());
}

void TestSettingsFile::roundTrip_data()
{
    QTest::addColumn<QString>("fom1file");
    QTest::addColumn<QString>("fom2file");
    QTest::addColumn<QString>("lang");

    QTest::newRow("plain") << "/home/op/qsr540.csv"
                           << "/home/op/qsr540.txt"
                           << "e";
    QTest::newRow("japanese") << QStringLiteral("/tmp/測定/ログ.csv")
                              << QStringLiteral("/tmp/測定/設定.txt") << "j";
    QTest::newRow("comma") << "/data/a,b.csv"
                           << "/data/c,d,e.txt"
                           << "";
    QTest::newRow("quote") << "/data/say \"x\".csv"
                           << "\""
                           << "e";
    QTest::newRow("comma and quote") << "/a\",\"b"
                                     << "/p"
                                     << "j";
    QTest::newRow("blanks at the ends") << " /lead"
                                        << "/trail\t "
                                        << "e";
    QTest::newRow("line ends inside") << "/a\r\nb"
                                      << "/c\nd"
                                      << "e";
    QTest::newRow("empty names") << ""
                                 << ""
                                 << "";
    QTest::newRow("zone boundary") << QString(13, u'x') << QString(27, u'y') << "j";
}

void TestSettingsFile::roundTrip()
{
    QFETCH(QString, fom1file);
    QFETCH(QString, fom2file);
    QFETCH(QString, lang);

    AppSettings s = sample();
    s.fom1file = fom1file;
    s.fom2file = fom2file;
    s.lang = lang;
    QCOMPARE(SettingsFile::parse(SettingsFile::format(s), SettingsRead::Full, "other"), s);
}

void TestSettingsFile::readsANameOnAZoneBoundaryWithOrWithoutSpaces()
{
    for (const QByteArray &gap : {QByteArray(), QByteArray(14, ' ')}) {
        const auto s = SettingsFile::parse(defaultNumbers + "/aaaaaaaaaaaa," + gap + "/b\r\ne\r\n",
                                           SettingsRead::Full, QString());
        QVERIFY(s);
        QCOMPARE(s->fom1file, QStringLiteral("/aaaaaaaaaaaa"));
        QCOMPARE(s->fom2file, QStringLiteral("/b"));
        QCOMPARE(s->lang, QStringLiteral("e"));
    }
}

void TestSettingsFile::numberFields_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<qint64>("value");

    QTest::newRow("word reads 0") << 0 << QByteArray("abc") << true << qint64(0);
    QTest::newRow("empty reads 0") << 1 << QByteArray("") << true << qint64(0);
    QTest::newRow("digits then word reads 0") << 3 << QByteArray("12x") << true << qint64(0);
    QTest::newRow("baud as word reads 0") << 16 << QByteArray("fast") << true << qint64(0);
    QTest::newRow("blanks around") << 5 << QByteArray(" 7 ") << true << qint64(7);
    QTest::newRow("half rounds to even") << 0 << QByteArray("2.5") << true << qint64(2);
    QTest::newRow("fraction rounds") << 4 << QByteArray("1.5") << true << qint64(2);
    QTest::newRow("32-bit low edge")
        << 0 << QByteArray("-2147483648") << true << qint64(-2147483648LL);
    QTest::newRow("32-bit over") << 0 << QByteArray("2147483648") << false << qint64(0);
    QTest::newRow("32-bit under") << 2 << QByteArray("-2147483649") << false << qint64(0);
    QTest::newRow("baud high edge") << 16 << QByteArray("2147483647") << true << qint64(2147483647);
    QTest::newRow("baud over") << 16 << QByteArray("2147483648") << false << qint64(0);
    QTest::newRow("16-bit high edge") << 3 << QByteArray("32767") << true << qint64(32767);
    QTest::newRow("16-bit over") << 3 << QByteArray("32768") << false << qint64(0);
    QTest::newRow("16-bit low edge") << 14 << QByteArray("-32768") << true << qint64(-32768);
    QTest::newRow("16-bit under") << 14 << QByteArray("-32769") << false << qint64(0);
    QTest::newRow("port 40000") << 15 << QByteArray("40000") << false << qint64(0);
    QTest::newRow("port 32767 parses") << 15 << QByteArray("32767") << true << qint64(32767);
    QTest::newRow("beyond 64 bits")
        << 0 << QByteArray("99999999999999999999") << false << qint64(0);
}

void TestSettingsFile::numberFields()
{
    QFETCH(int, index);
    QFETCH(QByteArray, text);
    QFETCH(bool, ok);
    QFETCH(qint64, value);

    QString why;
    const auto s = SettingsFile::parse(numberLineWith(index, text) + "/a,/b\r\ne\r\n",
                                       SettingsRead::Full, QString(), &why);
    QCOMPARE(s.has_value(), ok);
    if (!ok) {
        QVERIFY(!why.isEmpty());
        return;
    }
    const qint64 got = index < 15 ? s->params.field(index) : index == 15 ? s->port : s->baud;
    QCOMPARE(got, value);
    QCOMPARE(s->fom1file, QStringLiteral("/a"));
    QCOMPARE(s->fom2file, QStringLiteral("/b"));
}

void TestSettingsFile::endOfDataFails_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("fullOk");
    QTest::addColumn<bool>("shortOk");

    QTest::newRow("empty") << QByteArray() << false << false;
    QTest::newRow("number line only") << defaultNumbers << false << false;
    QTest::newRow("one name") << defaultNumbers + "/a\r\n" << false << false;
    QTest::newRow("two lines") << defaultNumbers + "/a,/b\r\n" << false << true;
    QTest::newRow("two lines, no final line end") << defaultNumbers + "/a,/b" << false << true;
    QTest::newRow("three lines") << defaultNumbers + "/a,/b\r\n\r\n" << true << true;
    QTest::newRow("language without line end") << defaultNumbers + "/a,/b\r\nj" << true << true;
    QTest::newRow("16 values") << sixteenValues << false << true;
}

void TestSettingsFile::endOfDataFails()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, fullOk);
    QFETCH(bool, shortOk);

    QCOMPARE(SettingsFile::parse(bytes, SettingsRead::Full, "e").has_value(), fullOk);
    QCOMPARE(SettingsFile::parse(bytes, SettingsRead::Short, "e").has_value(), shortOk);
}

void TestSettingsFile::sixteenValuesRunOneFieldAhead()
{
    // The speed takes the first name (not a number: 0), every later field the next one.
    const auto s = SettingsFile::parse(sixteenValues, SettingsRead::Short, "j");
    QVERIFY(s);
    QCOMPARE(s->port, qint16(9600));
    QCOMPARE(s->baud, 0);
    QCOMPARE(s->fom1file, QStringLiteral("/a/p.txt"));
    QCOMPARE(s->fom2file, QStringLiteral("e"));
}

void TestSettingsFile::shortReadKeepsLanguage()
{
    const QByteArray bytes = defaultNumbers + "/a,/b\r\ne\r\n";
    QCOMPARE(SettingsFile::parse(bytes, SettingsRead::Short, "j")->lang, QStringLiteral("j"));
    QCOMPARE(SettingsFile::parse(bytes, SettingsRead::Full, "j")->lang, QStringLiteral("e"));
}

void TestSettingsFile::loadRecoversFromDamage_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<QByteArray>("bytes");

    const QByteArray names = "/a/log.csv,    /a/p.txt\r\ne\r\n";
    QTest::newRow("missing") << false << QByteArray();
    QTest::newRow("empty") << true << QByteArray();
    QTest::newRow("16 values") << true << sixteenValues;
    QTest::newRow("port 40000") << true << numberLineWith(15, "40000") + names;
    QTest::newRow("port 32767") << true << numberLineWith(15, "32767") + names;
    QTest::newRow("parameter out of range") << true << numberLineWith(7, "-40000") + names;
    QTest::newRow("two lines on a full read") << true << defaultNumbers + "/a/log.csv,/a/p.txt\r\n";
    QTest::newRow("far too large")
        << true << defaultNumbers + "/a,/b\r\ne\r\n" + QByteArray(2 << 20, ' ');
}

void TestSettingsFile::loadRecoversFromDamage()
{
    QFETCH(bool, present);
    QFETCH(QByteArray, bytes);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    SettingsStore store(dir.path());
    QCOMPARE(store.path(), dir.path() + "/540comm.st");
    if (present)
        QVERIFY(writeBytes(store.path(), bytes));

    QList<AppSettings> applied;
    AppSettings settings = sample();
    const auto result = store.load(SettingsRead::Full, settings, [&](const AppSettings &s) {
        applied << s;
        return true;
    });
    QVERIFY2(result.ok, qPrintable(result.error));
    QVERIFY(result.recovered);
    QVERIFY(result.error.isEmpty());
    // Nothing of the damaged record leaks through: only the defaults were applied and kept.
    const AppSettings defaults = SettingsFile::defaults(dir.path());
    QCOMPARE(settings, defaults);
    QCOMPARE(applied, QList<AppSettings>{defaults});
    QCOMPARE(fileBytes(store.path()), SettingsFile::defaultBytes(dir.path(), SettingsRead::Full));
}

void TestSettingsFile::shortLoadRecoversWithTwoLines()
{
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    AppSettings settings;
    settings.lang = QStringLiteral("j");
    const auto result = store.load(SettingsRead::Short, settings, {});
    QVERIFY(result.ok);
    QVERIFY(result.recovered);
    QCOMPARE(settings.lang, QStringLiteral("j"));
    QCOMPARE(settings.fom1file, dir.path() + "/qsr540.csv");
    const QByteArray written = fileBytes(store.path());
    QCOMPARE(written, SettingsFile::defaultBytes(dir.path(), SettingsRead::Short));
    QCOMPARE(written.count("\r\n"), 2);
}

void TestSettingsFile::twoLineFileOnShortLoadPasses()
{
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    const QByteArray bytes = numberLineWith(16, "19200") + "/a/log.csv,    /a/p.txt\r\n";
    QVERIFY(writeBytes(store.path(), bytes));

    AppSettings settings;
    settings.lang = QStringLiteral("j");
    const auto result = store.load(SettingsRead::Short, settings, {});
    QVERIFY(result.ok);
    QVERIFY(!result.recovered);
    QCOMPARE(settings.baud, 19200);
    QCOMPARE(settings.fom2file, QStringLiteral("/a/p.txt"));
    QCOMPARE(settings.lang, QStringLiteral("j"));
    QCOMPARE(fileBytes(store.path()), bytes);
}

void TestSettingsFile::validFileIsNotRewritten()
{
    // No spaces after a name ending on a zone boundary: a rewrite would add 14.
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    const QByteArray bytes = defaultNumbers + "/aaaaaaaaaaaa,/b\r\nj\r\n";
    QVERIFY(writeBytes(store.path(), bytes));
    AppSettings settings;
    const auto result = store.load(SettingsRead::Full, settings, {});
    QVERIFY(result.ok);
    QVERIFY(!result.recovered);
    QCOMPARE(settings.lang, QStringLiteral("j"));
    QCOMPARE(fileBytes(store.path()), bytes);
}

void TestSettingsFile::applySeesTheRecordAndCanReject()
{
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    QVERIFY(store.save(sample(), nullptr));

    QList<AppSettings> applied;
    AppSettings settings;
    const auto result = store.load(SettingsRead::Full, settings, [&](const AppSettings &s) {
        applied << s;
        return applied.size() > 1; // the first record is refused, the defaults accepted
    });
    QVERIFY(result.ok);
    QVERIFY(result.recovered);
    QCOMPARE(applied.size(), 2);
    QCOMPARE(applied[0], sample());
    QCOMPARE(settings, SettingsFile::defaults(dir.path()));
    QCOMPARE(fileBytes(store.path()), SettingsFile::defaultBytes(dir.path(), SettingsRead::Full));
}

void TestSettingsFile::applyRejectingTwiceStopsTheStart()
{
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    QVERIFY(store.save(sample(), nullptr));
    AppSettings settings = sample();
    int calls = 0;
    const auto result = store.load(SettingsRead::Full, settings, [&](const AppSettings &) {
        ++calls;
        return false;
    });
    QVERIFY(!result.ok);
    QVERIFY(result.recovered);
    QCOMPARE(calls, 2);
    QVERIFY(result.error.contains(QDir::toNativeSeparators(store.path())));
    QCOMPARE(settings, sample());
}

void TestSettingsFile::folderWhereTheFileShouldBe()
{
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    QVERIFY(QDir(dir.path()).mkdir("540comm.st"));
    AppSettings settings = sample();
    const auto result = store.load(SettingsRead::Full, settings, {});
    QVERIFY(!result.ok);
    QVERIFY(result.error.contains(QDir::toNativeSeparators(store.path())));
    QCOMPARE(settings, sample());
    QVERIFY(QFileInfo(store.path()).isDir());
}

void TestSettingsFile::defaultsCannotBeWritten()
{
    // A regular file as the program folder: nothing can be created below it, even as root.
    QTemporaryDir dir;
    const QString notAFolder = dir.filePath("plain");
    QVERIFY(writeBytes(notAFolder, "x"));
    SettingsStore store(notAFolder);
    for (SettingsRead kind : {SettingsRead::Full, SettingsRead::Short}) {
        AppSettings settings = sample();
        const auto result = store.load(kind, settings, {});
        QVERIFY(!result.ok);
        QVERIFY(result.recovered);
        QVERIFY(result.error.contains(QDir::toNativeSeparators(store.path())));
        QCOMPARE(settings, sample());
    }
}

void TestSettingsFile::saveFailureIsReported()
{
    QTemporaryDir dir;
    const QString notAFolder = dir.filePath("plain");
    QVERIFY(writeBytes(notAFolder, "x"));
    SettingsStore store(notAFolder);
    QString error;
    QVERIFY(!store.save(sample(), &error));
    QVERIFY(error.contains(QDir::toNativeSeparators(store.path())));
    QCOMPARE(fileBytes(notAFolder), QByteArray("x"));
}

void TestSettingsFile::saveThenLoad()
{
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    QVERIFY(store.save(SettingsFile::defaults(dir.path()), nullptr));
    QString error;
    QVERIFY(store.save(sample(), &error)); // replaces the first
    QVERIFY(error.isEmpty());
    QCOMPARE(fileBytes(store.path()), SettingsFile::format(sample()));

    AppSettings settings;
    const auto result = store.load(SettingsRead::Full, settings, {});
    QVERIFY(result.ok);
    QVERIFY(!result.recovered);
    QCOMPARE(settings, sample());
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
