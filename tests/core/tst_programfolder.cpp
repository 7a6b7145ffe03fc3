// Which folder the program writes to: beside itself only in a portable program folder (the
// build's bin/ among them), otherwise the per-user folder, even where the program folder is
// writable, as an installed one is for root.
#include "core/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class TestProgramFolder : public QObject {
    Q_OBJECT
private slots:
    void portableFolderKeepsItsFiles_data();
    void portableFolderKeepsItsFiles();
    void otherFoldersUseThePerUserFolder_data();
    void otherFoldersUseThePerUserFolder();
    void buildFolderIsPortable();
};

void TestProgramFolder::portableFolderKeepsItsFiles_data()
{
    QTest::addColumn<bool>("writable");
    QTest::newRow("writable") << true;
    QTest::newRow("read-only") << false; // then writing the settings is reported, as before
}

void TestProgramFolder::portableFolderKeepsItsFiles()
{
    QFETCH(bool, writable);
    QTemporaryDir tmp;
    const QString program = tmp.filePath(QStringLiteral("program"));
    QVERIFY(QDir().mkpath(program));
    QFile marker(ProgramFolder::join(program, QString::fromLatin1(ProgramFolder::portableMarker)));
    QVERIFY(marker.open(QIODevice::WriteOnly));
    marker.close();
    if (!writable)
        QVERIFY(QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const QString perUser = tmp.filePath(QStringLiteral("home/.local/share/qsrlink"));
    const ProgramFolder f = ProgramFolder::choose(program, perUser);
    QFile::setPermissions(program,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(f.install, program);
    QCOMPARE(f.data, program);
    QVERIFY(!QFileInfo::exists(perUser));
}

void TestProgramFolder::otherFoldersUseThePerUserFolder_data()
{
    QTest::addColumn<bool>("writable");
    QTest::addColumn<QString>("marker"); // a file beside the program that is not the marker
    QTest::newRow("installed, read-only") << false << QString();
    QTest::newRow("installed, writable (root)") << true << QString();
    QTest::newRow("marker is a folder") << true << QStringLiteral("portable/");
    QTest::newRow("other name") << true << QStringLiteral("portable.txt");
}

void TestProgramFolder::otherFoldersUseThePerUserFolder()
{
    QFETCH(bool, writable);
    QFETCH(QString, marker);
    QTemporaryDir tmp;
    const QString program = tmp.filePath(QStringLiteral("usr/libexec/qsrlink"));
    QVERIFY(QDir().mkpath(program));
    if (marker.endsWith(u'/'))
        QVERIFY(QDir(program).mkdir(marker));
    else if (!marker.isEmpty())
        QVERIFY(QFile(ProgramFolder::join(program, marker)).open(QIODevice::WriteOnly));
    if (!writable)
        QVERIFY(QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const QString perUser = tmp.filePath(QStringLiteral("home/.local/share/qsrlink"));
    const ProgramFolder f = ProgramFolder::choose(program, perUser);
    QCOMPARE(f.install, program);
    QCOMPARE(f.data, perUser);
    QVERIFY2(QFileInfo(perUser).isDir(), "the per-user folder is created");
    QCOMPARE(f.dataFile(QStringLiteral("540comm.st")), perUser + QStringLiteral("/540comm.st"));
}

void TestProgramFolder::buildFolderIsPortable()
{
    const QString bin = QStringLiteral(QSRLINK_PROGRAM_DIR);
    QTemporaryDir tmp;
    const ProgramFolder f = ProgramFolder::choose(bin, tmp.filePath(QStringLiteral("perUser")));
    QCOMPARE(f.data, bin);
}

QTEST_GUILESS_MAIN(TestProgramFolder)
#include "tst_programfolder.moc"
