#pragma once

#include <QString>

// Where the program keeps its files.
//  install: the folder that holds the executable; the help page and the ports/ links live there.
//  data:    the settings file and the default log and parameter files. The install folder
//           when it is writable, otherwise the per-user application data folder (a system-wide
//           install), created on demand.
struct ProgramFolder {
    QString install;
    QString data;

    // Computed from the running executable (needs a QCoreApplication).
    static ProgramFolder forRunningProgram();
    // Both roles in one folder, as for a program run from its build folder (and in tests).
    static ProgramFolder at(const QString &folder) { return {folder, folder}; }

    // Folder path directly followed by "/" and name, as the program forms its file names.
    static QString join(const QString &folder, const QString &name) { return folder + u'/' + name; }
    QString dataFile(const QString &name) const { return join(data, name); }
};
