#pragma once

#include "core/AppSettings.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// The settings file "540comm.st" in the program folder: three CR LF lines, in the local
// 8-bit code page.
//   1. the seventeen numbers (parameters, port, baud), plain decimal, comma-separated;
//   2. fom1file, a comma, spaces up to the next 14-column print zone, fom2file;
//   3. lang.
// A file written by the Japanese window's recovery has only the first two lines.

// Full: all three lines (English window). Short: the first two; lang stays as it is in
// memory (Japanese window).
enum class SettingsRead { Full, Short };

namespace SettingsFile {

inline constexpr char fileName[] = "540comm.st";

// Defaults for a program folder (no trailing separator): the two default file names in that
// folder, 9600 baud, everything else zero or empty.
AppSettings defaults(const QString &programFolder);

// The bytes of a full write.
QByteArray format(const AppSettings &settings);

// The bytes the recovery writes: three lines for a Full read, two for a Short one.
QByteArray defaultBytes(const QString &programFolder, SettingsRead kind);

// A record from the file's bytes, or nothing when the data ends before every field of
// this kind of read is there or a number does not fit its field. A field that is not a
// number reads as 0. why (optional) gets the reason of a failure.
std::optional<AppSettings> parse(const QByteArray &bytes, SettingsRead kind,
                                 const QString &currentLang, QString *why = nullptr);

} // namespace SettingsFile

// Reads and writes the settings file of one program folder. Writes are atomic: the old
// file stays whole until the new one is complete.
class SettingsStore {
public:
    struct LoadResult {
        bool ok = false;         // settings hold the file's record
        bool recovered = false;  // the file was replaced by the defaults on the way
        bool unwritable = false; // when !ok: the defaults could not be written (else read)
        QString error;           // when !ok: the file and the reason, as the system gives it
    };
    // Applies a parsed record (serial port number and line settings); false = rejected.
    using Apply = std::function<bool(const AppSettings &)>;

    explicit SettingsStore(QString programFolder);

    QString path() const;

    // Full write. On failure the old file is left as it was and error names the file and
    // the system's reason.
    bool save(const AppSettings &settings, QString *error) const;

    // The guarded reading sequence: read, parse, apply. On any failure the defaults are
    // written and the sequence runs once more; a second failure ends with ok false.
    // settings is assigned only when ok; for a Short read its lang is kept.
    LoadResult load(SettingsRead kind, AppSettings &settings, const Apply &apply) const;

private:
    std::optional<AppSettings> readOnce(SettingsRead kind, const QString &currentLang,
                                        const Apply &apply, QString *why) const;
    bool write(const QByteArray &bytes, QString *error) const;

    QString m_folder;
};
