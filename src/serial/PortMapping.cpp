#include "serial/PortMapping.h"

#include <QDir>
#include <QFileInfo>

namespace PortMapping {

QString deviceFor(int portNumber, const ProgramFolder &folder)
{
    const QString name = QStringLiteral("COM") + QString::number(portNumber);
    for (const QString &base : {folder.data, folder.install}) {
        const QFileInfo link(base + QStringLiteral("/ports/") + name);
        if (link.exists() || link.isSymLink())
            return QDir::cleanPath(link.absoluteFilePath());
    }
#ifdef Q_OS_WIN
    return name;
#else
    return QStringLiteral("/dev/ttyS") + QString::number(portNumber - 1);
#endif
}

} // namespace PortMapping
