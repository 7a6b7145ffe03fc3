#pragma once

#include "core/Language.h"

#include <QString>

// The Main window's texts, per language, and what it reports in message boxes; the Parameter
// editor and the Ports window report failed exchanges with the same texts.
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
    QString attachedTo;         // %1: the logger whose readings the window shows
    QString loggerEnded;        // %1: that logger, which has ended; the window polls again
    QString optionsNotSaved;    // a failed write of the options file
    QString outputDropped;      // %1: bytes that never left for the instrument
    // A refused reply, one text a Protocol::ReplyFault: %1 the letter it answered, %2 the reply.
    QString replyUnasked, replyUnknownLetter, replyCutOff, replyEmpty, replyNotNumber,
        replyTooLarge, replyOutOfRange32, replyOutOfRange16, replyNotModeDigits, replyDoesNotFit;
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

const MainTexts &mainTexts(Language language);
