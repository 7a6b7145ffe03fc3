#include "core/DelimitedReader.h"

#include <QTest>

class TestDelimitedReader : public QObject {
    Q_OBJECT
private slots:
    void readsFieldsInSequence_data();
    void readsFieldsInSequence();
    void decodesUtf8Text();
    void keepsReportingTheEnd();
};

void TestDelimitedReader::readsFieldsInSequence_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArrayList>("fields");

    QTest::newRow("nothing at all") << QByteArray() << QByteArrayList{};
    QTest::newRow("commas") << QByteArray("1,22,333") << QByteArrayList{"1", "22", "333"};
    QTest::newRow("blanks around fields")
        << QByteArray(" 500 ,\t600\t, -50 ") << QByteArrayList{"500", "600", "-50"};
    QTest::newRow("inner blanks kept") << QByteArray("a b , c") << QByteArrayList{"a b", "c"};
    QTest::newRow("CR LF crossed") << QByteArray("1,2\r\n3\r\n") << QByteArrayList{"1", "2", "3"};
    QTest::newRow("lone CR and lone LF") << QByteArray("1\r2\n3") << QByteArrayList{"1", "2", "3"};
    QTest::newRow("LF CR is two line ends") << QByteArray("1\n\r2") << QByteArrayList{"1", "", "2"};
    QTest::newRow("empty line is one empty field")
        << QByteArray("a\r\n\r\nb\r\n") << QByteArrayList{"a", "", "b"};
    QTest::newRow("blank-only line is one empty field")
        << QByteArray("a\r\n   \r\n") << QByteArrayList{"a", ""};
    QTest::newRow("final line without line end")
        << QByteArray("a\r\nj") << QByteArrayList{"a", "j"};
    QTest::newRow("empty fields between commas")
        << QByteArray(",,x") << QByteArrayList{"", "", "x"};
    QTest::newRow("comma at the very end promises one more field")
        << QByteArray("a,") << QByteArrayList{"a", ""};
    QTest::newRow("print-zone spaces before second name")
        << QByteArray("/opt/q/qsr540.csv,          /opt/q/qsr540.txt\r\n")
        << QByteArrayList{"/opt/q/qsr540.csv", "/opt/q/qsr540.txt"};
    QTest::newRow("quoted comma") << QByteArray("\"a,b\",c") << QByteArrayList{"a,b", "c"};
    QTest::newRow("quoted keeps blanks")
        << QByteArray("  \" a \" ,c") << QByteArrayList{" a ", "c"};
    QTest::newRow("doubled quote is one quote")
        << QByteArray("\"say \"\"hi\"\"\",x") << QByteArrayList{"say \"hi\"", "x"};
    QTest::newRow("empty quoted field") << QByteArray("\"\",x") << QByteArrayList{"", "x"};
    QTest::newRow("text after closing quote skipped")
        << QByteArray("\"a\"junk,b\r\nc") << QByteArrayList{"a", "b", "c"};
    QTest::newRow("quoted field crosses line ends")
        << QByteArray("\"a\r\nb\",c") << QByteArrayList{"a\r\nb", "c"};
    QTest::newRow("unclosed quote runs to the end")
        << QByteArray("\"a,b\r\nc") << QByteArrayList{"a,b\r\nc"};
    QTest::newRow("quote inside unquoted field is literal")
        << QByteArray("a\"b,c") << QByteArrayList{"a\"b", "c"};
}

void TestDelimitedReader::readsFieldsInSequence()
{
    QFETCH(QByteArray, data);
    QFETCH(QByteArrayList, fields);

    DelimitedReader reader(data);
    QByteArrayList got;
    while (const auto field = reader.next())
        got << *field;
    QCOMPARE(got, fields);
    QVERIFY(reader.atEnd());
}

void TestDelimitedReader::decodesUtf8Text()
{
    DelimitedReader reader(QStringLiteral("/tmp/測定/ログ.csv, x").toUtf8());
    QCOMPARE(reader.nextText(), QStringLiteral("/tmp/測定/ログ.csv"));
    QCOMPARE(reader.nextText(), QStringLiteral("x"));
    QCOMPARE(reader.nextText(), std::nullopt);
}

void TestDelimitedReader::keepsReportingTheEnd()
{
    DelimitedReader reader("a\r\n");
    QVERIFY(!reader.atEnd());
    QCOMPARE(reader.next(), QByteArray("a"));
    QVERIFY(reader.atEnd());
    QCOMPARE(reader.next(), std::nullopt);
    QCOMPARE(reader.next(), std::nullopt);
}

QTEST_GUILESS_MAIN(TestDelimitedReader)
#include "tst_delimitedreader.moc"
