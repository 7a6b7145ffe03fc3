#pragma once

#include <QString>
#include <QStringList>

// Where the program keeps its files.
//  install: the folder that holds the executable; the help page lives there.
//  data:    the settings file, the default log and parameter files and the ports/ links.
//
// A program run from where the install rules put it (the package's folder or that of the
// prefix the build was configured with) keeps its data in the per-user application data
// folder, created on demand, whoever runs it (root included, for whom a system folder is
// writable). Run from anywhere else, the build folder or a folder it was copied into, the
// program keeps its files beside itself, as it always has. A file named "portable" beside
// the program makes an installed program keep them beside itself too.
struct ProgramFolder {
    QString install;
    QString data;

    // The marker file that makes a program folder its own data folder wherever it is.
    static constexpr const char *portableMarker = "portable";

    // Computed from the running executable (needs a QCoreApplication).
    static ProgramFolder forRunningProgram();
    // Where the install rules put the program: under the configured prefix and under the
    // package's prefix. Absolute, not resolved: they need not exist.
    static QStringList installedFolders();
    // The choice for a program folder, with perUser as the data folder when the program
    // folder is one of `installed` (links resolved on both sides). perUser is created when
    // it is chosen; when that fails it stays the data folder all the same, and writing the
    // settings there is reported as it fails.
    static ProgramFolder choose(const QString &programFolder, const QString &perUser,
                                const QStringList &installed);
    // Both roles in one folder, as for a program run from its build folder (and in tests).
    static ProgramFolder at(const QString &folder) { return {folder, folder}; }

    // Folder path directly followed by "/" and name, as the program forms its file names.
    static QString join(const QString &folder, const QString &name) { return folder + u'/' + name; }
    QString dataFile(const QString &name) const { return join(data, name); }
};
