#include "SimProcess.h"
#include "serial/PortMapping.h"
#include "serial/QtSerialDevice.h"
#include "serial/SerialLines.h"
#include "serial/SerialPort.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Reads from `port` (event loop running) until `count` bytes have arrived or time runs out.
QByteArray receive(SerialDevice &port, qsizetype count, int boundMs = 3000)
{
    QByteArray got;
    (void)QTest::qWaitFor(
        [&] {
            got += port.readAll();
            return got.size() >= count;
        },
        boundMs);
    return got;
}

} // namespace

class TestSerialPort : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void acceptsOnlyPorts1To7_data();
    void acceptsOnlyPorts1To7();
    void acceptsOnlyTheSevenSpeedsWithN81_data();
    void acceptsOnlyTheSevenSpeedsWithN81();
    void mapsPortNumbersToLinksOrSerialDevices();
    void exchangesBytesWithTheInstrument();
    void opensAndClosesAHundredTimesInARow();
    void aDeviceReportsItsUnsentOutput();
    void oneOwnerPerPhysicalLine();
    void reportsAPortThatCannotBeOpened();
    void reportsOnceWhenTheInstrumentVanishes();
};

void TestSerialPort::acceptsOnlyPorts1To7_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("accepted");
    for (int n : {1, 4, 7})
        QTest::addRow("%d", n) << n << true;
    for (int n : {0, 8, -1, 32768})
        QTest::addRow("%d", n) << n << false;
}

void TestSerialPort::acceptsOnlyPorts1To7()
{
    QFETCH(int, number);
    QFETCH(bool, accepted);
    SerialLines lines(ProgramFolder::at(QStringLiteral("/nonexistent")));
    SerialPort port(lines);
    QVERIFY(port.setCommPort(3));
    QCOMPARE(port.setCommPort(number), accepted);
    QCOMPARE(port.commPort(), accepted ? number : 3); // a refused value changes nothing
}

void TestSerialPort::acceptsOnlyTheSevenSpeedsWithN81_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<bool>("accepted");
    for (const char *s : {"300,N,8,1", "600,N,8,1", "1200,N,8,1", "2400,N,8,1", "4800,N,8,1",
                          "9600,N,8,1", "19200,N,8,1"})
        QTest::newRow(s) << s << true;
    for (const char *s : {"0,N,8,1", "38400,N,8,1", "9600,E,8,1", "9600,N,7,1", "9600", "",
                          "9600,n,8,1", " 9600,N,8,1"})
        QTest::newRow(s) << s << false;
}

void TestSerialPort::acceptsOnlyTheSevenSpeedsWithN81()
{
    QFETCH(QString, settings);
    QFETCH(bool, accepted);
    SerialLines lines(ProgramFolder::at(QStringLiteral("/nonexistent")));
    SerialPort port(lines);
    QVERIFY(port.setSettings(QStringLiteral("300,N,8,1")));
    QCOMPARE(port.setSettings(settings), accepted);
    QCOMPARE(port.settings(), accepted ? settings : QStringLiteral("300,N,8,1"));
}

void TestSerialPort::mapsPortNumbersToLinksOrSerialDevices()
{
    ProgramFolderFixture folder;
    QVERIFY(folder.isValid());
    const ProgramFolder pf = ProgramFolder::at(folder.path());
    QCOMPARE(PortMapping::deviceFor(1, pf), QStringLiteral("/dev/ttyS0"));
    QCOMPARE(PortMapping::deviceFor(7, pf), QStringLiteral("/dev/ttyS6"));
    // A dangling link still names the port, so its error is what the operator sees.
    QVERIFY(QFile::link(QStringLiteral("/nonexistent/ttyUSB0"), folder.portPath(2)));
    QCOMPARE(PortMapping::deviceFor(2, pf), folder.portPath(2));
}

void TestSerialPort::exchangesBytesWithTheInstrument()
{
    ProgramFolderFixture folder;
    SimProcess sim(folder.portPath(1), {QStringLiteral("--params"),
                                        QStringLiteral("-250,600,-50,3,4,7,2,0,1,2,0,1,0,0,0")});
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    QtSerialDevice port;
    QVERIFY2(port.open(folder.portPath(1), 19200), qPrintable(port.errorString()));
    QCOMPARE(port.inBufferCount(), 0);
    QSignalSpy ready(&port, &SerialDevice::readyRead);
    QVERIFY(port.write("P"));
    QCOMPARE(receive(port, 5), QByteArray("-250\r"));
    QVERIFY(ready.size() >= 1);
    QVERIFY(port.write("h1234\r"));
    QVERIFY(port.write("H"));
    QCOMPARE(receive(port, 5), QByteArray("1234\r"));
    QVERIFY(port.write("M"));
    QCOMPARE(receive(port, 3), QByteArray("47\r"));
    port.close();
    QVERIFY(!port.isOpen());
    QCOMPARE(sim.receivedBytes(), QByteArray("Ph1234\rHM"));
}

void TestSerialPort::opensAndClosesAHundredTimesInARow()
{
    ProgramFolderFixture folder;
    SimProcess sim(folder.portPath(1), {QStringLiteral("--value"), QStringLiteral("5.000")});
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    QtSerialDevice port;
    for (int i = 0; i < 100; ++i) {
        QVERIFY2(port.open(folder.portPath(1), 9600),
                 qPrintable(QStringLiteral("round %1: %2").arg(i).arg(port.errorString())));
        QVERIFY(port.write("R"));
        QCOMPARE(receive(port, 6), QByteArray("5.000\r"));
        port.close();
    }
    QCOMPARE(sim.receivedBytes(), QByteArray(100, 'R'));
}

void TestSerialPort::aDeviceReportsItsUnsentOutput()
{
    ProgramFolderFixture folder;
    SimProcess sim(folder.portPath(1));
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    QtSerialDevice port;
    QCOMPARE(port.outputQueued(), 0); // closed: nothing owed
    QVERIFY(port.open(folder.portPath(1), 2400));
    QVERIFY(port.write("p-1000\r"));
    // The driver answers how much it still holds; a pseudo-terminal passes it on at once.
    QTRY_COMPARE(port.outputQueued(), 0);
    QVERIFY(sim.waitForReceived(7));
    port.close();
}

void TestSerialPort::oneOwnerPerPhysicalLine()
{
    ProgramFolderFixture folder;
    SimProcess sim(folder.portPath(3));
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    QVERIFY(QFile::link(folder.portPath(3), folder.portPath(4))); // COM4 leads to COM3's device
    SerialLines lines(ProgramFolder::at(folder.path()));
    SerialPort polling(lines), editor(lines);
    QVERIFY(polling.setCommPort(3));
    QVERIFY(editor.setCommPort(4));
    QCOMPARE(&polling.line(), &editor.line());
    QVERIFY(&lines.lineFor(5) != &polling.line());
    QVERIFY(polling.startCycle({{"R", true}}, {}, nullptr, {}));
    QVERIFY(editor.isBusy());
    QVERIFY(!editor.startCycle({{"P", true}}, {}, nullptr, {}));
    QTRY_VERIFY_WITH_TIMEOUT(!editor.isBusy(), 5000);
    QCOMPARE(sim.receivedBytes(), QByteArray("R"));
}

void TestSerialPort::reportsAPortThatCannotBeOpened()
{
    ProgramFolderFixture folder;
    QVERIFY(QFile::link(folder.path() + "/missing-device", folder.portPath(5)));
    QtSerialDevice port;
    QVERIFY(!port.open(folder.portPath(5), 9600));
    QVERIFY(!port.isOpen());
    QVERIFY2(port.errorString().contains(folder.portPath(5)), qPrintable(port.errorString()));
    QVERIFY(!port.write("R"));
    port.close(); // harmless on a closed port
}

void TestSerialPort::reportsOnceWhenTheInstrumentVanishes()
{
    // The other end hangs up while we wait for our output to leave.
    const int other = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(other >= 0 && ::grantpt(other) == 0 && ::unlockpt(other) == 0);
    QtSerialDevice port;
    QVERIFY2(port.open(QString::fromLocal8Bit(::ptsname(other)), 9600),
             qPrintable(port.errorString()));
    QSignalSpy failed(&port, &SerialDevice::lineFailed);
    QVERIFY(port.write("R"));
    char got = 0;
    QTRY_VERIFY(got == 'R' || (::read(other, &got, 1) == 1 && got == 'R'));
    ::close(other);
    QCOMPARE(port.outputQueued(), -1); // the system cannot tell any more
    // Qt reports the dead line again and again until it is closed: one report, closed.
    QTRY_COMPARE(failed.size(), 1);
    QTest::qWait(50);
    QCOMPARE(failed.size(), 1);
    QVERIFY(!port.isOpen());
    const QString reason = failed[0][0].toString();
    QVERIFY2(reason.endsWith(": the line hung up"), qPrintable(reason));
    QCOMPARE(port.errorString(), reason);
}

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
