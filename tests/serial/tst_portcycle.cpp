#include "FakeSerialDevice.h"
#include "SimProcess.h"
#include "TestPort.h"
#include "core/ParameterSet.h"
#include "serial/PortCycle.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(CycleResult)

namespace {

using Exchanges = QList<Exchange>;

Exchange read(char letter)
{
    return {QByteArray(1, letter), true};
}

// Runs one cycle to its end and returns the replies and the result.
struct Run {
    QList<QByteArray> replies;
    CycleResult result;
    bool finished = false;
};

Run runCycle(SerialPort &port, const Exchanges &exchanges, int boundMs = 8000)
{
    Run run;
    const auto onReply = [&](int, const QByteArray &reply, QString *) {
        run.replies << reply;
        return true;
    };
    const auto onFinished = [&](const CycleResult &r) {
        run.result = r;
        run.finished = true;
    };
    if (!port.startCycle(exchanges, onReply, nullptr, onFinished))
        return run;
    (void)QTest::qWaitFor([&] { return run.finished; }, boundMs);
    return run;
}

} // namespace

class TestPortCycle : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { qRegisterMetaType<CycleResult>(); }
    void readsRepliesOneAfterAnother_data();
    void readsRepliesOneAfterAnother();
    void timesOutOnASilentOrHalfReplyAndClosesThePort_data();
    void timesOutOnASilentOrHalfReplyAndClosesThePort();
    void aWriteOnlyCycleNeedsNoInstrument();
    void reportsAPortThatCannotBeOpened();
    void stopsAtAReplyTheCallerRefuses();
    void endsQuietlyWhenItsRequesterGoes();
    void reportsOkOnlyOnceTheLineHasSentEverything_data();
    void reportsOkOnlyOnceTheLineHasSentEverything();
    void aLineThatStopsSendingFailsWithinItsBound();
    void aPollClosesAsSoonAsItsReplyIsIn();
    void survivesAFloodWithBoundedReplies();
    void aLineThatDropsWhileWritingEndsTheCycleOnce();
    void aSerialDeviceWithNothingBehindItNeverHoldsTheWindow();
    void aReplyTakenInAtTheDeadlineLetsTheNextExchangeWait();
};

void TestPortCycle::aSerialDeviceWithNothingBehindItNeverHoldsTheWindow()
{
    // The platform's own first port, as when a COM1 link has gone: there may be no UART
    // behind it, so a request can stick in the output queue.
    const QString device = QStringLiteral("/dev/ttyS0");
    if (!QFile::exists(device))
        QSKIP("no /dev/ttyS0 here");
    ProgramFolderFixture folder;
    QVERIFY(QFile::link(device, folder.portPath(1)));
    TestPort port(folder.path());
    QElapsedTimer clock;
    clock.start();
    const Run run = runCycle(port, {{"p-250\r", false}, read('R')}, 40000);
    QVERIFY(run.finished);
    QVERIFY(run.result.status != CycleStatus::Ok);
    QVERIFY2(clock.elapsed() < PortCycle::waitBound(9600).count() + 1500,
             qPrintable(QStringLiteral("%1 ms").arg(clock.elapsed())));
    QVERIFY(!port.isOpen());
}

void TestPortCycle::aLineThatDropsWhileWritingEndsTheCycleOnce()
{
    FakeSerialDevice port;
    port.lineFailsOnWrite = true;
    PortCycle cycle;
    QSignalSpy finished(&cycle, &PortCycle::finished);
    QVERIFY(cycle.start(&port, "fake", 9600, {{"p1\r", false}, read('P')}));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(int(finished[0][0].value<CycleResult>().status), int(CycleStatus::LineFailed));
    QVERIFY(!cycle.isRunning());
}

// A port whose bytes arrive only when asked for at the deadline, as when readyRead is queued
// behind the timer.
class LatePort final : public FakeSerialDevice {
public:
    using FakeSerialDevice::FakeSerialDevice;
    QByteArray held;
    void readPending() override
    {
        if (!held.isEmpty())
            inject(std::exchange(held, QByteArray()));
    }
};

void TestPortCycle::aReplyTakenInAtTheDeadlineLetsTheNextExchangeWait()
{
    LatePort port;
    PortCycle cycle;
    QSignalSpy finished(&cycle, &PortCycle::finished);
    QVERIFY(cycle.start(&port, "fake", 9600, {read('P'), read('H')}));
    port.held = "500\r";
    // The first wait ends at its deadline with the reply; the second must get its own bound.
    QTRY_VERIFY_WITH_TIMEOUT(port.written == "PH", 4000);
    QCOMPARE(finished.size(), 0);
    port.inject("600\r");
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(int(finished[0][0].value<CycleResult>().status), int(CycleStatus::Ok));
}

void TestPortCycle::readsRepliesOneAfterAnother_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QList<QByteArray>>("replies");
    const QStringList params{"--params", "-250,600,-50,3,4,7,2,0,1,2,0,1,0,0,0"};
    QTest::newRow("whole") << params << QList<QByteArray>{"-250\r", "600\r", "47\r"};
    // A reply still arriving is not cut: the rest does not corrupt the next value.
    QTest::newRow("split") << params + QStringList{"--fault", "split", "--split-gap", "80"}
                           << QList<QByteArray>{"-250\r", "600\r", "47\r"};
    QTest::newRow("CR LF") << params + QStringList{"--fault", "lf"}
                           << QList<QByteArray>{"-250\r", "600\r", "47\r"};
    QTest::newRow("300 baud") << params + QStringList{"--baud", "300"}
                              << QList<QByteArray>{"-250\r", "600\r", "47\r"};
    QTest::newRow("no terminator")
        << params + QStringList{"--fault", "no-cr"} << QList<QByteArray>{"-250", "600", "47"};
}

void TestPortCycle::readsRepliesOneAfterAnother()
{
    QFETCH(QStringList, simArgs);
    QFETCH(QList<QByteArray>, replies);
    ProgramFolderFixture folder;
    SimProcess sim(folder.portPath(1), simArgs);
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    TestPort port(folder.path());
    QVERIFY(port.setSettings(simArgs.contains("300") ? "300,N,8,1" : "9600,N,8,1"));
    const Run run = runCycle(port, {read('P'), read('H'), read('M')});
    QVERIFY(run.finished);
    QCOMPARE(int(run.result.status), int(CycleStatus::Ok));
    QCOMPARE(run.result.completed, 3);
    QCOMPARE(run.replies, replies);
    QVERIFY(!port.isOpen());
    QCOMPARE(sim.receivedBytes(), QByteArray("PHM"));
}

void TestPortCycle::timesOutOnASilentOrHalfReplyAndClosesThePort_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("silent") << "silent";
    QTest::newRow("one character") << "one-char";
}

void TestPortCycle::timesOutOnASilentOrHalfReplyAndClosesThePort()
{
    QFETCH(QString, fault);
    ProgramFolderFixture folder;
    SimProcess sim(folder.portPath(1), {"--fault", fault});
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    TestPort port(folder.path());
    QElapsedTimer clock;
    clock.start();
    const Run run = runCycle(port, {read('P'), read('H')});
    QVERIFY(run.finished);
    QCOMPARE(int(run.result.status), int(CycleStatus::TimedOut));
    QCOMPARE(run.result.completed, 0);
    // The wait is bounded by the wall clock, not by how fast the event loop spins.
    const auto bound = PortCycle::waitBound(9600).count();
    QVERIFY2(clock.elapsed() >= bound - 50 && clock.elapsed() < bound + 1500,
             qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!port.isOpen());
    QCOMPARE(sim.receivedBytes(), QByteArray("P")); // no further request of that cycle
}

void TestPortCycle::aWriteOnlyCycleNeedsNoInstrument()
{
    ProgramFolderFixture folder;
    SimProcess sim(folder.portPath(1), {"--fault", "silent"});
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    TestPort port(folder.path());
    const Run run = runCycle(port, {{"p-250\r", false}, {"h600\r", false}, {"m12.0\r", false}});
    QCOMPARE(int(run.result.status), int(CycleStatus::Ok));
    QVERIFY(sim.waitForReceived(17));
    QCOMPARE(sim.receivedBytes(), QByteArray("p-250\rh600\rm12.0\r"));
}

void TestPortCycle::reportsAPortThatCannotBeOpened()
{
    ProgramFolderFixture folder;
    QVERIFY(QFile::link(folder.path() + "/gone", folder.portPath(2)));
    TestPort port(folder.path());
    QVERIFY(port.setCommPort(2));
    const Run run = runCycle(port, {read('R')});
    QVERIFY(run.finished);
    QCOMPARE(int(run.result.status), int(CycleStatus::OpenFailed));
    QVERIFY(run.result.reason.contains(folder.portPath(2)));
    QCOMPARE(int(run.result.problem.cause), int(PortProblem::Cause::DanglingLink));
    QVERIFY(!port.isBusy()); // the next cycle may try again
}

void TestPortCycle::stopsAtAReplyTheCallerRefuses()
{
    ProgramFolderFixture folder;
    SimProcess sim(folder.portPath(1), {"--fault", "non-number"});
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    TestPort port(folder.path());
    CycleResult result;
    bool finished = false;
    QVERIFY(port.startCycle(
        {read('P'), read('H')},
        [](int, const QByteArray &r, QString *why) {
            *why = QStringLiteral("not a number: ") + QString::fromLatin1(r);
            return false;
        },
        nullptr, [&](const CycleResult &r) { result = r, finished = true; }));
    QVERIFY(QTest::qWaitFor([&] { return finished; }, 5000));
    QCOMPARE(int(result.status), int(CycleStatus::BadReply));
    QVERIFY(result.reason.startsWith("not a number: ERR"));
    QCOMPARE(sim.receivedBytes(), QByteArray("P"));
    QVERIFY(!port.isOpen());
}

void TestPortCycle::endsQuietlyWhenItsRequesterGoes()
{
    ProgramFolderFixture folder;
    SimProcess sim(folder.portPath(1), {"--fault", "silent"});
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    TestPort port(folder.path());
    bool reported = false;
    auto *window = new QObject;
    QVERIFY(
        port.startCycle({read('R')}, {}, window, [&](const CycleResult &) { reported = true; }));
    QVERIFY(port.isOpen());
    delete window;
    QVERIFY(!port.isOpen());
    QVERIFY(!port.isBusy());
    QTest::qWait(50);
    QVERIFY(!reported);
    // The lines may also go first, with a cycle running.
    auto *lines = new SerialLines(ProgramFolder::at(folder.path()));
    SerialPort doomed(*lines);
    QVERIFY(
        doomed.startCycle({read('R')}, {}, nullptr, [&](const CycleResult &) { reported = true; }));
    delete lines;
    QTest::qWait(50);
    QVERIFY(!reported);
}

void TestPortCycle::survivesAFloodWithBoundedReplies()
{
    ProgramFolderFixture folder;
    SimProcess sim(folder.portPath(1), {"--fault", "flood", "--value", "1.000"});
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    TestPort port(folder.path());
    for (int i = 0; i < 3; ++i) {
        const Run run = runCycle(port, {read('R')});
        QVERIFY(run.finished);
        if (run.result.status == CycleStatus::Ok)
            QVERIFY(run.replies.value(0).size() <= Protocol::maxReplyLength);
        QVERIFY(!port.isOpen());
    }
}

void TestPortCycle::reportsOkOnlyOnceTheLineHasSentEverything_data()
{
    QTest::addColumn<int>("baud");
    QTest::newRow("300 baud") << 300;
    QTest::newRow("600 baud") << 600;
}

void TestPortCycle::reportsOkOnlyOnceTheLineHasSentEverything()
{
    QFETCH(int, baud);
    // A Transmission of all fourteen values, on a line whose queue empties at its speed.
    ParameterSet set;
    set.senter = -9999;
    set.upper = 99999;
    set.under = -250;
    Exchanges transmission;
    QByteArray bytes;
    for (const QByteArray &r : Protocol::transmissionRequests(set, true)) {
        transmission << Exchange{r, false};
        bytes += r;
    }
    FakeSerialDevice line;
    line.lineBaud = baud;
    PortCycle cycle;
    QSignalSpy finished(&cycle, &PortCycle::finished);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(cycle.start(&line, "fake", baud, transmission));
    QCOMPARE(finished.size(), 0);
    const qint64 onLine = PortCycle::lineTime(bytes.size(), baud).count();
    QVERIFY(finished.wait(int(onLine + PortCycle::drainMargin.count() + 1000)));
    QCOMPARE(int(finished[0][0].value<CycleResult>().status), int(CycleStatus::Ok));
    QVERIFY2(clock.elapsed() >= onLine - 5, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(line.sent(), bytes);
    QCOMPARE(line.discarded, 0);
    QVERIFY(!line.isOpen());
}

void TestPortCycle::aLineThatStopsSendingFailsWithinItsBound()
{
    FakeSerialDevice line;
    line.lineBaud = 9600;
    line.stalled = true;
    PortCycle cycle;
    QSignalSpy finished(&cycle, &PortCycle::finished);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(cycle.start(&line, "fake", 9600, {{"p500\r", false}, {"h600\r", false}}));
    const qint64 bound = PortCycle::lineTime(10, 9600).count() + PortCycle::drainMargin.count();
    QVERIFY(finished.wait(int(bound + 1000)));
    QVERIFY2(clock.elapsed() < bound + 300, qPrintable(QString::number(clock.elapsed())));
    const auto result = finished[0][0].value<CycleResult>();
    QCOMPARE(int(result.status), int(CycleStatus::OutputDropped));
    QCOMPARE(result.unsent, 10);
    QCOMPARE(line.discarded, 10);
    QVERIFY(!line.isOpen());
}

void TestPortCycle::aPollClosesAsSoonAsItsReplyIsIn()
{
    FakeSerialDevice line;
    line.lineBaud = 300;
    PortCycle cycle;
    QSignalSpy finished(&cycle, &PortCycle::finished);
    QVERIFY(cycle.start(&line, "fake", 300, {read('R')}));
    QTRY_COMPARE(line.outputQueued(), 0); // "R" has left
    line.inject("1.234\r");
    // The reply proves the request went out: nothing is left to wait for.
    QCOMPARE(finished.size(), 1);
    QCOMPARE(int(finished[0][0].value<CycleResult>().status), int(CycleStatus::Ok));
    QVERIFY(!line.isOpen());
}

QTEST_GUILESS_MAIN(TestPortCycle)
#include "tst_portcycle.moc"
