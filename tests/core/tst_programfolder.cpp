// Which folder the program writes to: the per-user folder only when it runs from where the
// install rules put it, whoever runs it; beside itself anywhere else (its build folder, a
// folder it was copied into), as it always has.
#include "core/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class TestProgramFolder : public QObject {
    Q_OBJECT
private slots:
    void choosesByWhereTheProgramRuns_data();
    void choosesByWhereTheProgramRuns();
    void buildFolderKeepsItsFiles();
    void packageFolderIsAnInstalledOne();
};

void TestProgramFolder::choosesByWhereTheProgramRuns_data()
{
    // Paths below a temporary folder that holds prefix/libexec/qsrlink and a link
    // linked-prefix -> prefix.
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<bool>("writable"); // an installed folder is, for root
    QTest::addColumn<bool>("marker");
    QTest::addColumn<bool>("perUser");
    const QString installed = QStringLiteral("prefix/libexec/qsrlink");
    const QStringList configured{installed};
    QTest::newRow("build folder") << "build/bin" << configured << true << false << false;
    QTest::newRow("copied folder") << "stick/qsrlink" << configured << true << false << false;
    QTest::newRow("copied folder, read-only")
        << "cd/qsrlink" << configured << false << false << false;
    QTest::newRow("copied beside the installed one")
        << "prefix/libexec/qsrlink-old" << configured << true << false << false;
    QTest::newRow("copied into the installed one")
        << "prefix/libexec/qsrlink/old" << configured << true << false << false;
    QTest::newRow("copied into the prefix")
        << "prefix/libexec" << configured << true << false << false;
    QTest::newRow("installed, as a user") << installed << configured << false << false << true;
    QTest::newRow("installed, as root") << installed << configured << true << false << true;
    QTest::newRow("installed, the second of the places")
        << installed << QStringList{"elsewhere/libexec/qsrlink", installed} << true << false
        << true;
    QTest::newRow("installed, reached through a link")
        << "linked-prefix/libexec/qsrlink" << configured << true << false << true;
    QTest::newRow("installed under a linked prefix")
        << installed << QStringList{"linked-prefix/libexec/qsrlink"} << true << false << true;
    QTest::newRow("installed, marked portable") << installed << configured << true << true << false;
}

void TestProgramFolder::choosesByWhereTheProgramRuns()
{
    QFETCH(QString, program);
    QFETCH(QStringList, installed);
    QFETCH(bool, writable);
    QFETCH(bool, marker);
    QFETCH(bool, perUser);
    QTemporaryDir tmp;
    QVERIFY(QDir(tmp.path()).mkpath(QStringLiteral("prefix/libexec/qsrlink")));
    QVERIFY(QFile::link(tmp.filePath(QStringLiteral("prefix")), tmp.filePath("linked-prefix")));
    const QString programFolder = tmp.filePath(program);
    QVERIFY(QDir().mkpath(programFolder));
    if (marker) {
        QFile file(
            ProgramFolder::join(programFolder, QString::fromLatin1(ProgramFolder::portableMarker)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    if (!writable)
        QVERIFY(
            QFile::setPermissions(programFolder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    for (QString &folder : installed)
        folder = tmp.filePath(folder);
    const QString home = tmp.filePath(QStringLiteral("home/.local/share/qsrlink"));

    const ProgramFolder f = ProgramFolder::choose(programFolder, home, installed);
    QFile::setPermissions(programFolder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(f.install, programFolder);
    QCOMPARE(f.data, perUser ? home : programFolder);
    QVERIFY2(QFileInfo(home).isDir() == perUser, "the per-user folder is created when chosen");
    QCOMPARE(f.dataFile(QStringLiteral("540comm.st")), f.data + QStringLiteral("/540comm.st"));
}

void TestProgramFolder::buildFolderKeepsItsFiles()
{
    const QString bin = QStringLiteral(QSRLINK_PROGRAM_DIR);
    QTemporaryDir tmp;
    const QString home = tmp.filePath(QStringLiteral("perUser"));
    const ProgramFolder f = ProgramFolder::choose(bin, home, ProgramFolder::installedFolders());
    QCOMPARE(f.data, bin);
    QVERIFY(!QFileInfo::exists(home));
}

void TestProgramFolder::packageFolderIsAnInstalledOne()
{
    // The package installs the programs there, whatever prefix the build was configured with.
    QVERIFY2(ProgramFolder::installedFolders().contains(QStringLiteral("/usr/libexec/qsrlink")),
             qPrintable(ProgramFolder::installedFolders().join(u' ')));
}

QTEST_GUILESS_MAIN(TestProgramFolder)
#include "tst_programfolder.moc"
