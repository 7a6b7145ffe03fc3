#include "serial/PortDiagnosis.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <vector>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace PortDiagnosis {

QStringList ProbeEnvironment::defaultLockDirectories()
{
    return {QStringLiteral("/var/lock"),
            QStringLiteral("/etc/locks"),
            QStringLiteral("/var/spool/locks"),
            QStringLiteral("/var/spool/uucp"),
            QStringLiteral("/tmp"),
            QStringLiteral("/var/tmp"),
            QStringLiteral("/var/lock/lockdev"),
            QStringLiteral("/run/lock"),
            QStandardPaths::writableLocation(QStandardPaths::TempLocation)};
}

PortProblem classify(const PortFacts &facts)
{
    using Cause = PortProblem::Cause;
    PortProblem p;
    p.device = facts.device;
    p.target = facts.target;
    if (!facts.exists) {
        p.cause = facts.usbSerial && facts.brltty ? Cause::Vanished
                  : facts.isLink                  ? Cause::DanglingLink
                                                  : Cause::Missing;
    } else if (!facts.isCharDevice) {
        p.cause = Cause::NotSerial;
    } else if (!facts.mayReadWrite) {
        p.cause = Cause::PermissionDenied;
        // Joining a group the session already has would not help.
        if (!facts.groupInSession) {
            p.group = facts.group;
            p.user = facts.user;
            p.loginPending = !p.group.isEmpty() && facts.groupListed;
        }
    } else if (!facts.lockDirectoryUsable) {
        p.cause = Cause::LockDirectory;
        p.lockDirectory = facts.lockDirectory;
    } else if (facts.holderPid > 0) {
        p.cause = Cause::HeldByProgram;
        p.pid = facts.holderPid;
        p.program = facts.holderProgram;
    }
    return p;
}

#ifdef Q_OS_UNIX

namespace {

QString firstLine(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(f.readLine(256)).trimmed();
}

bool isUsbSerialName(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    return name.startsWith(QLatin1String("ttyUSB")) || name.startsWith(QLatin1String("ttyACM")) ||
           path.contains(QLatin1String("/serial/by-id/usb-"));
}

// Every process but this one, by number.
QList<qint64> otherProcesses(const ProbeEnvironment &env)
{
    QList<qint64> pids;
    for (const QString &entry : QDir(env.procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const qint64 pid = entry.toLongLong();
        if (pid > 0 && pid != ::getpid())
            pids.append(pid);
    }
    return pids;
}

QString processPath(qint64 pid, const ProbeEnvironment &env, QLatin1String entry = {})
{
    return env.procRoot + u'/' + QString::number(pid) + entry;
}

QString processName(qint64 pid, const ProbeEnvironment &env)
{
    return firstLine(processPath(pid, env, QLatin1String("/comm")));
}

bool brlttyPresent(const ProbeEnvironment &env)
{
    const auto exists = [](const QString &file) { return QFileInfo::exists(file); };
    const auto isBrltty = [&](qint64 pid) { return processName(pid, env) == u"brltty"; };
    const QList<qint64> pids = otherProcesses(env);
    return std::any_of(env.brlttyFiles.cbegin(), env.brlttyFiles.cend(), exists) ||
           std::any_of(pids.cbegin(), pids.cend(), isBrltty);
}

QList<uint> sessionGroups()
{
    std::vector<gid_t> groups(std::max(0, ::getgroups(0, nullptr)));
    groups.resize(std::max(0, ::getgroups(int(groups.size()), groups.data())));
    groups.push_back(::getegid());
    return QList<uint>(groups.cbegin(), groups.cend());
}

QList<uint> listedGroups()
{
    const passwd *pw = ::getpwuid(::getuid());
    if (!pw)
        return {};
    int count = 64;
    std::vector<gid_t> groups(count);
    if (::getgrouplist(pw->pw_name, pw->pw_gid, groups.data(), &count) < 0) {
        groups.resize(count); // count now tells how many there are
        if (::getgrouplist(pw->pw_name, pw->pw_gid, groups.data(), &count) < 0)
            return {};
    }
    groups.resize(count);
    return QList<uint>(groups.cbegin(), groups.cend());
}

QString userName()
{
    const passwd *pw = ::getpwuid(::getuid());
    return pw ? QString::fromLocal8Bit(pw->pw_name) : QStringLiteral("$USER");
}

// The name the serial port library gives the lock file of a path.
QString lockFileName(QString path)
{
    if (path.startsWith(QLatin1String("/dev/")))
        path.remove(0, 5);
    return QLatin1String("LCK..") + path.replace(u'/', u'_');
}

// A process with a live lock on the device, under its own name or the link's; 0 if none.
qint64 lockHolder(const QStringList &paths, const ProbeEnvironment &env)
{
    for (const QString &dir : env.lockDirectories) {
        for (const QString &path : paths) {
            // The serial port library writes the pid first; older programs pad it with blanks.
            const qint64 pid = firstLine(dir + u'/' + lockFileName(path)).toLongLong();
            if (pid > 0 && pid != ::getpid() && QFileInfo::exists(processPath(pid, env)))
                return pid;
        }
    }
    return 0;
}

// Another process with `device` open; 0 if none this user may see.
qint64 openHolder(const QString &device, const ProbeEnvironment &env)
{
    for (const qint64 pid : otherProcesses(env)) {
        const QDir fds(processPath(pid, env, QLatin1String("/fd")));
        const QStringList entries =
            fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        for (const QString &fd : entries) {
            if (QFile::symLinkTarget(fds.filePath(fd)) == device)
                return pid;
        }
    }
    return 0;
}

QString groupName(uint gid)
{
    const group *gr = ::getgrgid(gid);
    return gr ? QString::fromLocal8Bit(gr->gr_name) : QString();
}

void gatherGroup(PortFacts &f, const QString &device, const struct stat &st,
                 const ProbeEnvironment &env)
{
    const mode_t groupReadWrite = S_IRGRP | S_IWGRP;
    const DeviceGroup owner =
        env.deviceGroup ? env.deviceGroup(device)
                        : DeviceGroup{st.st_gid, (st.st_mode & groupReadWrite) == groupReadWrite};
    // Nobody should be told to join root's group.
    if (owner.gid == 0 || !owner.mayReadWrite)
        return;
    f.group = env.groupName ? env.groupName(owner.gid) : groupName(owner.gid);
    if (f.group.isEmpty())
        return;
    f.user = userName();
    f.groupListed = (env.listedGroups ? env.listedGroups() : listedGroups()).contains(owner.gid);
    f.groupInSession =
        (env.sessionGroups ? env.sessionGroups() : sessionGroups()).contains(owner.gid);
}

} // namespace

PortFacts gather(const QString &path, const ProbeEnvironment &env)
{
    PortFacts f;
    f.device = path;
    const QFileInfo info(path);
    f.isLink = info.isSymLink();
    if (f.isLink)
        f.target = info.symLinkTarget();
    f.exists = info.exists();
    if (!f.exists) {
        f.usbSerial = isUsbSerialName(f.isLink ? f.target : path);
        f.brltty = f.usbSerial && brlttyPresent(env);
        return f;
    }
    const QString device = info.canonicalFilePath();
    struct stat st {};
    if (::stat(QFile::encodeName(device).constData(), &st) != 0)
        return f;
    f.isCharDevice = S_ISCHR(st.st_mode);
    if (!f.isCharDevice)
        return f;
    f.mayReadWrite = env.mayReadWrite
                         ? env.mayReadWrite(device)
                         : ::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0;
    if (!f.mayReadWrite) {
        gatherGroup(f, device, st, env);
        return f;
    }
    f.lockDirectory = env.lockDirectories.value(0);
    f.lockDirectoryUsable = std::any_of(env.lockDirectories.cbegin(), env.lockDirectories.cend(),
                                        [](const QString &dir) {
                                            const QFileInfo d(dir);
                                            return d.isDir() && d.isReadable() && d.isWritable();
                                        });
    if (!f.lockDirectoryUsable)
        return f;
    f.holderPid = lockHolder({path, device}, env);
    // Only when no lock tells: who else has the device open.
    if (f.holderPid == 0)
        f.holderPid = openHolder(device, env);
    if (f.holderPid > 0)
        f.holderProgram = processName(f.holderPid, env);
    return f;
}

#else

PortFacts gather(const QString &path, const ProbeEnvironment &)
{
    PortFacts f;
    f.device = path;
    return f;
}

#endif

} // namespace PortDiagnosis
