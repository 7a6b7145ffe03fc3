#pragma once

#include <QString>

// Where the program keeps its files.
//  install: the folder that holds the executable; the help page lives there.
//  data:    the settings file, the default log and parameter files and the ports/ links.
//
// A program folder that holds a file named "portable" (the build writes one into its bin/)
// is also the data folder, as the program has always kept its files beside itself. Any
// other program folder, an installed one above all, is never written to, whoever runs the
// program (root included, for whom a system folder is writable): the data folder is then
// the per-user application data folder, created on demand.
struct ProgramFolder {
    QString install;
    QString data;

    // The marker file that makes a program folder its own data folder.
    static constexpr const char *portableMarker = "portable";

    // Computed from the running executable (needs a QCoreApplication).
    static ProgramFolder forRunningProgram();
    // The choice for a program folder, with perUser as the data folder of an installed
    // program. perUser is created when it is chosen; when that fails it stays the data
    // folder all the same, and writing the settings there is reported as it fails.
    static ProgramFolder choose(const QString &programFolder, const QString &perUser);
    // Both roles in one folder, as for a program run from its build folder (and in tests).
    static ProgramFolder at(const QString &folder) { return {folder, folder}; }

    // Folder path directly followed by "/" and name, as the program forms its file names.
    static QString join(const QString &folder, const QString &name) { return folder + u'/' + name; }
    QString dataFile(const QString &name) const { return join(data, name); }
};
