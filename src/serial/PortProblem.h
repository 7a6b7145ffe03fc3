#pragma once

#include <QString>

// Why a port could not be opened, as far as the system tells, with what the operator needs
// to put it right. Cause::Unknown leaves the system's own reason to speak.
struct PortProblem {
    enum class Cause {
        Unknown,
        Missing,          // nothing at the path
        DanglingLink,     // a link whose target does not exist
        NotSerial,        // something other than a character device
        PermissionDenied, // the user may not read and write the device
        LockDirectory,    // no lock directory can be written
        HeldByProgram,    // another process has the device
        Vanished,         // a USB serial adapter gone, with the braille service about
    };
    Cause cause = Cause::Unknown;
    QString device;            // the path opened
    QString target;            // where a link leads
    QString group;             // PermissionDenied: the device's group, when joining it helps
    QString user;              // PermissionDenied: this user's name
    bool loginPending = false; // the user is in `group`, but this session is not yet
    qint64 pid = 0;            // HeldByProgram
    QString program;           // HeldByProgram, when the system tells
    QString lockDirectory;     // LockDirectory: the first one the serial port library tries
};
