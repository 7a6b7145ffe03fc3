#pragma once

#include "core/Language.h"

#include <QString>

// The Options window's texts, per language: what the program may do on its own for
// unattended running.
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
