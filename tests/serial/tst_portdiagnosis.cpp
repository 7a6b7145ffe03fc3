#include "SimProcess.h"
#include "serial/PortDiagnosis.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace PortDiagnosis;
using Cause = PortProblem::Cause;
Q_DECLARE_METATYPE(PortFacts)
Q_DECLARE_METATYPE(DeviceGroup)

class TestPortDiagnosis : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void classifiesTheFirstFaultThatStopsAnOpen_data();
    void classifiesTheFirstFaultThatStopsAnOpen();
    void tellsWhatThePathIs();
    void namesTheProgramThatHoldsTheDevice_data();
    void namesTheProgramThatHoldsTheDevice();
    void namesTheGroupTheUserLacks_data();
    void namesTheGroupTheUserLacks();
};

void TestPortDiagnosis::classifiesTheFirstFaultThatStopsAnOpen_data()
{
    QTest::addColumn<PortFacts>("facts");
    QTest::addColumn<Cause>("cause");
    QTest::addColumn<QString>("group");
    QTest::addColumn<bool>("loginPending");
    const QString dialout = QStringLiteral("dialout");
    QTest::newRow("nothing found") << PortFacts{} << Cause::Unknown << QString() << false;
    QTest::newRow("missing") << PortFacts{.exists = false} << Cause::Missing << QString() << false;
    QTest::newRow("dangling link")
        << PortFacts{.exists = false, .isLink = true} << Cause::DanglingLink << QString() << false;
    QTest::newRow("USB adapter missing, no braille service")
        << PortFacts{.exists = false, .usbSerial = true} << Cause::Missing << QString() << false;
    QTest::newRow("USB adapter taken by the braille service")
        << PortFacts{.exists = false, .isLink = true, .usbSerial = true, .brltty = true}
        << Cause::Vanished << QString() << false;
    QTest::newRow("regular file") << PortFacts{.isCharDevice = false} << Cause::NotSerial
                                  << QString() << false;
    QTest::newRow("not in the group") << PortFacts{.mayReadWrite = false, .group = dialout}
                                      << Cause::PermissionDenied << dialout << false;
    QTest::newRow("added, session older")
        << PortFacts{.mayReadWrite = false, .group = dialout, .groupListed = true}
        << Cause::PermissionDenied << dialout << true;
    QTest::newRow("group already in the session: joining it does not help")
        << PortFacts{.mayReadWrite = false,
                     .group = dialout,
                     .groupListed = true,
                     .groupInSession = true}
        << Cause::PermissionDenied << QString() << false;
    QTest::newRow("no lock directory, before a holder")
        << PortFacts{.lockDirectoryUsable = false, .holderPid = 42} << Cause::LockDirectory
        << QString() << false;
    QTest::newRow("held") << PortFacts{.holderPid = 42} << Cause::HeldByProgram << QString()
                          << false;
}

void TestPortDiagnosis::classifiesTheFirstFaultThatStopsAnOpen()
{
    QFETCH(PortFacts, facts);
    QFETCH(Cause, cause);
    QFETCH(QString, group);
    QFETCH(bool, loginPending);
    const PortProblem p = classify(facts);
    QCOMPARE(p.cause, cause);
    QCOMPARE(p.group, group);
    QCOMPARE(p.loginPending, loginPending);
}

void TestPortDiagnosis::tellsWhatThePathIs()
{
    QTemporaryDir dir;
    const QString notes = dir.filePath("notes.txt"), gone = dir.filePath("gone");
    QVERIFY(QFile(notes).open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(gone, dir.filePath("dangling")));
    QVERIFY(QFile::link("/dev/serial/by-id/usb-test-if00-port0", dir.filePath("usb")));
    ProbeEnvironment noBraille;
    noBraille.brlttyFiles = {};
    noBraille.procRoot = dir.filePath("no-processes");

    QCOMPARE(diagnose(gone, noBraille).cause, Cause::Missing);
    const PortProblem dangling = diagnose(dir.filePath("dangling"), noBraille);
    QCOMPARE(dangling.cause, Cause::DanglingLink);
    QCOMPARE(dangling.target, gone);
    QCOMPARE(diagnose(dir.filePath("usb"), noBraille).cause, Cause::DanglingLink);
    ProbeEnvironment braille = noBraille;
    braille.brlttyFiles = {notes};
    QCOMPARE(diagnose(dir.filePath("usb"), braille).cause, Cause::Vanished);
    QCOMPARE(diagnose(notes).cause, Cause::NotSerial);

    ProbeEnvironment noLocks;
    noLocks.lockDirectories = {dir.filePath("locks")};
    const PortProblem unlocked = diagnose(QStringLiteral("/dev/null"), noLocks);
    QCOMPARE(unlocked.cause, Cause::LockDirectory);
    QCOMPARE(unlocked.lockDirectory, dir.filePath("locks"));
}

void TestPortDiagnosis::namesTheProgramThatHoldsTheDevice_data()
{
    QTest::addColumn<bool>("holdTheLink");
    QTest::newRow("lock named after the link") << true;
    QTest::newRow("lock named after the device") << false;
}

void TestPortDiagnosis::namesTheProgramThatHoldsTheDevice()
{
    QFETCH(bool, holdTheLink);
    QTemporaryDir dir;
    SimProcess sim(dir.filePath("COM1"));
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    QProcess holder;
    holder.start(QStringLiteral(QSR_HOLD_PORT_PATH),
                 {holdTheLink ? sim.linkPath() : sim.terminalPath()});
    QVERIFY(holder.waitForReadyRead(5000));
    QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));
    const PortProblem held = diagnose(sim.linkPath());
    QCOMPARE(held.cause, Cause::HeldByProgram);
    QCOMPARE(held.pid, holder.processId());
    QCOMPARE(held.program, QStringLiteral("hold_port"));
    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(5000));

    // No lock tells, or only our own: whoever has the device open is named, never us.
    ProbeEnvironment ownLock;
    ownLock.lockDirectories = {dir.path()};
    QFile lock(dir.filePath("LCK.." + sim.terminalPath().mid(5).replace('/', '_')));
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(qint64(::getpid())) + "\n");
    lock.close();
    const PortProblem open = diagnose(sim.linkPath(), ownLock);
    QCOMPARE(open.pid, sim.processId());
    QCOMPARE(open.program, QStringLiteral("qsr540-sim"));
}

void TestPortDiagnosis::namesTheGroupTheUserLacks_data()
{
    QTest::addColumn<DeviceGroup>("owner");
    QTest::addColumn<QList<uint>>("listed");
    QTest::addColumn<QList<uint>>("session");
    QTest::addColumn<QString>("group");
    QTest::addColumn<bool>("loginPending");
    // Group 20 is dialout, 21 has no name, 0 is root's.
    const QList<uint> none, dialout{20}, others{4, 24};
    const QString hint = QStringLiteral("dialout");
    QTest::newRow("not in the group") << DeviceGroup{20, true} << others << others << hint << false;
    QTest::newRow("added, session older")
        << DeviceGroup{20, true} << dialout << none << hint << true;
    QTest::newRow("in the session already")
        << DeviceGroup{20, true} << dialout << dialout << QString() << false;
    QTest::newRow("group may not read (a terminal's)")
        << DeviceGroup{20, false} << none << none << QString() << false;
    QTest::newRow("root's group") << DeviceGroup{0, true} << none << none << QString() << false;
    QTest::newRow("group without a name")
        << DeviceGroup{21, true} << none << none << QString() << false;
}

void TestPortDiagnosis::namesTheGroupTheUserLacks()
{
    QFETCH(DeviceGroup, owner);
    QFETCH(QList<uint>, listed);
    QFETCH(QList<uint>, session);
    QFETCH(QString, group);
    QFETCH(bool, loginPending);
    // A link to a character device this user may not open, whose group the test chooses.
    QTemporaryDir dir;
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), dir.filePath("COM1")));
    ProbeEnvironment env;
    env.mayReadWrite = [](const QString &) { return false; };
    QStringList asked;
    env.deviceGroup = [&](const QString &device) {
        asked.append(device);
        return owner;
    };
    env.groupName = [](uint gid) {
        return gid == 20  ? QStringLiteral("dialout")
               : gid == 0 ? QStringLiteral("root")
                          : QString();
    };
    env.listedGroups = [&] { return listed; };
    env.sessionGroups = [&] { return session; };
    const PortProblem p = diagnose(dir.filePath("COM1"), env);
    QCOMPARE(asked, QStringList{"/dev/null"});
    QCOMPARE(p.cause, Cause::PermissionDenied);
    QCOMPARE(p.group, group);
    QCOMPARE(p.user.isEmpty(), group.isEmpty());
    QCOMPARE(p.loginPending, loginPending);
}

QTEST_GUILESS_MAIN(TestPortDiagnosis)
#include "tst_portdiagnosis.moc"
