#include "serial/SystemPorts.h"

#include "serial/PortMapping.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSerialPortInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace SystemPorts {
namespace {

bool isCharacterDevice(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISCHR(st.st_mode);
#else
    return QFileInfo::exists(path);
#endif
}

QString hex4(quint16 n)
{
    return QStringLiteral("%1").arg(n, 4, 16, QLatin1Char('0'));
}

} // namespace

QHash<QString, QString> stableNames(const QString &byIdFolder)
{
    QHash<QString, QString> names;
    const QDir dir(byIdFolder);
    for (const QFileInfo &link :
         dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString device = link.canonicalFilePath();
        if (!device.isEmpty() && !names.contains(device))
            names.insert(device, link.absoluteFilePath());
    }
    return names;
}

QList<PortDevice> systemDevices(const QString &byIdFolder)
{
    const QHash<QString, QString> byId = stableNames(byIdFolder);
    QList<PortDevice> devices;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        PortDevice d;
        d.path = info.systemLocation();
        d.byId = byId.value(QFileInfo(d.path).canonicalFilePath());
        d.description = info.description();
        d.manufacturer = info.manufacturer();
        if (info.hasVendorIdentifier() && info.hasProductIdentifier())
            d.usbId = hex4(info.vendorIdentifier()) + u':' + hex4(info.productIdentifier());
        d.serialNumber = info.serialNumber();
        devices << d;
    }
    return devices;
}

QList<PortDevice> folderDevices(const ProgramFolder &folder)
{
    QList<PortDevice> devices;
    const QDir dir(folder.data + QStringLiteral("/ports"));
    for (const QFileInfo &entry :
         dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name)) {
        if (!entry.isSymLink() || PortMapping::portNumberOf(entry.fileName()) != 0 ||
            !isCharacterDevice(entry.absoluteFilePath()))
            continue;
        PortDevice d;
        d.path = entry.absoluteFilePath();
        d.simulator = entry.fileName().startsWith(QLatin1String("qsr540-sim"));
        d.description = entry.symLinkTarget();
        devices << d;
    }
    return devices;
}

} // namespace SystemPorts
