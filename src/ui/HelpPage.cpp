#include "ui/HelpPage.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

namespace HelpPage {

QString path(const ProgramFolder &folder)
{
    const QString name = QStringLiteral("qsr540_comm.htmL");
    const QDir dir(folder.install);
    for (const QString &entry : dir.entryList(QDir::Files))
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    return ProgramFolder::join(folder.install, name);
}

void open(const ProgramFolder &folder)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path(folder)));
}

} // namespace HelpPage
