#include "SimProcess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <unistd.h>

namespace {

// Distinct values per letter, so a letter answering another's field shows.
const QStringList distinctParams{QStringLiteral("--params"),
                                 QStringLiteral("500,600,-50,3,4,7,6,8,9,10,11,12,13,14,15")};

std::unique_ptr<QSerialPort> openPort(const QString &path)
{
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(path);
    port->setBaudRate(QSerialPort::Baud9600);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    if (!port->open(QIODevice::ReadWrite)) {
        qWarning() << "cannot open" << path << port->errorString();
        return nullptr;
    }
    port->clear(); // Qt 6.4 keeps what arrived before open
    return port;
}

void send(QSerialPort &port, const QByteArray &bytes)
{
    port.write(bytes);
    while (port.bytesToWrite() > 0 && port.waitForBytesWritten(1000)) {
    }
}

// Everything that arrives within ms.
QByteArray readFor(QSerialPort &port, int ms)
{
    QByteArray data;
    QElapsedTimer timer;
    timer.start();
    for (qint64 left = ms; left > 0; left = ms - timer.elapsed()) {
        if (port.waitForReadyRead(int(left)))
            data += port.readAll();
    }
    return data + port.readAll();
}

// Reads until the data ends with a carriage return, or the time is up.
QByteArray readReply(QSerialPort &port, int timeoutMs = 2000)
{
    QByteArray data;
    QElapsedTimer timer;
    timer.start();
    while (!data.endsWith('\r')) {
        const qint64 left = timeoutMs - timer.elapsed();
        if (left <= 0 || !port.waitForReadyRead(int(left)))
            break;
        data += port.readAll();
    }
    return data;
}

QByteArray exchange(QSerialPort &port, const QByteArray &request)
{
    send(port, request);
    return readReply(port);
}

// User plus system CPU time of a process, in seconds.
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // Fields after the parenthesised command name; utime and stime are fields 14 and 15.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const double ticks = fields[11].toDouble() + fields[12].toDouble();
    return ticks / double(sysconf(_SC_CLK_TCK));
}

} // namespace

class TestSimulator : public QObject {
    Q_OBJECT

private slots:
    void readRequestAnswersStoredValue_data();
    void readRequestAnswersStoredValue();
    void writeThenReadRoundTrips_data();
    void writeThenReadRoundTrips();
    void measuredValueHasThreeDecimals_data();
    void measuredValueHasThreeDecimals();
    void logRecordsExactlyTheBytesWritten();
    void faultShapesTheReply_data();
    void faultShapesTheReply();
    void splitReplyArrivesInTwoParts();
    void floodKeepsComing();
    void stopAfterGoesSilent();
    void delayHoldsTheReply();
    void baudPacesTheOutput();
    void survivesOpeningAndClosingManyTimes();
    void staysIdleAfterTheClientCloses_data();
    void staysIdleAfterTheClientCloses();
    void faultSwitchesAtRunTime();
    void restartsAfterBeingKilled();
    void linkIsReplacedAndRemoved();
    void refusesToReplaceARealFile();
    void badOptionsExitWithAMessage_data();
    void badOptionsExitWithAMessage();
};

void TestSimulator::readRequestAnswersStoredValue_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("P senter") << QByteArray("P") << QByteArray("500\r");
    QTest::newRow("H upper") << QByteArray("H") << QByteArray("600\r");
    QTest::newRow("L under") << QByteArray("L") << QByteArray("-50\r");
    QTest::newRow("A ave") << QByteArray("A") << QByteArray("3\r");
    QTest::newRow("M both digits") << QByteArray("M") << QByteArray("47\r");
    QTest::newRow("G gain") << QByteArray("G") << QByteArray("6\r");
    QTest::newRow("E henn") << QByteArray("E") << QByteArray("8\r");
    QTest::newRow("Z zero") << QByteArray("Z") << QByteArray("9\r");
    QTest::newRow("D syou") << QByteArray("D") << QByteArray("10\r");
    QTest::newRow("B hyou") << QByteArray("B") << QByteArray("11\r");
    QTest::newRow("C erro") << QByteArray("C") << QByteArray("12\r");
    QTest::newRow("J edg") << QByteArray("J") << QByteArray("13\r");
    QTest::newRow("N soku") << QByteArray("N") << QByteArray("14\r");
    QTest::newRow("O ziko") << QByteArray("O") << QByteArray("15\r");
}

void TestSimulator::readRequestAnswersStoredValue()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    ProgramFolderFixture folder;
    SimProcess sim(folder.portPath(1), distinctParams);
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    auto port = openPort(sim.linkPath());
    QVERIFY(port);
    QCOMPARE(exchange(*port, request), reply);
    QCOMPARE(readFor(*port, 100), QByteArray()); // nothing after the CR
}

void TestSimulator::writeThenReadRoundTrips_data()
{
    QTest::addColumn<QByteArray>("writes");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("negative senter")
        << QByteArray("p-250\r") << QByteArray("P") << QByteArray("-250\r");
    QTest::newRow("zero senter") << QByteArray("p0\r") << QByteArray("P") << QByteArray("0\r");
    QTest::newRow("upper at 32-bit max")
        << QByteArray("h2147483647\r") << QByteArray("H") << QByteArray("2147483647\r");
    QTest::newRow("under at 32-bit min")
        << QByteArray("l-2147483648\r") << QByteArray("L") << QByteArray("-2147483648\r");
    QTest::newRow("under past 32 bits is ignored")
        << QByteArray("l2147483648\r") << QByteArray("L") << QByteArray("-50\r");
    QTest::newRow("mode pair") << QByteArray("m4.7\r") << QByteArray("M") << QByteArray("47\r");
    QTest::newRow("mode two-digit first")
        << QByteArray("m12.0\r") << QByteArray("M") << QByteArray("120\r");
    QTest::newRow("mode without dot is ignored")
        << QByteArray("m47\r") << QByteArray("M") << QByteArray("47\r");
    QTest::newRow("mode negative digit is ignored")
        << QByteArray("m-1.2\r") << QByteArray("M") << QByteArray("47\r");
    QTest::newRow("ave") << QByteArray("a11\r") << QByteArray("A") << QByteArray("11\r");
    QTest::newRow("gain") << QByteArray("g0\r") << QByteArray("G") << QByteArray("0\r");
    QTest::newRow("gain past 16 bits is ignored")
        << QByteArray("g32768\r") << QByteArray("G") << QByteArray("6\r");
    QTest::newRow("henn") << QByteArray("e1\r") << QByteArray("E") << QByteArray("1\r");
    QTest::newRow("zero") << QByteArray("z1\r") << QByteArray("Z") << QByteArray("1\r");
    QTest::newRow("syou") << QByteArray("d4\r") << QByteArray("D") << QByteArray("4\r");
    QTest::newRow("hyou") << QByteArray("b1\r") << QByteArray("B") << QByteArray("1\r");
    QTest::newRow("erro") << QByteArray("c1\r") << QByteArray("C") << QByteArray("1\r");
    QTest::newRow("edg") << QByteArray("j1\r") << QByteArray("J") << QByteArray("1\r");
    QTest::newRow("soku") << QByteArray("n1\r") << QByteArray("N") << QByteArray("1\r");
    QTest::newRow("ziko") << QByteArray("o-1\r") << QByteArray("O") << QByteArray("-1\r");
    QTest::newRow("later write wins")
        << QByteArray("p1\rp2\r") << QByteArray("P") << QByteArray("2\r");
    QTest::newRow("write cut short by a read is dropped")
        << QByteArray("p12") << QByteArray("P") << QByteArray("500\r");
    QTest::newRow("non-digit in the value is dropped")
        << QByteArray("p1x2\r") << QByteArray("P") << QByteArray("500\r");
    QTest::newRow("empty value is ignored")
        << QByteArray("p\r") << QByteArray("P") << QByteArray("500\r");
    QTest::newRow("junk bytes are ignored")
        << QByteArray("\n\r?#\x01\xff x9\r") << QByteArray("P") << QByteArray("500\r");
}

void TestSimulator::writeThenReadRoundTrips()
{
    QFETCH(QByteArray, writes);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    ProgramFolderFixture folder;
    SimProcess sim(folder.portPath(1), distinctParams);
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    auto port = openPort(sim.linkPath());
    QVERIFY(port);
    send(*port, writes);
    QCOMPARE(exchange(*port, request), reply);
    QCOMPARE(readFor(*port, 100), QByteArray()); // writes are never answered
}

void TestSimulator::measuredValueHasThreeDecimals_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("pattern");
    QTest::newRow("default") << QStringList() << QStringLiteral("^1[12]\\.\\d{3}\\r$");
    QTest::newRow("still centre") << QStringList{"--centre", "100", "--amplitude", "0"}
                                  << QStringLiteral("^100\\.000\\r$");
    QTest::newRow("negative centre") << QStringList{"--centre", "-5.5", "--amplitude", "0.25"}
                                     << QStringLiteral("^-5\\.\\d{3}\\r$");
    QTest::newRow("fixed text") << QStringList{"--value", "+0012.50"}
                                << QStringLiteral("^\\+0012\\.50\\r$");
}

void TestSimulator::measuredValueHasThreeDecimals()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, pattern);
    ProgramFolderFixture folder;
    SimProcess sim(folder.portPath(2), arguments);
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    auto port = openPort(sim.linkPath());
    QVERIFY(port);
    const QRegularExpression expected(pattern);
    for (int i = 0; i < 3; ++i) {
        const QByteArray reply = exchange(*port, "R");
        QVERIFY2(expected.match(QString::fromLatin1(reply)).hasMatch(), reply.constData());
    }
}

void TestSimulator::logRecordsExactlyTheBytesWritten()
{
    ProgramFolderFixture folder;
    SimProcess sim(folder.portPath(1), distinctParams);
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    const QByteArray wire("Pp-250\rm12.0\r\n\xfe\0R", 17); // raw, NUL included
    {
        auto port = openPort(sim.linkPath());
        QVERIFY(port);
        send(*port, wire);
        QVERIFY(sim.waitForReceived(wire.size()));
        // Take both replies (P and R) off the line before closing, or one written after
        // the close would wait in the terminal and be read by the next session.
        QByteArray replies;
        QVERIFY(QTest::qWaitFor([&] {
            port->waitForReadyRead(50);
            replies += port->readAll();
            return replies.count('\r') >= 2;
        }));
        QVERIFY(replies.startsWith("500\r"));
    }
    auto port = openPort(sim.linkPath()); // a second session appends
    QVERIFY(port);
    send(*port, "M");
    QCOMPARE(readReply(*port), QByteArray("120\r"));
    QCOMPARE(sim.receivedBytes(), wire + "M");
}

void TestSimulator::faultShapesTheReply_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("silent") << "silent" << QByteArray();
    QTest::newRow("one-char") << "one-char" << QByteArray("5");
    QTest::newRow("non-number") << "non-number" << QByteArray("ERR\r");
    QTest::newRow("stray") << "stray" << QByteArray("#~500\r");
    QTest::newRow("lf") << "lf" << QByteArray("500\r\n");
    QTest::newRow("no-cr") << "no-cr" << QByteArray("500");
    QTest::newRow("none") << "none" << QByteArray("500\r");
}

void TestSimulator::faultShapesTheReply()
{
    QFETCH(QString, fault);
    QFETCH(QByteArray, reply);
    ProgramFolderFixture folder;
    SimProcess sim(folder.portPath(1), distinctParams + QStringList{"--fault", fault});
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    auto port = openPort(sim.linkPath());
    QVERIFY(port);
    for (int i = 0; i < 2; ++i) {
        send(*port, "P");
        QCOMPARE(readFor(*port, 250), reply);
    }
    QCOMPARE(sim.receivedBytes(), QByteArray("PP"));
}

void TestSimulator::splitReplyArrivesInTwoParts()
{
    ProgramFolderFixture folder;
    SimProcess sim(folder.portPath(1),
                   distinctParams + QStringList{"--fault", "split", "--split-gap", "300"});
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    auto port = openPort(sim.linkPath());
    QVERIFY(port);
    send(*port, "H");
    QElapsedTimer timer;
    timer.start();
    QByteArray head = readFor(*port, 150);
    QCOMPARE(head, QByteArray("60"));
    QCOMPARE(readReply(*port), QByteArray("0\r"));
    QVERIFY2(timer.elapsed() >= 250, qPrintable(QString::number(timer.elapsed())));
    // A reply of two characters or fewer has nothing left to split off.
    send(*port, "A");
    QCOMPARE(readFor(*port, 150), QByteArray("3\r"));
}

void TestSimulator::floodKeepsComing()
{
    ProgramFolderFixture folder;
    SimProcess sim(folder.portPath(1), distinctParams + QStringList{"--fault", "flood"});
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    auto port = openPort(sim.linkPath());
    QVERIFY(port);
    send(*port, "P");
    const QByteArray first = readFor(*port, 300);
    QVERIFY2(first.startsWith("500\r0123456789012"), first.left(40).constData());
    QVERIFY2(first.size() > 150, qPrintable(QString::number(first.size())));
    const QByteArray second = readFor(*port, 300);
    QVERIFY2(second.size() > 150, qPrintable(QString::number(second.size())));
    QVERIFY(!second.contains('\r'));
}

void TestSimulator::stopAfterGoesSilent()
{
    ProgramFolderFixture folder;
    SimProcess sim(folder.portPath(1), distinctParams + QStringList{"--stop-after", "3"});
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    auto port = openPort(sim.linkPath());
    QVERIFY(port);
    QCOMPARE(exchange(*port, "P"), QByteArray("500\r"));
    send(*port, "p7\r"); // writes do not count
    QCOMPARE(exchange(*port, "P"), QByteArray("7\r"));
    QCOMPARE(exchange(*port, "M"), QByteArray("47\r"));
    send(*port, "P");
    QCOMPARE(readFor(*port, 300), QByteArray());
    QCOMPARE(sim.receivedBytes(), QByteArray("Pp7\rPMP")); // still listening
}

void TestSimulator::delayHoldsTheReply()
{
    ProgramFolderFixture folder;
    SimProcess sim(folder.portPath(1), distinctParams + QStringList{"--delay", "300"});
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    auto port = openPort(sim.linkPath());
    QVERIFY(port);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(exchange(*port, "P"), QByteArray("500\r"));
    QVERIFY2(timer.elapsed() >= 280, qPrintable(QString::number(timer.elapsed())));
}

void TestSimulator::baudPacesTheOutput()
{
    ProgramFolderFixture folder;
    SimProcess sim(folder.portPath(1),
                   {"--baud", "300", "--params", "123456,0,0,0,0,0,0,0,0,0,0,0,0,0,0"});
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    auto port = openPort(sim.linkPath());
    QVERIFY(port);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(exchange(*port, "P"), QByteArray("123456\r"));
    // 7 characters of 10 bits at 300 baud: 233 ms on a real line.
    QVERIFY2(timer.elapsed() >= 200, qPrintable(QString::number(timer.elapsed())));
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
}

void TestSimulator::survivesOpeningAndClosingManyTimes()
{
    ProgramFolderFixture folder;
    SimProcess sim(folder.portPath(1), distinctParams);
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    for (int i = 0; i < 120; ++i) {
        auto port = openPort(sim.linkPath());
        QVERIFY2(port, qPrintable(QString::number(i)));
        const QByteArray value = QByteArray::number(i - 60);
        send(*port, "p" + value + "\r");
        QCOMPARE(exchange(*port, "P"), value + "\r");
        port->close();
    }
}

void TestSimulator::staysIdleAfterTheClientCloses_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("none") << "none";
    QTest::newRow("flood") << "flood"; // nobody reads the flood any more
}

void TestSimulator::staysIdleAfterTheClientCloses()
{
    QFETCH(QString, fault);
    ProgramFolderFixture folder;
    SimProcess sim(folder.portPath(1), distinctParams + QStringList{"--fault", fault});
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    {
        auto port = openPort(sim.linkPath());
        QVERIFY(port);
        send(*port, "P");
        QVERIFY(!readFor(*port, 50).isEmpty());
    }
    const double before = cpuSeconds(sim.processId());
    QVERIFY(before >= 0);
    QTest::qWait(1000);
    const double used = cpuSeconds(sim.processId()) - before;
    QVERIFY2(used < 0.2, qPrintable(QString::number(used)));
    // and still serves afterwards
    auto port = openPort(sim.linkPath());
    QVERIFY(port);
    send(*port, "P");
    QVERIFY(readFor(*port, 100).startsWith("500\r"));
}

void TestSimulator::faultSwitchesAtRunTime()
{
    ProgramFolderFixture folder;
    SimProcess sim(folder.portPath(1), distinctParams);
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    auto port = openPort(sim.linkPath());
    QVERIFY(port);
    QCOMPARE(exchange(*port, "P"), QByteArray("500\r"));
    QVERIFY(sim.setFault("silent"));
    send(*port, "P");
    QCOMPARE(readFor(*port, 200), QByteArray());
    QVERIFY(sim.setFault("lf"));
    send(*port, "P");
    QCOMPARE(readFor(*port, 200), QByteArray("500\r\n"));
    QVERIFY(!sim.setFault("no-such-fault")); // refused, the old fault stays
    QVERIFY(sim.setFault("none"));
    QCOMPARE(exchange(*port, "P"), QByteArray("500\r"));
}

void TestSimulator::restartsAfterBeingKilled()
{
    ProgramFolderFixture folder;
    SimProcess sim(folder.portPath(1), distinctParams);
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    sim.kill();
    QVERIFY(QFileInfo(sim.linkPath()).isSymLink()); // left dangling
    QVERIFY(!openPort(sim.linkPath()));
    QVERIFY2(sim.restart(), qPrintable(sim.errorString()));
    QCOMPARE(QFileInfo(sim.linkPath()).symLinkTarget(), sim.terminalPath());
    auto port = openPort(sim.linkPath());
    QVERIFY(port);
    QCOMPARE(exchange(*port, "P"), QByteArray("500\r"));
}

void TestSimulator::linkIsReplacedAndRemoved()
{
    ProgramFolderFixture folder;
    const QString link = folder.portPath(3);
    QVERIFY(QFile::link(QStringLiteral("/nonexistent/old-adapter"), link));
    {
        SimProcess sim(link, distinctParams);
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        QVERIFY(QFileInfo(link).symLinkTarget().startsWith(QStringLiteral("/dev/pts/")));
    }
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
}

void TestSimulator::refusesToReplaceARealFile()
{
    ProgramFolderFixture folder;
    const QString path = folder.portPath(4);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("keep me");
    file.close();
    SimProcess sim(path, distinctParams);
    QVERIFY(!sim.isReady());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("keep me"));
}

void TestSimulator::badOptionsExitWithAMessage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("unknown option") << QStringList{"--frobnicate"};
    QTest::newRow("missing value") << QStringList{"--delay"};
    QTest::newRow("unknown fault") << QStringList{"--fault", "smoke"};
    QTest::newRow("too few params") << QStringList{"--params", "1,2,3"};
    QTest::newRow("too many params") << QStringList{"--params", "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0"};
    QTest::newRow("16-bit param too wide")
        << QStringList{"--params", "0,0,0,40000,0,0,0,0,0,0,0,0,0,0,0"};
    QTest::newRow("param not a number") << QStringList{"--params", "0,0,0,x,0,0,0,0,0,0,0,0,0,0,0"};
    QTest::newRow("zero baud") << QStringList{"--baud", "0"};
    QTest::newRow("negative delay") << QStringList{"--delay", "-5"};
    QTest::newRow("stop-after not a number") << QStringList{"--stop-after", "three"};
    QTest::newRow("centre not a number") << QStringList{"--centre=abc"};
}

void TestSimulator::badOptionsExitWithAMessage()
{
    QFETCH(QStringList, arguments);
    QProcess process;
    process.start(QStringLiteral(QSR_SIM_PATH), arguments);
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardOutput().isEmpty());
    QVERIFY(process.readAllStandardError().startsWith("qsr540-sim: "));
}

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
