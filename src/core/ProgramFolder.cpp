#include "core/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

ProgramFolder ProgramFolder::forRunningProgram()
{
    return choose(QCoreApplication::applicationDirPath(),
                  QStandardPaths::writableLocation(QStandardPaths::AppDataLocation),
                  installedFolders());
}

QStringList ProgramFolder::installedFolders()
{
    // The package is built from the same binaries as `cmake --install`, but installs them
    // under its own prefix: a program cannot tell which of the two put it there.
    const QString programDir = QStringLiteral(QSRLINK_INSTALL_PROGRAM_DIR);
    QStringList folders;
    for (const char *prefix : {QSRLINK_INSTALL_PREFIX, QSRLINK_PACKAGE_PREFIX})
        folders.append(QDir::cleanPath(QDir(QFile::decodeName(prefix)).filePath(programDir)));
    folders.removeDuplicates();
    return folders;
}

ProgramFolder ProgramFolder::choose(const QString &programFolder, const QString &perUser,
                                    const QStringList &installed)
{
    if (QFileInfo(join(programFolder, QString::fromLatin1(portableMarker))).isFile())
        return at(programFolder);
    // By identity, not by name: /usr/local may be a link, and so may any folder above a copy.
    const QString self = QFileInfo(programFolder).canonicalFilePath();
    const bool isInstalled =
        !self.isEmpty() && std::any_of(installed.cbegin(), installed.cend(), [&](const QString &f) {
            return QFileInfo(f).canonicalFilePath() == self;
        });
    if (!isInstalled)
        return at(programFolder);
    QDir().mkpath(perUser);
    return {programFolder, perUser};
}
