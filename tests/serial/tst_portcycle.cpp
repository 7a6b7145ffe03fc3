#include "FakeSerialPort.h"
#include "SimProcess.h"
#include "serial/PortCycle.h"
#include "serial/QtSerialPort.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(PortCycle::Result)

namespace {

using Exchanges = QList<PortCycle::Exchange>;

PortCycle::Exchange read(char letter)
{
    return {QByteArray(1, letter), true};
}

// Runs one cycle to its end and returns the replies and the result.
struct Run {
    QList<QByteArray> replies;
    PortCycle::Result result;
    bool finished = false;
};

Run runCycle(SerialPort &port, const Exchanges &exchanges, int boundMs = 8000)
{
    Run run;
    PortCycle cycle;
    QObject::connect(&cycle, &PortCycle::finished, [&](const PortCycle::Result &r) {
        run.result = r;
        run.finished = true;
    });
    if (!cycle.start(&port, exchanges, [&](int, const QByteArray &reply, QString *) {
            run.replies << reply;
            return true;
        }))
        return run;
    (void)QTest::qWaitFor([&] { return run.finished; }, boundMs);
    return run;
}

} // namespace

class TestPortCycle : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { qRegisterMetaType<PortCycle::Result>(); }
    void readsRepliesOneAfterAnother_data();
    void readsRepliesOneAfterAnother();
    void timesOutOnASilentOrHalfReplyAndClosesThePort_data();
    void timesOutOnASilentOrHalfReplyAndClosesThePort();
    void aWriteOnlyCycleNeedsNoInstrument();
    void reportsAPortThatCannotBeOpened();
    void stopsAtAReplyTheCallerRefuses();
    void refusesASecondCycleOnTheSamePhysicalPort();
    void destroyingAWaitingCycleClosesThePortQuietly();
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
    QtSerialPort port(ProgramFolder::at(folder.path()));
    QElapsedTimer clock;
    clock.start();
    const Run run = runCycle(port, {{"p-250\r", false}, read('R')}, 40000);
    QVERIFY(run.finished);
    QVERIFY(run.result.status != PortCycle::Status::Ok);
    QVERIFY2(clock.elapsed() < PortCycle::waitBound(9600).count() + 1500,
             qPrintable(QStringLiteral("%1 ms").arg(clock.elapsed())));
    QVERIFY(!port.isOpen());
}

void TestPortCycle::aLineThatDropsWhileWritingEndsTheCycleOnce()
{
    FakeSerialPort port;
    port.lineFailsOnWrite = true;
    PortCycle cycle;
    QSignalSpy finished(&cycle, &PortCycle::finished);
    QVERIFY(cycle.start(&port, {{"p1\r", false}, read('P')}));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(int(finished[0][0].value<PortCycle::Result>().status),
             int(PortCycle::Status::LineFailed));
    QVERIFY(!cycle.isRunning());
    QVERIFY(!PortCycle::isBusy(port));
}

// A port whose bytes arrive only when asked for at the deadline, as when readyRead is queued
// behind the timer.
class LatePort final : public FakeSerialPort {
public:
    using FakeSerialPort::FakeSerialPort;
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
    QVERIFY(cycle.start(&port, {read('P'), read('H')}));
    port.held = "500\r";
    // The first wait ends at its deadline with the reply; the second must get its own bound.
    QTRY_VERIFY_WITH_TIMEOUT(port.written == "PH", 4000);
    QCOMPARE(finished.size(), 0);
    port.inject("600\r");
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(int(finished[0][0].value<PortCycle::Result>().status), int(PortCycle::Status::Ok));
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
    QtSerialPort port(ProgramFolder::at(folder.path()));
    QVERIFY(port.setSettings(simArgs.contains("300") ? "300,N,8,1" : "9600,N,8,1"));
    const Run run = runCycle(port, {read('P'), read('H'), read('M')});
    QVERIFY(run.finished);
    QCOMPARE(int(run.result.status), int(PortCycle::Status::Ok));
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
    QtSerialPort port(ProgramFolder::at(folder.path()));
    QElapsedTimer clock;
    clock.start();
    const Run run = runCycle(port, {read('P'), read('H')});
    QVERIFY(run.finished);
    QCOMPARE(int(run.result.status), int(PortCycle::Status::TimedOut));
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
    QtSerialPort port(ProgramFolder::at(folder.path()));
    const Run run = runCycle(port, {{"p-250\r", false}, {"h600\r", false}, {"m12.0\r", false}});
    QCOMPARE(int(run.result.status), int(PortCycle::Status::Ok));
    QVERIFY(sim.waitForReceived(17));
    QCOMPARE(sim.receivedBytes(), QByteArray("p-250\rh600\rm12.0\r"));
}

void TestPortCycle::reportsAPortThatCannotBeOpened()
{
    ProgramFolderFixture folder;
    QVERIFY(QFile::link(folder.path() + "/gone", folder.portPath(2)));
    QtSerialPort port(ProgramFolder::at(folder.path()));
    QVERIFY(port.setCommPort(2));
    const Run run = runCycle(port, {read('R')});
    QVERIFY(run.finished);
    QCOMPARE(int(run.result.status), int(PortCycle::Status::OpenFailed));
    QVERIFY(run.result.reason.contains(folder.portPath(2)));
    QVERIFY(!PortCycle::isBusy(port)); // the next cycle may try again
}

void TestPortCycle::stopsAtAReplyTheCallerRefuses()
{
    ProgramFolderFixture folder;
    SimProcess sim(folder.portPath(1), {"--fault", "non-number"});
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    QtSerialPort port(ProgramFolder::at(folder.path()));
    PortCycle cycle;
    QSignalSpy finished(&cycle, &PortCycle::finished);
    QVERIFY(cycle.start(&port, {read('P'), read('H')}, [](int, const QByteArray &r, QString *why) {
        *why = QStringLiteral("not a number: ") + QString::fromLatin1(r);
        return false;
    }));
    QVERIFY(finished.wait(5000));
    const auto result = finished[0][0].value<PortCycle::Result>();
    QCOMPARE(int(result.status), int(PortCycle::Status::BadReply));
    QVERIFY(result.reason.startsWith("not a number: ERR"));
    QCOMPARE(sim.receivedBytes(), QByteArray("P"));
    QVERIFY(!port.isOpen());
}

void TestPortCycle::refusesASecondCycleOnTheSamePhysicalPort()
{
    ProgramFolderFixture folder;
    SimProcess sim(folder.portPath(1), {"--delay", "300"});
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    QtSerialPort polling(ProgramFolder::at(folder.path()));
    QtSerialPort editor(ProgramFolder::at(folder.path()));
    PortCycle first, second;
    QSignalSpy done(&first, &PortCycle::finished);
    QVERIFY(first.start(&polling, {read('R')}));
    QVERIFY(first.isRunning());
    QVERIFY(!first.start(&polling, {read('R')}));
    QVERIFY(PortCycle::isBusy(editor));
    QVERIFY(!second.start(&editor, {read('P')}));
    QVERIFY(done.wait(5000));
    QVERIFY(second.start(&editor, {read('P')}));
    QTRY_VERIFY(!second.isRunning());
    QCOMPARE(sim.receivedBytes(), QByteArray("RP"));
}

void TestPortCycle::destroyingAWaitingCycleClosesThePortQuietly()
{
    ProgramFolderFixture folder;
    SimProcess sim(folder.portPath(1), {"--fault", "silent"});
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    QtSerialPort port(ProgramFolder::at(folder.path()));
    {
        PortCycle cycle;
        QVERIFY(cycle.start(&port, {read('R')}));
        QVERIFY(port.isOpen());
    }
    QVERIFY(!port.isOpen());
    QVERIFY(!PortCycle::isBusy(port));
    // The port object may also go first: the cycle must not touch it afterwards.
    auto *doomed = new QtSerialPort(ProgramFolder::at(folder.path()));
    auto *cycle = new PortCycle;
    QVERIFY(cycle->start(doomed, {read('R')}));
    delete doomed;
    QTest::qWait(50);
    delete cycle;
}

void TestPortCycle::survivesAFloodWithBoundedReplies()
{
    ProgramFolderFixture folder;
    SimProcess sim(folder.portPath(1), {"--fault", "flood", "--value", "1.000"});
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    QtSerialPort port(ProgramFolder::at(folder.path()));
    for (int i = 0; i < 3; ++i) {
        const Run run = runCycle(port, {read('R')});
        QVERIFY(run.finished);
        if (run.result.status == PortCycle::Status::Ok)
            QVERIFY(run.replies.value(0).size() <= Protocol::maxReplyLength);
        QVERIFY(!port.isOpen());
    }
}

QTEST_GUILESS_MAIN(TestPortCycle)
#include "tst_portcycle.moc"
