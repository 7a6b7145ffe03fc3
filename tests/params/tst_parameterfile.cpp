#include "TestFiles.h"
#include "core/FileNames.h"
#include "params/ParameterFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using Values = ParameterFile::Values;

// Found by QCOMPARE through argument-dependent lookup, hence outside the anonymous namespace.
static char *toString(const ParameterSet &p)
{
    QStringList numbers;
    for (qint32 v : p.values())
        numbers << QString::number(v);
    return QTest::toString(numbers.join(u','));
}

namespace {

ParameterSet setOf(std::initializer_list<qint64> values)
{
    ParameterSet p;
    int i = 0;
    for (qint64 v : values)
        p.setField(i++, v);
    return p;
}

// A set where every field differs from 0 and from its neighbours.
ParameterSet filled()
{
    return setOf(
        {-2147483647 - 1, 2147483647, -250, -32768, 255, 32767, 7, 8, 9, 10, 11, 12, 13, 14, -15});
}

} // namespace

Q_DECLARE_METATYPE(ParameterSet)

class TestParameterFile : public QObject {
    Q_OBJECT
private slots:
    void format_data();
    void format();
    void parse_data();
    void parse();
    void outOfRangeLeavesTheField_data();
    void outOfRangeLeavesTheField();
    void saveThenRead();
    void readFailureChangesNothing_data();
    void readFailureChangesNothing();
    void writeFailureIsReported();
    void writeReplacesAnExistingFile();
    void suffix_data();
    void suffix();
};

void TestParameterFile::format_data()
{
    QTest::addColumn<ParameterSet>("set");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("example") << setOf({500, 600, -50, 3, 1, 2, 2, 0, 1, 2, 0, 1, 0, 0, 0})
                             << QByteArray(" 500 , 600 ,-50 , 3 , 1 , 2 , 2 , 0 , 1 , 2 , 0 , 1 "
                                           ", 0 , 0 , 0 \r\n");
    QTest::newRow("zeros") << ParameterSet{}
                           << QByteArray(" 0 , 0 , 0 , 0 , 0 , 0 , 0 , 0 , 0 , 0 , 0 , 0 , 0 , 0 "
                                         ", 0 \r\n");
    QTest::newRow("extremes") << filled()
                              << QByteArray("-2147483648 , 2147483647 ,-250 ,-32768 , 255 , 32767 "
                                            ", 7 , 8 , 9 , 10 , 11 , 12 , 13 , 14 ,-15 \r\n");
}

void TestParameterFile::format()
{
    QFETCH(ParameterSet, set);
    QFETCH(QByteArray, bytes);
    QCOMPARE(ParameterFile::format(set), bytes);
}

void TestParameterFile::parse_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<ParameterSet>("set");

    const ParameterSet example = setOf({500, 600, -50, 3, 1, 2, 2, 0, 1, 2, 0, 1, 0, 0, 0});
    QTest::newRow("written form")
        << QByteArray(" 500 , 600 ,-50 , 3 , 1 , 2 , 2 , 0 , 1 , 2 , 0 , 1 , 0 , 0 , 0 \r\n")
        << example;
    QTest::newRow("only 5 and 6") << QByteArray("5,6") << setOf({5, 6});
    QTest::newRow("empty file") << QByteArray() << ParameterSet{};
    QTest::newRow("one per line, CR LF")
        << QByteArray("500\r\n600\r\n-50\r\n3\r\n1\r\n2\r\n2\r\n0\r\n1\r\n2\r\n0\r\n1\r\n0\r\n0\r\n"
                      "0\r\n")
        << example;
    QTest::newRow("one per line, LF, blanks")
        << QByteArray("  500\n600  \n\t-50\n3\n1\n2\n2\n0\n1\n2\n0\n1\n0\n0\n0") << example;
    QTest::newRow("one per line, CR") << QByteArray("5\r6\r7\r") << setOf({5, 6, 7});
    QTest::newRow("mixed commas and lines")
        << QByteArray("500 , 600\r\n-50, 3 ,1\n2,2,0,1,2,0,1,0,0,0\r\n") << example;
    QTest::newRow("text after the fifteenth ignored")
        << QByteArray(" 500 , 600 ,-50 , 3 , 1 , 2 , 2 , 0 , 1 , 2 , 0 , 1 , 0 , 0 , 0 , 99 ,x\r\n"
                      "garbage line\r\n")
        << example;
    QTest::newRow("non-numbers read 0") << QByteArray("abc,6,,--1,7x") << setOf({0, 6, 0, 0, 0});
    QTest::newRow("fractions round half to even")
        << QByteArray("2.5,3.5,-0.5,1.49") << setOf({2, 4, 0, 1});
    QTest::newRow("quoted numbers") << QByteArray("\"12\",\" 13 \"") << setOf({12, 13});
}

void TestParameterFile::parse()
{
    QFETCH(QByteArray, bytes);
    QFETCH(ParameterSet, set);

    ParameterSet got = filled(); // every field gets a value, so nothing of this survives
    QCOMPARE(ParameterFile::storeInto(ParameterFile::parse(bytes), got), 0);
    QCOMPARE(got, set);
}

void TestParameterFile::outOfRangeLeavesTheField_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("40000 in ave") << 3 << QByteArray("40000");
    QTest::newRow("-32769 in ziko") << 14 << QByteArray("-32769");
    QTest::newRow("2147483648 in senter") << 0 << QByteArray("2147483648");
    QTest::newRow("-2147483649 in under") << 2 << QByteArray("-2147483649");
    QTest::newRow("beyond 64 bits in upper") << 1 << QByteArray("123456789012345678901234");
}

void TestParameterFile::outOfRangeLeavesTheField()
{
    QFETCH(int, index);
    QFETCH(QByteArray, text);

    QByteArrayList fields;
    for (int i = 0; i < ParameterSet::fieldCount; ++i)
        fields << (i == index ? text : QByteArray::number(i + 1));
    ParameterSet set = filled();
    const qint32 before = set.field(index);
    QCOMPARE(ParameterFile::storeInto(ParameterFile::parse(fields.join(',')), set), 1);
    for (int i = 0; i < ParameterSet::fieldCount; ++i)
        QCOMPARE(set.field(i), i == index ? before : i + 1);
}

void TestParameterFile::saveThenRead()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("測定.txt"));
    QString error;
    QVERIFY(ParameterFile::writeFile(path, filled(), &error));
    QVERIFY(error.isEmpty());
    QCOMPARE(fileBytes(path), ParameterFile::format(filled()));

    ParameterSet read;
    QVERIFY(ParameterFile::readFile(path, read, &error));
    QCOMPARE(read, filled());
}

void TestParameterFile::readFailureChangesNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing") << "missing.txt";
    QTest::newRow("folder") << "folder.txt";
    QTest::newRow("below a regular file") << "plain/x.txt";
    QTest::newRow("far too large") << "large.txt";
}

void TestParameterFile::readFailureChangesNothing()
{
    QFETCH(QString, name);

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("folder.txt"));
    QVERIFY(writeBytes(dir.filePath("plain"), " 1 , 2 \r\n"));
    QVERIFY(writeBytes(dir.filePath("large.txt"), " 1 , 2 \r\n" + QByteArray(2 << 20, ' ')));

    const QString path = dir.filePath(name);
    ParameterSet set = filled();
    QString error;
    QVERIFY(!ParameterFile::readFile(path, set, &error));
    QVERIFY2(error.contains(QDir::toNativeSeparators(path)), qPrintable(error));
    QCOMPARE(set, filled());
}

void TestParameterFile::writeFailureIsReported()
{
    QTemporaryDir dir;
    QVERIFY(writeBytes(dir.filePath("plain"), "x"));
    QVERIFY(QDir(dir.path()).mkdir("folder.txt"));
    for (const QString &name : {QStringLiteral("plain/p.txt"), QStringLiteral("folder.txt")}) {
        const QString path = dir.filePath(name);
        QString error;
        QVERIFY(!ParameterFile::writeFile(path, filled(), &error));
        QVERIFY2(error.contains(QDir::toNativeSeparators(path)), qPrintable(error));
    }
    QCOMPARE(fileBytes(dir.filePath("plain")), QByteArray("x"));
    QVERIFY(QFileInfo(dir.filePath("folder.txt")).isDir());
}

void TestParameterFile::writeReplacesAnExistingFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("p.txt");
    QVERIFY(writeBytes(path, QByteArray(500, 'z')));
    QVERIFY(ParameterFile::writeFile(path, ParameterSet{}, nullptr));
    QCOMPARE(fileBytes(path), ParameterFile::format(ParameterSet{}));
}

void TestParameterFile::suffix_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("result");

    QTest::newRow("appended") << "/d/set"
                              << ".txt"
                              << "/d/set.txt";
    QTest::newRow("kept") << "/d/set.txt"
                          << ".txt"
                          << "/d/set.txt";
    QTest::newRow("capitals get it too") << "/d/A.TXT"
                                         << ".txt"
                                         << "/d/A.TXT.txt";
    QTest::newRow("mixed case") << "/d/a.Txt"
                                << ".txt"
                                << "/d/a.Txt.txt";
    QTest::newRow("other extension") << "/d/a.csv"
                                     << ".txt"
                                     << "/d/a.csv.txt";
    QTest::newRow("just the suffix") << ".txt"
                                     << ".txt"
                                     << ".txt";
    QTest::newRow("shorter than the suffix") << "xt"
                                             << ".txt"
                                             << "xt.txt";
    QTest::newRow("dot missing") << "/d/atxt"
                                 << ".txt"
                                 << "/d/atxt.txt";
    QTest::newRow("log file") << "/d/log"
                              << ".csv"
                              << "/d/log.csv";
    QTest::newRow("log file kept") << "/d/log.csv"
                                   << ".csv"
                                   << "/d/log.csv";
    QTest::newRow("log file capitals") << "/d/LOG.CSV"
                                       << ".csv"
                                       << "/d/LOG.CSV.csv";
}

void TestParameterFile::suffix()
{
    QFETCH(QString, name);
    QFETCH(QString, suffix);
    QFETCH(QString, result);
    QCOMPARE(FileNames::withSuffix(name, suffix), result);
    if (suffix == u".txt")
        QCOMPARE(ParameterFile::withTxtSuffix(name), result);
}

QTEST_GUILESS_MAIN(TestParameterFile)
#include "tst_parameterfile.moc"
