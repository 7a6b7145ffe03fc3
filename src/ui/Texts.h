#pragma once

// Every text a window shows, per language, exactly as operators and their manuals know
// them (the odd spellings included), one table a window. Texts that stay English in the
// Japanese windows are the same in both tables. A file that needs one window's texts
// includes that window's header.
#include "ui/CommTexts.h"
#include "ui/FailureTexts.h"
#include "ui/MainTexts.h"
#include "ui/OptionsTexts.h"
#include "ui/PortsTexts.h"

#include <QString>

// Title of every message box the program shows.
inline QString programTitle()
{
    return QStringLiteral("QSRLINK");
}
