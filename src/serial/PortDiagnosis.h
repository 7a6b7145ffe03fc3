#pragma once

#include "serial/PortProblem.h"

#include <QList>
#include <QStringList>

#include <functional>

// Looks at the system after a port failed to open, to tell the operator what to do. Never
// called for a good open: reading the process table is not free.
namespace PortDiagnosis {

// What the system shows about a path. The defaults are a device with nothing wrong.
struct PortFacts {
    QString device{}; // the path opened
    bool exists = true;
    bool isLink = false;
    QString target{}; // where a link leads
    bool isCharDevice = true;
    bool usbSerial = false; // a missing device with a USB serial adapter's name
    bool brltty = false;    // the braille service is installed or running
    bool mayReadWrite = true;
    QString group{}; // the device's group, when it grants read and write
    QString user{};
    bool groupListed = false;    // the user database puts the user in `group`
    bool groupInSession = false; // this process has `group`
    bool lockDirectoryUsable = true;
    QString lockDirectory{}; // the first one tried
    qint64 holderPid = 0;    // another process with a live lock on the device or it open
    QString holderProgram{};
};

// The group that owns a device, and whether it may read and write the device.
struct DeviceGroup {
    uint gid = 0;
    bool mayReadWrite = false;
};

// Where gather() looks; tests replace parts to act out what they cannot produce.
struct ProbeEnvironment {
    // The serial port library's lock directories, in its order.
    QStringList lockDirectories = defaultLockDirectories();
    QString procRoot = QStringLiteral("/proc");
    // Any of these existing means the braille service is installed.
    QStringList brlttyFiles = {QStringLiteral("/usr/bin/brltty"), QStringLiteral("/bin/brltty"),
                               QStringLiteral("/usr/lib/udev/rules.d/85-brltty.rules"),
                               QStringLiteral("/lib/udev/rules.d/85-brltty.rules")};
    // Whether this process may read and write a device; access(2) when empty.
    std::function<bool(const QString &device)> mayReadWrite;
    // The groups the user database gives the user, and those this process has; the
    // system's when empty.
    std::function<QList<uint>()> listedGroups, sessionGroups;
    // A device's group (only root may give a device another one) and a group's name; the
    // system's when empty.
    std::function<DeviceGroup(const QString &device)> deviceGroup;
    std::function<QString(uint gid)> groupName;

    static QStringList defaultLockDirectories();
};

PortProblem classify(const PortFacts &facts);
PortFacts gather(const QString &path, const ProbeEnvironment &env = {});
inline PortProblem diagnose(const QString &path, const ProbeEnvironment &env = {})
{
    return classify(gather(path, env));
}

} // namespace PortDiagnosis
