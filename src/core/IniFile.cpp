#include "core/IniFile.h"

#include "core/SmallFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QTemporaryDir>

namespace {

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

} // namespace

namespace IniFile {

std::optional<QVariantMap> read(const QString &path)
{
    QString why;
    const auto bytes = readBytes(path, &why);
    if (!bytes)
        return std::nullopt;
    if (bytes->isEmpty())
        return QVariantMap();
    const QTemporaryDir scratch;
    QFile copy(scratch.filePath(QStringLiteral("read.ini")));
    if (!scratch.isValid() || !writeBytes(copy, *bytes))
        return std::nullopt;
    copy.close();
    const QSettings ini(copy.fileName(), QSettings::IniFormat);
    const QStringList keys = ini.allKeys(); // parses every group: damage anywhere shows
    if (ini.status() != QSettings::NoError)
        return std::nullopt;
    QVariantMap values;
    for (const QString &key : keys)
        values.insert(key, ini.value(key));
    return values;
}

bool write(const QString &path, const QVariantMap &values, QString *error)
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
        for (auto it = values.begin(); it != values.end(); ++it)
            out.setValue(it.key(), it.value());
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

} // namespace IniFile
