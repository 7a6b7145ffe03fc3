#include "core/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

ProgramFolder ProgramFolder::forRunningProgram()
{
    ProgramFolder f;
    f.install = QCoreApplication::applicationDirPath();
    f.data = f.install;
    if (!QFileInfo(f.install).isWritable()) {
        const QString perUser = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        if (!perUser.isEmpty() && QDir().mkpath(perUser))
            f.data = perUser;
    }
    return f;
}
