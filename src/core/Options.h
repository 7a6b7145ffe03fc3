#pragma once

#include <QString>

struct ProgramFolder;

// What the operator lets the program do on its own, for unattended running (Edit >
// Options). Every option is off unless chosen.
struct Options {
    bool keepPolling = false; // keep polling through communication errors
    bool eventFile = false;   // write <log>.events.csv (only meaningful with keepPolling)
    bool dailyLog = false;    // a new log file each day
    bool keepAwake = false;   // keep the computer awake while logging

    bool operator==(const Options &) const = default;
};

// The options' file, "qsrlink.ini" in the data folder: an INI file (QSettings' format) whose
// [options] group holds one key per option, "true" or "false":
//   [options]
//   daily_log=false
//   event_file=false
//   keep_awake=false
//   keep_polling=true
// Other groups in the same file (alarm limits, for instance) belong to other features;
// saving keeps them. The settings file 540comm.st is another file and is never touched.
namespace OptionsFile {

inline constexpr char fileName[] = "qsrlink.ini";

QString path(const ProgramFolder &folder);

// The options in the file. A missing or empty file, one that cannot be read, one QSettings
// finds damaged anywhere (a line that is neither a key nor a group, a group without its
// closing bracket, binary garbage) or one larger than any real options file gives every
// option off; a value that is not a boolean ("true"/"false" or "1"/"0", any case) turns
// that option off.
Options load(const QString &path);

// Writes the four options' keys, keeping every other key and group the file holds (those
// of a damaged file that QSettings can read; its comments and unreadable lines are
// dropped, as QSettings drops them). The folder is created when missing. The file is
// replaced in one step: on failure (false) the old file stays as it was and error (if
// given) holds the path and the system's reason.
bool save(const QString &path, const Options &options, QString *error);

} // namespace OptionsFile
