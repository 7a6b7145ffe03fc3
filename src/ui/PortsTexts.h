#pragma once

#include "core/Language.h"

#include <QString>

// The Ports window's texts, per language: port numbers, the system's serial devices,
// assigning and testing.
struct PortsTexts {
    QString caption, portList, deviceList;
    QString portColumn, routeColumn;
    QString deviceColumn, descriptionColumn, manufacturerColumn, usbColumn, serialColumn,
        stableColumn;
    QString byDefault;      // %1: the platform's port a port number leads to by default
    QString notPresent;     // nothing there
    QString linkNotPresent; // %1: what a link names, which is not there
    QString throughLogger;  // %1 what the port leads to, %2 the logger that shares it
    QString simulator, folderLink, noDevices, systemNames;
    QString assign, remove, test, refresh, close;
    QString chooseBoth, choosePort;
    QString assigned; // %1 port, %2 what it leads to now
    QString removed;  // %1 port, %2 what it leads to now
    QString notAssigned, busy;
    QString testing;  // %1 port, %2 speed
    QString answered; // %1 port, %2 the reply
    QString noAnswer; // %1 port, %2 seconds
};

const PortsTexts &portsTexts(Language language);
