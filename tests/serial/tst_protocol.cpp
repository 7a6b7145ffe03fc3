#include "serial/Protocol.h"
#include "serial/ShareProtocol.h"

#include <QTest>

#include <limits>

using namespace std::chrono_literals;
using std::chrono::milliseconds;

namespace {

// Distinct values in every field, so a request or a store in the wrong field shows.
ParameterSet sampleSet()
{
    ParameterSet p;
    p.senter = -250;
    p.upper = 1250;
    p.under = 0;
    p.ave = 11;
    p.mode1 = 12;
    p.mode2 = 0;
    p.gain = 6;
    p.henn = 1;
    p.zero = -1;
    p.syou = 4;
    p.hyou = 32767;
    p.erro = -32768;
    p.edg = 2;
    p.soku = 3;
    p.ziko = 10;
    return p;
}

const QList<QByteArray> sampleTransmission = {
    "p-250\r", "h1250\r", "l0\r",     "a11\r",     "m12.0\r", "g6\r", "e1\r",
    "z-1\r",   "d4\r",    "b32767\r", "c-32768\r", "j2\r",    "n3\r", "o10\r",
};

} // namespace

class TestProtocol : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyCommandSendsItsBytes_data();
    void everyCommandSendsItsBytes();
    void writeValuesArePlainDecimal_data();
    void writeValuesArePlainDecimal();
    void modeWriteSendsBothDigits_data();
    void modeWriteSendsBothDigits();
    void readRequestIsOneUpperCaseByte();
    void transmissionSendsFourOrFourteenInOrder();
    void pollLetterIsNoParameter();

    void repliesCompleteAtTheRightTime_data();
    void repliesCompleteAtTheRightTime();
    void quietDeadlineTellsWhenToLookAgain();
    void singleCharacterIsNotTakenEarly();
    void replyLengthBoundary_data();
    void replyLengthBoundary();
    void floodIsCappedThenDiscardedUntilReset();
    void hugeChunkIsNeverHeld();
    void endlessTerminatedRepliesStayBounded();

    void replyTimeoutCoversTwentyCharacters_data();
    void replyTimeoutCoversTwentyCharacters();

    void repliesConvertIntoTheirField_data();
    void repliesConvertIntoTheirField();
    void badRepliesStoreNothing_data();
    void badRepliesStoreNothing();
};

void TestProtocol::everyCommandSendsItsBytes_data()
{
    QTest::addColumn<char>("readLetter");
    QTest::addColumn<QByteArray>("write");
    QTest::addColumn<bool>("detailedOnly");

    const QByteArray letters = "PHLAMGEZDBCJNO";
    for (qsizetype i = 0; i < letters.size(); ++i) {
        QTest::addRow("%c", letters[i])
            << letters[i] << sampleTransmission[i] << (i >= Protocol::standardCommandCount);
    }
}

void TestProtocol::everyCommandSendsItsBytes()
{
    QFETCH(char, readLetter);
    QFETCH(QByteArray, write);
    QFETCH(bool, detailedOnly);

    const Protocol::ParameterCommand *c = Protocol::findCommand(readLetter);
    QVERIFY(c);
    QCOMPARE(c->readLetter, readLetter);
    QCOMPARE(c->detailedOnly, detailedOnly);
    QCOMPARE(Protocol::readRequest(c->readLetter), QByteArray(1, readLetter));
    QCOMPARE(Protocol::writeRequest(*c, sampleSet()), write);
    QCOMPARE(Protocol::findCommand(c->writeLetter), c);
}

void TestProtocol::writeValuesArePlainDecimal_data()
{
    QTest::addColumn<char>("letter");
    QTest::addColumn<qint32>("value");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("negative") << 'p' << -250 << QByteArray::fromHex("702d3235300d");
    QTest::newRow("zero") << 'p' << 0 << QByteArray::fromHex("70300d");
    QTest::newRow("positive") << 'p' << 1250 << QByteArray::fromHex("70313235300d");
    QTest::newRow("-40") << 'p' << -40 << QByteArray::fromHex("702d34300d");
    QTest::newRow("largest") << 'h' << std::numeric_limits<qint32>::max()
                             << QByteArray("h2147483647\r");
    QTest::newRow("smallest") << 'l' << std::numeric_limits<qint32>::min()
                              << QByteArray("l-2147483648\r");
    QTest::newRow("read letter is lowered") << 'A' << 3 << QByteArray("a3\r");
}

void TestProtocol::writeValuesArePlainDecimal()
{
    QFETCH(char, letter);
    QFETCH(qint32, value);
    QFETCH(QByteArray, bytes);
    QCOMPARE(Protocol::writeRequest(letter, value), bytes);
}

void TestProtocol::modeWriteSendsBothDigits_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("12 and 0") << 12 << 0 << QByteArray::fromHex("6d31322e300d");
    QTest::newRow("1 and 2") << 1 << 2 << QByteArray::fromHex("6d312e320d");
    QTest::newRow("3 and 0") << 3 << 0 << QByteArray::fromHex("6d332e300d");
    QTest::newRow("255 and 255") << 255 << 255 << QByteArray("m255.255\r");
}

void TestProtocol::modeWriteSendsBothDigits()
{
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(QByteArray, bytes);
    QCOMPARE(Protocol::modeWriteRequest(first, second), bytes);
}

void TestProtocol::readRequestIsOneUpperCaseByte()
{
    QCOMPARE(Protocol::readRequest('P'), QByteArray::fromHex("50"));
    QCOMPARE(Protocol::readRequest('p'), QByteArray::fromHex("50"));
    QCOMPARE(Protocol::readRequest(Protocol::pollLetter), QByteArray("R"));
}

void TestProtocol::transmissionSendsFourOrFourteenInOrder()
{
    QCOMPARE(Protocol::transmissionRequests(sampleSet(), false), sampleTransmission.first(4));
    QCOMPARE(Protocol::transmissionRequests(sampleSet(), true), sampleTransmission);
}

void TestProtocol::pollLetterIsNoParameter()
{
    QVERIFY(!Protocol::findCommand('R'));
    QVERIFY(!Protocol::findCommand('r'));
    QVERIFY(!Protocol::findCommand('X'));
}

// Steps a caller through time one millisecond at a time: bytes arrive at the given times,
// and whenever the assembler says a reply is complete the caller takes it. The deadline
// the assembler gives must agree with its own completion at every step.
void TestProtocol::repliesCompleteAtTheRightTime_data()
{
    QTest::addColumn<QList<int>>("feedAt");
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::addColumn<QList<int>>("completeAt");

    using B = QList<QByteArray>;
    using I = QList<int>;
    QTest::newRow("whole fast reply") << I{0} << B{"1234\r"} << B{"1234\r"} << I{0};
    QTest::newRow("split reply is one reply")
        << I{0, 50} << B{"12", "34\r"} << B{"1234\r"} << I{50};
    QTest::newRow("slow reply, 90 ms apart")
        << I{0, 90, 180, 270, 360} << B{"1", "2", "3", "4", "\r"} << B{"1234\r"} << I{360};
    QTest::newRow("CR LF together")
        << I{0, 10} << B{"12\r\n", "34\r\n"} << B{"12\r", "34\r"} << I{0, 10};
    QTest::newRow("LF after the reply was taken")
        << I{0, 5, 20} << B{"12\r", "\n", "34\r"} << B{"12\r", "34\r"} << I{0, 20};
    QTest::newRow("late LF does not pair with the next character")
        << I{0, 30, 40} << B{"12\r", "\n", "7"} << B{"12\r"} << I{0};
    QTest::newRow("no terminator: quiet after the last byte")
        << I{0, 60} << B{"12", "3"} << B{"123"} << I{160};
    QTest::newRow("bytes after CR begin the next reply")
        << I{0, 30} << B{"12\r3", "4\r"} << B{"12\r", "34\r"} << I{0, 30};
    QTest::newRow("two replies in one chunk") << I{0} << B{"1\r2\r"} << B{"1\r", "2\r"} << I{0, 0};
    QTest::newRow("lone CR") << I{0} << B{"\r"} << B{"\r"} << I{0};
    QTest::newRow("LF alone is an ordinary character") << I{0} << B{"12\n"} << B{"12\n"} << I{100};
    QTest::newRow("single character never completes") << I{0} << B{"5"} << B{} << I{};
    QTest::newRow("single character after a reply") << I{0} << B{"12\r5"} << B{"12\r"} << I{0};
}

void TestProtocol::repliesCompleteAtTheRightTime()
{
    QFETCH(QList<int>, feedAt);
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QList<QByteArray>, replies);
    QFETCH(QList<int>, completeAt);

    Protocol::ReplyAssembler a;
    QList<QByteArray> gotReplies;
    QList<int> gotAt;
    qsizetype next = 0;
    const int end = feedAt.last() + 3000;
    for (int t = 0; t <= end; ++t) {
        const milliseconds now{t};
        while (next < feedAt.size() && feedAt[next] == t)
            a.feed(chunks[next++], now);
        while (a.isComplete(now)) {
            const auto deadline = a.quietDeadline();
            QVERIFY(deadline && *deadline <= now);
            gotReplies.append(a.takeReply());
            gotAt.append(t);
        }
        const auto deadline = a.quietDeadline();
        QVERIFY2(!deadline || *deadline > now, qPrintable(QString::number(t)));
    }
    QCOMPARE(gotReplies, replies);
    QCOMPARE(gotAt, completeAt);
}

void TestProtocol::quietDeadlineTellsWhenToLookAgain()
{
    Protocol::ReplyAssembler a;
    QVERIFY(!a.quietDeadline());
    a.feed("1", 40ms);
    QVERIFY(!a.quietDeadline());
    a.feed("2", 70ms);
    QVERIFY(a.quietDeadline() == 170ms);
    QVERIFY(!a.isComplete(169ms));
    QVERIFY(a.isComplete(170ms));
    a.feed("\r", 80ms);
    QVERIFY(a.quietDeadline() == 80ms);
    QCOMPARE(a.takeReply(), QByteArray("12\r"));
    QVERIFY(!a.quietDeadline());
}

void TestProtocol::singleCharacterIsNotTakenEarly()
{
    Protocol::ReplyAssembler a;
    a.feed("7", 0ms);
    QVERIFY(!a.isComplete(1h));
    QCOMPARE(a.takeReply(), QByteArray());
    QCOMPARE(a.pendingSize(), qsizetype(1));
    a.feed("\r", 5ms);
    QCOMPARE(a.takeReply(), QByteArray("7\r"));
    a.reset();
    QCOMPARE(a.pendingSize(), qsizetype(0));
}

void TestProtocol::replyLengthBoundary_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("flooded");

    const QByteArray cap(Protocol::maxReplyLength, 'x');
    QTest::newRow("CR as the 256th character")
        << cap.first(255) + '\r' << cap.first(255) + '\r' << false;
    QTest::newRow("256 characters, then quiet") << cap << cap << false;
    QTest::newRow("CR as the 257th character is beyond the cap") << cap + '\r' << cap << true;
    QTest::newRow("endless characters") << QByteArray(5000, '9') << QByteArray(256, '9') << true;
}

void TestProtocol::replyLengthBoundary()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, reply);
    QFETCH(bool, flooded);

    // In one chunk and byte by byte alike.
    for (const bool byteByByte : {false, true}) {
        Protocol::ReplyAssembler a;
        if (byteByByte) {
            for (char c : input)
                a.feed(QByteArrayView(&c, 1), 0ms);
        } else {
            a.feed(input, 0ms);
        }
        QVERIFY(a.isComplete(Protocol::quietPeriod));
        QCOMPARE(a.isFlooded(), flooded);
        QCOMPARE(a.takeReply(), reply);
        QCOMPARE(a.pendingSize(), qsizetype(0));
    }
}

void TestProtocol::floodIsCappedThenDiscardedUntilReset()
{
    Protocol::ReplyAssembler a;
    const QByteArray chunk(100, 'x');
    a.feed(chunk, 0ms);
    a.feed(chunk, 1ms);
    QVERIFY(!a.isComplete(1ms));
    a.feed(chunk, 2ms);
    QVERIFY(a.isComplete(2ms));
    QVERIFY(a.isFlooded());
    for (int t = 3; t < 1000; ++t)
        a.feed(t % 10 ? chunk : QByteArray("12\r"), milliseconds(t));
    QVERIFY(a.pendingSize() <= Protocol::maxReplyLength);
    QCOMPARE(a.takeReply(), QByteArray(Protocol::maxReplyLength, 'x'));
    a.feed("12\r", 2000ms);
    QVERIFY(!a.isComplete(1h));
    QCOMPARE(a.pendingSize(), qsizetype(0));

    a.reset();
    QVERIFY(!a.isFlooded());
    a.feed("12\r", 3000ms);
    QCOMPARE(a.takeReply(), QByteArray("12\r"));
}

void TestProtocol::hugeChunkIsNeverHeld()
{
    Protocol::ReplyAssembler a;
    a.feed(QByteArray("1\r") + QByteArray(1 << 20, 'y'), 0ms);
    QVERIFY(a.pendingSize() <= Protocol::ReplyAssembler::maxPendingLength);
    QCOMPARE(a.takeReply(), QByteArray("1\r"));
    QCOMPARE(a.takeReply(), QByteArray(Protocol::maxReplyLength, 'y'));
    QVERIFY(!a.isComplete(1h));
}

void TestProtocol::endlessTerminatedRepliesStayBounded()
{
    // Nobody takes them: the whole replies held stay intact, the unfinished one is dropped.
    Protocol::ReplyAssembler a;
    for (int i = 0; i < 10000; ++i)
        a.feed(QByteArray("12\r"), milliseconds(i));
    a.feed("34", 10000ms);
    QVERIFY(a.isFlooded());
    QVERIFY(a.pendingSize() <= Protocol::ReplyAssembler::maxPendingLength);
    int taken = 0;
    while (a.isComplete(1h)) {
        QCOMPARE(a.takeReply(), QByteArray("12\r"));
        ++taken;
    }
    QCOMPARE(taken, Protocol::ReplyAssembler::maxPendingLength / 3);
    QCOMPARE(a.pendingSize(), qsizetype(0));
}

void TestProtocol::replyTimeoutCoversTwentyCharacters_data()
{
    QTest::addColumn<qint32>("baud");
    QTest::addColumn<qint64>("ms");

    // 2000 ms + 200 bits at the speed, rounded up.
    QTest::newRow("300") << 300 << qint64(2667);
    QTest::newRow("1200") << 1200 << qint64(2167);
    QTest::newRow("9600") << 9600 << qint64(2021);
    QTest::newRow("19200") << 19200 << qint64(2011);
    QTest::newRow("no speed") << 0 << qint64(2667);
    QTest::newRow("negative speed") << -9600 << qint64(2667);
}

void TestProtocol::replyTimeoutCoversTwentyCharacters()
{
    QFETCH(qint32, baud);
    QFETCH(qint64, ms);
    QCOMPARE(Protocol::replyTimeout(baud).count(), ms);
}

void TestProtocol::repliesConvertIntoTheirField_data()
{
    QTest::addColumn<char>("letter");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("secondValue"); // MODE only

    QTest::newRow("P with CR") << 'P' << QByteArray("1250\r") << 0 << 1250 << 0;
    QTest::newRow("P negative, CR LF") << 'P' << QByteArray("-250\r\n") << 0 << -250 << 0;
    QTest::newRow("H blanks around") << 'H' << QByteArray(" 2147483647 \r") << 1 << 2147483647 << 0;
    QTest::newRow("L smallest") << 'L' << QByteArray("-2147483648") << 2
                                << std::numeric_limits<qint32>::min() << 0;
    QTest::newRow("A largest 16-bit") << 'A' << QByteArray("32767\r") << 3 << 32767 << 0;
    QTest::newRow("G smallest 16-bit") << 'G' << QByteArray("-32768\r") << 6 << -32768 << 0;
    QTest::newRow("E plus sign") << 'E' << QByteArray("+1\r") << 7 << 1 << 0;
    QTest::newRow("Z half rounds to even") << 'Z' << QByteArray("12.5\r") << 8 << 12 << 0;
    QTest::newRow("D half rounds to even, up") << 'D' << QByteArray("13.5\r") << 9 << 14 << 0;
    QTest::newRow("B") << 'B' << QByteArray("1\r") << 10 << 1 << 0;
    QTest::newRow("C") << 'C' << QByteArray("0\r") << 11 << 0 << 0;
    QTest::newRow("J") << 'J' << QByteArray("1\r") << 12 << 1 << 0;
    QTest::newRow("N") << 'N' << QByteArray("0\r") << 13 << 0 << 0;
    QTest::newRow("O by its write letter") << 'o' << QByteArray("1\r") << 14 << 1 << 0;
    QTest::newRow("M 12") << 'M' << QByteArray("12\r") << 4 << 1 << 2;
    QTest::newRow("M 123") << 'M' << QByteArray("123\r") << 4 << 1 << 3;
    QTest::newRow("M 7") << 'M' << QByteArray("7\r") << 4 << 7 << 7;
    QTest::newRow("M 5") << 'M' << QByteArray("5") << 4 << 5 << 5;
    QTest::newRow("M 47") << 'M' << QByteArray("47\r\n") << 4 << 4 << 7;
    QTest::newRow("M 0") << 'M' << QByteArray("0\r") << 4 << 0 << 0;
    QTest::newRow("M largest") << 'M' << QByteArray("32767\r") << 4 << 3 << 7;
    QTest::newRow("M fraction rounds first") << 'M' << QByteArray("12.5\r") << 4 << 1 << 2;
}

void TestProtocol::repliesConvertIntoTheirField()
{
    QFETCH(char, letter);
    QFETCH(QByteArray, reply);
    QFETCH(int, field);
    QFETCH(int, value);
    QFETCH(int, secondValue);

    ParameterSet values = sampleSet();
    ParameterSet expected = sampleSet();
    QVERIFY(expected.setField(field, value));
    if (letter == 'M')
        QVERIFY(expected.setField(field + 1, secondValue));

    const Protocol::ApplyResult r = Protocol::applyReply(values, letter, reply);
    QCOMPARE(int(r.fault), int(Protocol::ReplyFault::None));
    QCOMPARE(values.values(), expected.values());
}

void TestProtocol::badRepliesStoreNothing_data()
{
    QTest::addColumn<char>("letter");
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("P beyond 32 bits") << 'P' << QByteArray("2147483648\r");
    QTest::newRow("L below 32 bits") << 'L' << QByteArray("-2147483649\r");
    QTest::newRow("A 40000 overflows 16 bits") << 'A' << QByteArray("40000\r");
    QTest::newRow("G 32768") << 'G' << QByteArray("32768\r");
    QTest::newRow("E -32769") << 'E' << QByteArray("-32769\r");
    QTest::newRow("H beyond 64 bits") << 'H' << QByteArray("99999999999999999999\r");
    QTest::newRow("letters") << 'P' << QByteArray("abc\r");
    QTest::newRow("digits then letter") << 'Z' << QByteArray("12a\r");
    QTest::newRow("two numbers") << 'D' << QByteArray("1 2\r");
    QTest::newRow("exponent") << 'B' << QByteArray("1E3\r");
    QTest::newRow("empty") << 'C' << QByteArray("");
    QTest::newRow("CR only") << 'J' << QByteArray("\r");
    QTest::newRow("lone sign") << 'N' << QByteArray("-\r");
    QTest::newRow("NUL inside") << 'O'
                                << QByteArray("1\0"
                                              "2\r",
                                              4);
    QTest::newRow("not ASCII") << 'A' << QByteArray("\xb1\r");
    QTest::newRow("M negative") << 'M' << QByteArray("-5\r");
    QTest::newRow("M 40000") << 'M' << QByteArray("40000\r");
    QTest::newRow("M not a number") << 'M' << QByteArray("1.2.3\r");
    QTest::newRow("cut off at the cap") << 'P' << QByteArray(250, ' ') + "5" + QByteArray(5, ' ');
    QTest::newRow("poll letter") << 'R' << QByteArray("12\r");
    QTest::newRow("unknown letter") << 'X' << QByteArray("12\r");
}

void TestProtocol::badRepliesStoreNothing()
{
    QFETCH(char, letter);
    QFETCH(QByteArray, reply);

    ParameterSet values = sampleSet();
    const Protocol::ApplyResult r = Protocol::applyReply(values, letter, reply);
    QVERIFY(!r);
    QCOMPARE(values.values(), sampleSet().values());
}

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
