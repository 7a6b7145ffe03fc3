#include "core/Options.h"

#include "core/SmallFile.h"

#include "core/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QTemporaryDir>

#include <cerrno>

#include <array>
#include <optional>

// QSettings reads and writes copies in a scratch folder, never the file itself: its
// process-wide cache of open files would keep the keys of a failed write (handing them to
// the next reader as if saved) and can miss a rewrite of the same size within the file
// system's time resolution. The file itself is read with QFile and replaced with
// QSaveFile, whose failures carry the system's reason.

namespace {

struct Key {
    const char *name;
    bool Options::*flag;
};
constexpr std::array keys{
    Key{"keep_polling", &Options::keepPolling}, Key{"event_file", &Options::eventFile},
    Key{"daily_log", &Options::dailyLog}, Key{"keep_awake", &Options::keepAwake}};

QString keyOf(const Key &key)
{
    return QStringLiteral("options/") + QLatin1String(key.name);
}

QString located(const QString &path, const QString &why)
{
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), why);
}

// The file's bytes (none for a missing file), or nothing with the system's reason.
std::optional<QByteArray> readBytes(const QString &path, QString *why)
{
    if (!QFileInfo::exists(path))
        return QByteArray();
    return SmallFile::read(path, why);
}

bool writeBytes(QFileDevice &out, const QByteArray &bytes)
{
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
}

// "true"/"false" as QSettings writes them, or "1"/"0"; anything else is no boolean.
bool isOn(const QVariant &value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (value.typeId() != QMetaType::QString)
        return false;
    const QString text = value.toString().trimmed().toLower();
    return text == QLatin1String("true") || text == QLatin1String("1");
}

} // namespace

namespace OptionsFile {

QString path(const ProgramFolder &folder)
{
    return folder.dataFile(QLatin1String(fileName));
}

Options load(const QString &path)
{
    QString why;
    const auto bytes = readBytes(path, &why);
    if (!bytes || bytes->isEmpty())
        return {};
    const QTemporaryDir scratch;
    QFile copy(scratch.filePath(QStringLiteral("read.ini")));
    if (!scratch.isValid() || !writeBytes(copy, *bytes))
        return {};
    copy.close();
    const QSettings ini(copy.fileName(), QSettings::IniFormat);
    ini.allKeys(); // parses every group, so that damage anywhere shows in status()
    if (ini.status() != QSettings::NoError)
        return {};
    Options options;
    for (const Key &key : keys)
        options.*key.flag = isOn(ini.value(keyOf(key)));
    return options;
}

bool save(const QString &path, const Options &options, QString *error)
{
    QString why;
    const auto fail = [error](const QString &file, const QString &reason) {
        if (error)
            *error = located(file, reason);
        return false;
    };
    const auto old = readBytes(path, &why);
    if (!old)
        return fail(path, why);

    const QTemporaryDir scratch;
    if (!scratch.isValid())
        return fail(QDir::tempPath(), scratch.errorString());
    QFile before(scratch.filePath(QStringLiteral("before.ini")));
    if (!writeBytes(before, *old))
        return fail(before.fileName(), before.errorString());
    before.close();
    const QString after = scratch.filePath(QStringLiteral("after.ini"));
    {
        // Every key the old file holds, into a fresh file: its status then tells only of
        // this write, not of damage in the old file.
        const QSettings in(before.fileName(), QSettings::IniFormat);
        QSettings out(after, QSettings::IniFormat);
        const QStringList others = in.allKeys();
        for (const QString &key : others)
            out.setValue(key, in.value(key));
        for (const Key &key : keys)
            out.setValue(keyOf(key), options.*key.flag);
        out.sync();
        if (out.status() != QSettings::NoError)
            return fail(after, QStringLiteral("QSettings could not write it"));
    }
    const auto bytes = readBytes(after, &why);
    if (!bytes)
        return fail(after, why);

    // A folder that cannot be made shows in the save's own failure.
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile out(path);
    if (!writeBytes(out, *bytes) || !out.commit())
        return fail(path, out.errorString());
    return true;
}

} // namespace OptionsFile
