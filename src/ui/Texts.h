#pragma once

// Every text a window shows, per language, is in that window's table (MainTexts,
// CommTexts, PortsTexts, OptionsTexts, EditorTexts, TrendTexts), exactly as operators and
// their manuals know them, the odd spellings included.

#include <QString>

// Title of every message box the program shows.
inline QString programTitle()
{
    return QStringLiteral("QSRLINK");
}
