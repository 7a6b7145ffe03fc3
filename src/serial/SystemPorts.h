#pragma once

#include "core/ProgramFolder.h"

#include <QHash>
#include <QList>
#include <QString>

#include <functional>

// A serial device this computer offers, as the Ports window lists it.
struct PortDevice {
    QString path;        // the device (/dev/ttyUSB0, COM3), or a link in ports/
    QString byId;        // its stable name under /dev/serial/by-id, when it has one
    QString description; // as the system or its driver names it
    QString manufacturer;
    QString usbId; // "vvvv:pppp" in hexadecimal, for a USB device
    QString serialNumber;
    bool simulator = false; // a link in ports/ that leads to the bundled simulator

    // What a port number should lead to: the stable name when there is one, so that an
    // adapter plugged into another socket keeps its port number.
    QString linkTarget() const { return byId.isEmpty() ? path : byId; }
};

// The system's serial devices and the device links in the data folder, read when asked and
// never on a timer.
namespace SystemPorts {

using Source = std::function<QList<PortDevice>()>;

// What the system lists (QSerialPortInfo), each with its stable name from `byIdFolder`.
QList<PortDevice> systemDevices(const QString &byIdFolder = QStringLiteral("/dev/serial/by-id"));
// The links in <data>/ports/ that are not a port number's (ports/qsr540-sim, say) and lead to
// a character device: a simulator started with --link into that folder shows up here.
QList<PortDevice> folderDevices(const ProgramFolder &folder);
// The stable names in `byIdFolder` by the device each leads to.
QHash<QString, QString> stableNames(const QString &byIdFolder);

} // namespace SystemPorts
