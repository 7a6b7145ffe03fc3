#include "serial/PortMapping.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#ifdef Q_OS_WIN
#include <QSerialPortInfo>
#endif

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <cstdio>
#include <unistd.h>
#endif

namespace PortMapping {
namespace {

QString linkPath(int portNumber, const QString &folder)
{
    return folder + QStringLiteral("/ports/") + portName(portNumber);
}

QString platformPort(int portNumber)
{
#ifdef Q_OS_WIN
    return portName(portNumber);
#else
    return QStringLiteral("/dev/ttyS") + QString::number(portNumber - 1);
#endif
}

bool fail(QString *error, const QString &what)
{
    if (error)
        *error = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

// Refuses to replace or remove anything at `path` but a symbolic link.
bool onlyALink(const QString &path, QString *error)
{
    const QFileInfo existing(path);
    if (existing.isSymLink() || !existing.exists())
        return true;
    if (error)
        *error = QDir::toNativeSeparators(path) + QStringLiteral(" is not a link; left as it is.");
    return false;
}

} // namespace

QString portName(int portNumber)
{
    return QStringLiteral("COM") + QString::number(portNumber);
}

int portNumberOf(const QString &name)
{
    for (int n = 1; n <= 7; ++n) {
        if (name == portName(n))
            return n;
    }
    return 0;
}

QString deviceFor(int portNumber, const ProgramFolder &folder)
{
    for (const QString &base : {folder.data, folder.install}) {
        const QFileInfo link(linkPath(portNumber, base));
        if (link.exists() || link.isSymLink())
            return QDir::cleanPath(link.absoluteFilePath());
    }
    return platformPort(portNumber);
}

Route routeOf(int portNumber, const ProgramFolder &folder)
{
    Route route;
    const QString path = deviceFor(portNumber, folder);
    const QFileInfo info(path);
    if (path == platformPort(portNumber)) {
        route.target = path;
    } else {
        route.link = path;
        route.target = info.isSymLink() ? info.symLinkTarget() : path;
#ifdef Q_OS_UNIX
        // The target as written, not made absolute: what the user or the window chose.
        const QByteArray raw = QFile::encodeName(path);
        char buffer[4096];
        const ssize_t n = ::readlink(raw.constData(), buffer, sizeof buffer - 1);
        if (n > 0)
            route.target = QFile::decodeName(QByteArray(buffer, int(n)));
#endif
    }
#ifdef Q_OS_WIN
    route.present = !QSerialPortInfo(path).isNull(); // COMn is no file
#else
    route.present = info.exists();
#endif
    return route;
}

bool canAssign()
{
#ifdef Q_OS_UNIX
    return true;
#else
    return false;
#endif
}

bool assign(int portNumber, const QString &target, const QString &dataFolder, QString *error)
{
#ifdef Q_OS_UNIX
    const QString link = linkPath(portNumber, dataFolder);
    if (!onlyALink(link, error))
        return false;
    if (!QDir().mkpath(dataFolder + QStringLiteral("/ports")))
        return fail(error, QDir::toNativeSeparators(dataFolder + QStringLiteral("/ports")));
    // Made beside the link under another name, then renamed over it: rename() replaces in
    // one step.
    const QByteArray fresh = QFile::encodeName(link + QStringLiteral(".new"));
    ::unlink(fresh.constData());
    if (::symlink(QFile::encodeName(target).constData(), fresh.constData()) != 0)
        return fail(error, link);
    if (::rename(fresh.constData(), QFile::encodeName(link).constData()) != 0) {
        const int saved = errno;
        ::unlink(fresh.constData());
        errno = saved;
        return fail(error, link);
    }
    return true;
#else
    Q_UNUSED(portNumber);
    Q_UNUSED(target);
    Q_UNUSED(dataFolder);
    if (error)
        *error = QStringLiteral("Port numbers are the system's own here.");
    return false;
#endif
}

bool unassign(int portNumber, const QString &dataFolder, QString *error)
{
    const QString link = linkPath(portNumber, dataFolder);
    if (!onlyALink(link, error))
        return false;
    const QFileInfo existing(link);
    if (!existing.isSymLink())
        return true;
#ifdef Q_OS_UNIX
    if (::unlink(QFile::encodeName(link).constData()) != 0)
        return fail(error, link);
    return true;
#else
    return QFile::remove(link) || fail(error, link);
#endif
}

} // namespace PortMapping
