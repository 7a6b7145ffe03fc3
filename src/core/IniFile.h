#pragma once

#include <QString>
#include <QVariantMap>

#include <optional>

// The program's own preferences file, qsrlink.ini, read and written through QSettings' INI
// format. Several features keep their keys in it ("options/keep_polling", "trend/high_limit");
// each writes its own and keeps the others'.
//
// QSettings reads and writes copies in a scratch folder, never the file itself: its
// process-wide cache of open files would keep the keys of a failed write (handing them to
// the next reader as if saved) and can miss a rewrite of the same size within the file
// system's time resolution. The file itself is read with QFile and replaced with
// QSaveFile, whose failures carry the system's reason.
namespace IniFile {

// Every key of the file ("group/key" -> value). Empty for a missing or empty file; nothing
// for one that cannot be read, one QSettings finds damaged anywhere (a line that is neither
// a key nor a group, a group without its closing bracket, binary garbage) or one larger
// than any real preferences file. Readers treat nothing as "every choice off".
std::optional<QVariantMap> read(const QString &path);

// Writes `values`, keeping every other key and group the file holds (those of a damaged
// file that QSettings can read; its comments and unreadable lines are dropped, as QSettings
// drops them). The folder is created when missing. The file is replaced in one step: on
// failure (false) the old file stays as it was and error (if given) holds the path and the
// system's reason.
bool write(const QString &path, const QVariantMap &values, QString *error);

} // namespace IniFile
