// Port numbers assigned to devices by links in the data folder, and the devices offered for
// them: a link replaced in one step, never anything but a link touched, a failure that
// changes nothing, and the simulator's link listed as a device.
#include "serial/PortMapping.h"
#include "serial/SystemPorts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class TestPortAssignment : public QObject {
    Q_OBJECT
private slots:
    void assignReplacesAndRemovesLinks();
    void failureChangesNothing();
    void routeShowsWhatAPortLeadsTo();
    void folderLinksAreOfferedAsDevices();
};

void TestPortAssignment::assignReplacesAndRemovesLinks()
{
    QTemporaryDir data;
    const ProgramFolder folder = ProgramFolder::at(data.path());
    const QString link = data.filePath(QStringLiteral("ports/COM2"));
    QString error;

    // The ports/ folder is made on demand.
    QVERIFY2(PortMapping::assign(2, QStringLiteral("/dev/serial/by-id/usb-A"), data.path(), &error),
             qPrintable(error));
    QCOMPARE(QFileInfo(link).symLinkTarget(), QStringLiteral("/dev/serial/by-id/usb-A"));
    QCOMPARE(PortMapping::deviceFor(2, folder), link);

    // Replaced, not added to: one link, no helper file left behind.
    QVERIFY(PortMapping::assign(2, QStringLiteral("/dev/null"), data.path(), &error));
    QCOMPARE(QFileInfo(link).symLinkTarget(), QStringLiteral("/dev/null"));
    QCOMPARE(QDir(data.filePath(QStringLiteral("ports"))).entryList(QDir::System | QDir::Files),
             QStringList{QStringLiteral("COM2")});

    QVERIFY(PortMapping::unassign(2, data.path(), &error));
    QVERIFY(!QFileInfo(link).isSymLink());
    QCOMPARE(PortMapping::deviceFor(2, folder), QStringLiteral("/dev/ttyS1"));
    QVERIFY(PortMapping::unassign(2, data.path(), &error)); // nothing there: nothing to do
}

void TestPortAssignment::failureChangesNothing()
{
    QTemporaryDir data;
    QString error;
    // A ports/COM3 that is a file of the user's own is neither replaced nor removed.
    QVERIFY(QDir().mkpath(data.filePath(QStringLiteral("ports"))));
    const QString file = data.filePath(QStringLiteral("ports/COM3"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write("mine") == 4);
    f.close();
    QVERIFY(!PortMapping::assign(3, QStringLiteral("/dev/null"), data.path(), &error));
    QVERIFY(error.contains(QStringLiteral("COM3")));
    QVERIFY(!PortMapping::unassign(3, data.path(), &error));
    QVERIFY(QFileInfo(file).isFile() && !QFileInfo(file).isSymLink());

    // A data folder where no ports/ folder can be made (root ignores file modes; a file in
    // its way stops everyone): the reason, and no link anywhere.
    const QString blocked = data.filePath(QStringLiteral("blocked"));
    QVERIFY(QFile(blocked).open(QIODevice::WriteOnly));
    error.clear();
    QVERIFY(!PortMapping::assign(1, QStringLiteral("/dev/null"), blocked, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(QFileInfo(blocked).isFile());
}

void TestPortAssignment::routeShowsWhatAPortLeadsTo()
{
    QTemporaryDir data;
    const ProgramFolder folder = ProgramFolder::at(data.path());
    QVERIFY(QDir().mkpath(data.filePath(QStringLiteral("ports"))));

    PortMapping::Route route = PortMapping::routeOf(5, folder);
    QVERIFY(route.link.isEmpty());
    QCOMPARE(route.target, QStringLiteral("/dev/ttyS4"));
    QCOMPARE(route.present, QFileInfo::exists(QStringLiteral("/dev/ttyS4")));

    // The target as written, even when it leads nowhere.
    QVERIFY(QFile::link(QStringLiteral("/dev/serial/by-id/usb-gone"),
                        data.filePath(QStringLiteral("ports/COM5"))));
    route = PortMapping::routeOf(5, folder);
    QCOMPARE(route.link, data.filePath(QStringLiteral("ports/COM5")));
    QCOMPARE(route.target, QStringLiteral("/dev/serial/by-id/usb-gone"));
    QVERIFY(!route.present);

    QVERIFY(PortMapping::assign(5, QStringLiteral("/dev/null"), data.path(), nullptr));
    route = PortMapping::routeOf(5, folder);
    QCOMPARE(route.target, QStringLiteral("/dev/null"));
    QVERIFY(route.present);
}

void TestPortAssignment::folderLinksAreOfferedAsDevices()
{
    QTemporaryDir data;
    const QString ports = data.filePath(QStringLiteral("ports"));
    QVERIFY(QDir().mkpath(ports));
    QFile plain(data.filePath(QStringLiteral("plain")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    // Only links to a character device that are no port number's own.
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), ports + QStringLiteral("/qsr540-sim")));
    QVERIFY(QFile::link(QStringLiteral("/dev/zero"), ports + QStringLiteral("/bench-adapter")));
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), ports + QStringLiteral("/COM1")));
    QVERIFY(QFile::link(plain.fileName(), ports + QStringLiteral("/notes")));
    QVERIFY(QFile::link(QStringLiteral("/dev/nothing-here"), ports + QStringLiteral("/gone")));

    const QList<PortDevice> devices = SystemPorts::folderDevices(ProgramFolder::at(data.path()));
    QCOMPARE(devices.size(), 2);
    QCOMPARE(devices[0].path, ports + QStringLiteral("/bench-adapter"));
    QVERIFY(!devices[0].simulator);
    QCOMPARE(devices[1].path, ports + QStringLiteral("/qsr540-sim"));
    QVERIFY(devices[1].simulator);
    QCOMPARE(devices[1].linkTarget(), devices[1].path);

    // Stable names by the device they lead to; a device with one is assigned by it.
    const QString byId = data.filePath(QStringLiteral("by-id"));
    QVERIFY(QDir().mkpath(byId));
    QVERIFY(
        QFile::link(QStringLiteral("/dev/null"), byId + QStringLiteral("/usb-FTDI_A1-if00-port0")));
    const auto names = SystemPorts::stableNames(byId);
    QCOMPARE(names.value(QStringLiteral("/dev/null")),
             byId + QStringLiteral("/usb-FTDI_A1-if00-port0"));
    PortDevice adapter;
    adapter.path = QStringLiteral("/dev/ttyUSB0");
    adapter.byId = names.value(QStringLiteral("/dev/null"));
    QCOMPARE(adapter.linkTarget(), adapter.byId);
}

QTEST_GUILESS_MAIN(TestPortAssignment)
#include "tst_portassignment.moc"
