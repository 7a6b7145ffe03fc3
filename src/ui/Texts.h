#pragma once

#include "core/Language.h"
#include "serial/Exchange.h"
#include "serial/Protocol.h"

#include <QString>

#include <array>

// Every text a window shows, per language, exactly as operators and their manuals know
// them (the odd spellings included). Texts that stay English in the Japanese windows are
// the same in both tables.

struct MainTexts {
    QString startComm, stopComm, startSave, stopSave;
    QString nowLoading, nowSaving, saveFilePrefix;
    QString commInterval, saveInterval, sec;
    QString menuFile, menuSaveAs, menuEnd;
    QString menuEdit, menuCommSet, menuLanguage, menuPorts, menuOptions;
    QString menuComm, menuSelect;
    QString menuView, menuTrend;
    QString menuHelp, menuGotoHelp, menuVer;
    QString communicationError;
    QString settingsNotWritten; // a failed write of the settings file
    QString logNotWritten;      // a failed write of the CSV log
    QString logHeld;            // another program writes the CSV log
    QString logHeldBy;          // %1 the log file, %2 the program, %3 its process number
    QString noReplySince;       // %1: HH:MM:SS of the first failed poll (keep polling)
    QString optionsNotSaved;    // a failed write of the options file
    QString outputDropped;      // %1: bytes that never left for the instrument
    // A refused reply, by Protocol::ReplyFault: %1 the letter it answered, %2 the reply.
    std::array<QString, size_t(Protocol::ReplyFault::DoesNotFit) + 1> replyFaults;
    // The program cannot start: %1 the settings file.
    QString startNotWritten, startNotRead;
    // Why a port did not open and what to do, by PortProblem::Cause; %1 the device.
    QString portMissing, portNotSerial, portForbidden;
    QString portDangling;      // %2 the link's target
    QString portVanished;      // %1 the missing device
    QString portGroup;         // %2 the device's group, %3 the user
    QString portLogin;         // %2 the group the session lacks
    QString portLockDirectory; // %2 the lock directory
    QString portHeld;          // %2 the program, %3 its process number
    QString portHeldProcess;   // %2 the process number
};

struct CommTexts {
    QString caption, port, baudRate, otherConditions, ok, cancel;
};

const MainTexts &mainTexts(Language language);

// The informative text under "communication error!" for a failed port cycle: nothing for a
// time-out, the program's own reason in the window's language, what to do about a port
// that did not open when the cause is known, or else the system's reason as it gives it.
QString failureDetail(const MainTexts &texts, const CycleResult &result);
// Why a reply was refused, in the window's language.
QString replyFaultText(const MainTexts &texts, const Protocol::ApplyResult &result);
const CommTexts &commTexts(Language language);

// Title of every message box the program shows.
inline QString programTitle()
{
    return QStringLiteral("QSRLINK");
}

// The Ports window: port numbers, the system's serial devices, assigning and testing.
struct PortsTexts {
    QString caption, portList, deviceList;
    QString portColumn, routeColumn;
    QString deviceColumn, descriptionColumn, manufacturerColumn, usbColumn, serialColumn,
        stableColumn;
    QString byDefault;      // %1: the platform's port a port number leads to by default
    QString notPresent;     // nothing there
    QString linkNotPresent; // %1: what a link names, which is not there
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

// The Options window: what the program may do on its own for unattended running.
struct OptionsTexts {
    QString caption;
    // Each option's check box and the line under it that says what it does.
    QString keepPolling, keepPollingNote;
    QString eventFile, eventFileNote;
    QString dailyLog, dailyLogNote;
    QString keepAwake, keepAwakeNote;
    QString keepAwakeRefused; // %1: why the system did not keep the computer awake
    QString ok, cancel;
};
const OptionsTexts &optionsTexts(Language language);
