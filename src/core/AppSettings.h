#pragma once

#include "core/ParameterSet.h"

#include <QString>

// The program's persisted state, in settings-file order. One record for the whole program;
// every window of the current language reads and changes it in place.
struct AppSettings {
    ParameterSet params;
    qint16 port = 0;    // 0-based port index; the serial port number is port + 1
    qint32 baud = 9600; // line speed in baud
    QString fom1file;   // CSV log file
    QString fom2file;   // parameter file last opened (recorded, never read back)
    QString lang;       // "e", "j" or empty

    friend bool operator==(const AppSettings &, const AppSettings &) = default;
};
