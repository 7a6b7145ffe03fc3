#include "core/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

ProgramFolder ProgramFolder::forRunningProgram()
{
    return choose(QCoreApplication::applicationDirPath(),
                  QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

ProgramFolder ProgramFolder::choose(const QString &programFolder, const QString &perUser)
{
    if (QFileInfo(join(programFolder, QString::fromLatin1(portableMarker))).isFile())
        return at(programFolder);
    QDir().mkpath(perUser);
    return {programFolder, perUser};
}
