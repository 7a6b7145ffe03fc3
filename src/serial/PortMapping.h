#pragma once

#include "core/ProgramFolder.h"

#include <QString>

// Serial port number n (COM1..COM7) to the device that is opened: the link or device
// <folder>/ports/COMn when it exists (data folder first, then the install folder; a dangling
// link still counts, so its error is reported instead of silently using another port),
// otherwise the platform's n-th port: /dev/ttyS<n-1> on Linux, COMn on Windows.
namespace PortMapping {

QString deviceFor(int portNumber, const ProgramFolder &folder);
// "COMn" for port number n.
QString portName(int portNumber);
// 1..7 for "COM1".."COM7", 0 for any other name.
int portNumberOf(const QString &name);

// Where a port number leads now, as the Ports window shows it.
struct Route {
    QString link;         // the ports/COMn link in use; empty when the platform's port is used
    QString target;       // what that link names, as written; the platform's port otherwise
    bool present = false; // the target exists (a device, or a link that leads to one)
};
Route routeOf(int portNumber, const ProgramFolder &folder);

// Whether port numbers can be assigned here: on Windows, COMn is the system's own name.
bool canAssign();
// Makes <data>/ports/COMn a symbolic link to `target`, replacing an earlier link in one
// step, so that a port being opened meanwhile finds either the old or the new link. A
// ports/COMn that is not a link is left alone. False, with the reason, and nothing
// changed, when that cannot be done (a data folder that is not writable, say).
bool assign(int portNumber, const QString &target, const QString &dataFolder, QString *error);
// Removes the <data>/ports/COMn link; the port number then leads to the install folder's
// link or the platform's port. Removing what is not there succeeds.
bool unassign(int portNumber, const QString &dataFolder, QString *error);

} // namespace PortMapping
