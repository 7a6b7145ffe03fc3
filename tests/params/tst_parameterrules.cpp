#include "params/ParameterRules.h"

#include <QTest>

using ParameterRules::EditorControls;

Q_DECLARE_METATYPE(std::optional<int>)

namespace {

// Every list at its real size: AVE 12, GAIN 7, the eight two-entry lists and D.P. 5.
constexpr ParameterRules::ListSizes realSizes{12, 7, 2, 2, 5, 2, 2, 2, 2, 2};

ParameterSet sample()
{
    ParameterSet p;
    p.senter = 500;
    p.upper = 600;
    p.under = -50;
    p.ave = 11;
    p.mode1 = 4;
    p.mode2 = 7;
    p.gain = 6;
    p.henn = 1;
    p.zero = 1;
    p.syou = 4;
    p.hyou = 1;
    p.erro = 1;
    p.edg = 1;
    p.soku = 1;
    p.ziko = 1;
    return p;
}

} // namespace

class TestParameterRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aLimitBoxKeepsOnlyNumbers_data();
    void aLimitBoxKeepsOnlyNumbers();
    void limitBoxesCommitRoundedHalfToEven_data();
    void limitBoxesCommitRoundedHalfToEven();
    void modeDigitIs255MinusTheScrollValue_data();
    void modeDigitIs255MinusTheScrollValue();
    void showingSetsEveryControlThatCanTakeItsValue();
    void showingLeavesControlsThatCannotTakeTheirValue_data();
    void showingLeavesControlsThatCannotTakeTheirValue();
    void collectingFillsEmptyBoxesWithZero();
    void collectingLeavesFieldsOfUnselectedListsAndBadTexts();
    void showingThenCollectingReproducesTheSet();
    void loadRepliesAreStoredIntoTheirFields_data();
    void loadRepliesAreStoredIntoTheirFields();
    void aRefusedLoadReplyStoresNothing_data();
    void aRefusedLoadReplyStoresNothing();
};

void TestParameterRules::aLimitBoxKeepsOnlyNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("kept");
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("lone minus") << "-"
                                << "";
    QTest::newRow("lone point") << "."
                                << "";
    QTest::newRow("digits") << "99999"
                            << "99999";
    QTest::newRow("negative") << "-9999"
                              << "-9999";
    QTest::newRow("fraction") << "1.5"
                              << "1.5";
    QTest::newRow("leading point") << ".5"
                                   << ".5";
    QTest::newRow("blanks around") << " 12 "
                                   << " 12 ";
    QTest::newRow("letter after digits") << "12a"
                                         << "";
    QTest::newRow("exponent") << "1e5"
                              << "";
    QTest::newRow("grouping") << "1,000"
                              << "";
    QTest::newRow("blank inside") << "- 5"
                                  << "";
    QTest::newRow("two points") << "1.2.3"
                                << "";
}

void TestParameterRules::aLimitBoxKeepsOnlyNumbers()
{
    QFETCH(QString, text);
    QFETCH(QString, kept);
    QCOMPARE(ParameterRules::validatedText(text), kept);
}

void TestParameterRules::limitBoxesCommitRoundedHalfToEven_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::optional<int>>("value");
    QTest::newRow("empty is zero") << "" << std::optional<int>(0);
    QTest::newRow("1.5 up to even") << "1.5" << std::optional<int>(2);
    QTest::newRow("2.5 down to even") << "2.5" << std::optional<int>(2);
    QTest::newRow("-2.5") << "-2.5" << std::optional<int>(-2);
    QTest::newRow("0.5") << "0.5" << std::optional<int>(0);
    QTest::newRow("just over half") << "2.5001" << std::optional<int>(3);
    QTest::newRow("largest typed") << "99999" << std::optional<int>(99999);
    QTest::newRow("32-bit top") << "2147483647" << std::optional<int>(2147483647);
    QTest::newRow("32-bit bottom")
        << "-2147483648" << std::optional<int>(std::numeric_limits<qint32>::min());
    QTest::newRow("beyond 32 bits") << "2147483648" << std::optional<int>();
    QTest::newRow("rounds beyond") << "2147483647.5" << std::optional<int>();
    QTest::newRow("not a number") << "abc" << std::optional<int>();
}

void TestParameterRules::limitBoxesCommitRoundedHalfToEven()
{
    QFETCH(QString, text);
    QFETCH(std::optional<int>, value);
    QCOMPARE(ParameterRules::committedValue(text), value);
}

void TestParameterRules::modeDigitIs255MinusTheScrollValue_data()
{
    QTest::addColumn<qint32>("digit");
    QTest::addColumn<std::optional<int>>("scroll");
    QTest::newRow("0 at the bottom") << 0 << std::optional<int>(255);
    QTest::newRow("one click up") << 1 << std::optional<int>(254);
    QTest::newRow("47") << 47 << std::optional<int>(208);
    QTest::newRow("255 at the top") << 255 << std::optional<int>(0);
    QTest::newRow("256 cannot show") << 256 << std::optional<int>();
    QTest::newRow("-1 cannot show") << -1 << std::optional<int>();
}

void TestParameterRules::modeDigitIs255MinusTheScrollValue()
{
    QFETCH(qint32, digit);
    QFETCH(std::optional<int>, scroll);
    QCOMPARE(ParameterRules::modeScrollValue(digit), scroll);
    if (scroll)
        QCOMPARE(ParameterRules::modeDigit(*scroll), digit);
}

void TestParameterRules::showingSetsEveryControlThatCanTakeItsValue()
{
    const EditorControls shown = ParameterRules::shownControls(sample(), {}, realSizes);
    QCOMPARE(shown.texts, (std::array<QString, 3>{"500", "600", "-50"}));
    QCOMPARE(shown.modeScroll, (std::array<int, 2>{251, 248}));
    QCOMPARE(shown.listIndex, (std::array<int, 10>{11, 6, 1, 1, 4, 1, 1, 1, 1, 1}));
}

void TestParameterRules::showingLeavesControlsThatCannotTakeTheirValue_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("value");
    QTest::newRow("AVE beyond its 12") << 3 << 12;
    QTest::newRow("GAIN 7 is not a position") << 6 << 7;
    QTest::newRow("Self test negative") << 14 << -1;
    QTest::newRow("MODE first 256") << 4 << 256;
    QTest::newRow("MODE second negative") << 5 << -3;
}

void TestParameterRules::showingLeavesControlsThatCannotTakeTheirValue()
{
    QFETCH(int, field);
    QFETCH(int, value);
    EditorControls current;
    current.modeScroll = {100, 101};
    current.listIndex = {5, 4, 0, 0, 3, 0, 0, 0, 0, 0};
    ParameterSet set = sample();
    QVERIFY(set.setField(field, value));

    const EditorControls shown = ParameterRules::shownControls(set, current, realSizes);
    EditorControls expected = ParameterRules::shownControls(sample(), current, realSizes);
    // Only the control of the refused field keeps what it had.
    if (field == 4 || field == 5)
        expected.modeScroll[size_t(field - 4)] = current.modeScroll[size_t(field - 4)];
    for (int i = 0; i < ParameterRules::listCount; ++i)
        if (ParameterRules::listFields[size_t(i)] == field)
            expected.listIndex[size_t(i)] = current.listIndex[size_t(i)];
    QCOMPARE(shown, expected);
}

void TestParameterRules::collectingFillsEmptyBoxesWithZero()
{
    EditorControls c = ParameterRules::shownControls(sample(), {}, realSizes);
    c.texts = {"1.5", "", "2.5"};
    ParameterSet set = sample();
    ParameterRules::collectParameters(c, set);
    QCOMPARE(c.texts, (std::array<QString, 3>{"1.5", "0", "2.5"}));
    QCOMPARE(set.senter, 2);
    QCOMPARE(set.upper, 0);
    QCOMPARE(set.under, 2);
}

void TestParameterRules::collectingLeavesFieldsOfUnselectedListsAndBadTexts()
{
    // An edited settings file may hold positions no list shows; the window then shows
    // nothing selected, and committing must not turn the value into -1.
    EditorControls c;
    c.texts = {"abc", "7", "9"};
    c.modeScroll = {255, 0};
    c.listIndex = {-1, 3, -1, -1, -1, -1, -1, -1, -1, 0};
    ParameterSet set = sample();
    set.ave = 40;
    ParameterRules::collectParameters(c, set);
    ParameterSet expected = sample();
    expected.ave = 40;
    expected.upper = 7;
    expected.under = 9;
    expected.mode1 = 0;
    expected.mode2 = 255;
    expected.gain = 3;
    expected.ziko = 0;
    QCOMPARE(set, expected);
}

void TestParameterRules::showingThenCollectingReproducesTheSet()
{
    const ParameterSet original = sample();
    EditorControls c = ParameterRules::shownControls(original, {}, realSizes);
    ParameterSet set; // all zero
    ParameterRules::collectParameters(c, set);
    QCOMPARE(set, original);
}

void TestParameterRules::loadRepliesAreStoredIntoTheirFields_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("value");
    QTest::newRow("P senter") << 0 << QByteArray("123456\r") << 0 << 123456;
    QTest::newRow("M first digit") << 4 << QByteArray("47\r") << 4 << 4;
    QTest::newRow("M second digit") << 4 << QByteArray("47\r") << 5 << 7;
    QTest::newRow("G gain") << 5 << QByteArray("6\r\n") << 6 << 6;
    QTest::newRow("O ziko") << 13 << QByteArray("1\r") << 14 << 1;
    QTest::newRow("beyond its list is kept") << 9 << QByteArray("9\r") << 10 << 9;
}

void TestParameterRules::loadRepliesAreStoredIntoTheirFields()
{
    QFETCH(int, index);
    QFETCH(QByteArray, reply);
    QFETCH(int, field);
    QFETCH(int, value);
    ParameterSet set;
    QVERIFY(ParameterRules::storeLoadReply(set, index, reply));
    QCOMPARE(set.field(field), value);
}

void TestParameterRules::aRefusedLoadReplyStoresNothing_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("not a number") << 1 << QByteArray("ERR\r");
    QTest::newRow("16-bit overflow") << 3 << QByteArray("40000\r");
    QTest::newRow("negative MODE") << 4 << QByteArray("-12\r");
    QTest::newRow("no such exchange") << 14 << QByteArray("1\r");
}

void TestParameterRules::aRefusedLoadReplyStoresNothing()
{
    QFETCH(int, index);
    QFETCH(QByteArray, reply);
    ParameterSet set = sample();
    QVERIFY(!ParameterRules::storeLoadReply(set, index, reply));
    QCOMPARE(set, sample());
}

QTEST_GUILESS_MAIN(TestParameterRules)
#include "tst_parameterrules.moc"
