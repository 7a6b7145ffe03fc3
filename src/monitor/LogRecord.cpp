#include "monitor/LogRecord.h"

#include <QFile>
#include <QFileInfo>

namespace LogRecord {

namespace {

// "yyyymmdd","hhmmss"," of one clock reading.
QByteArray stamp(const QDateTime &at)
{
    return '"' + at.toString(QStringLiteral("yyyyMMdd")).toLatin1() + "\",\"" +
           at.toString(QStringLiteral("HHmmss")).toLatin1() + "\",\"";
}

// The name without its extension, and the extension with its dot (empty when none).
std::pair<QString, QString> splitExtension(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.isEmpty())
        return {path, QString()};
    return {path.chopped(suffix.size() + 1), path.right(suffix.size() + 1)};
}

// Whether the file's last byte (at `size` - 1) ends a line; a file that cannot be read is
// taken as ending one.
bool endsLine(const QString &path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(size - 1))
        return true;
    char last = '\n';
    return !file.getChar(&last) || last == '\n';
}

} // namespace

QByteArray format(const QDateTime &at, const QByteArray &lastReply)
{
    QByteArray r = stamp(at);
    r += lastReply.chopped(lastReply.isEmpty() ? 0 : 1);
    r += "\"\r\n";
    return r;
}

QString dailyPath(const QString &path, const QDate &day)
{
    const auto [name, extension] = splitExtension(path);
    return name + u'-' + day.toString(QStringLiteral("yyyyMMdd")) + extension;
}

QString eventsPath(const QString &path)
{
    return splitExtension(path).first + QStringLiteral(".events.csv");
}

QByteArray formatEvent(const QDateTime &at, const QByteArray &event, const QString &reason)
{
    QString text = reason;
    text.replace(u'"', QStringLiteral("\"\"")).replace(u'\r', u' ').replace(u'\n', u' ');
    return stamp(at) + event + "\",\"" + text.toUtf8() + "\"\r\n";
}

bool append(const QString &path, const QByteArray &record, QString *error, const Write &write)
{
    QFile file(path);
    const auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    };
    // Unbuffered: the record goes to the system in one write, not in buffer-sized pieces.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return fail(file.errorString());
    const qint64 before = file.size();
    QByteArray bytes = record;
    if (before > 0 && !endsLine(path, before))
        bytes.prepend("\r\n");
    const auto writeOnce = [&](const QByteArray &b) {
        return write ? write(file, b) : file.write(b);
    };
    qint64 written = writeOnce(bytes);
    if (written >= 0 && written < bytes.size()) {
        // A short write leaves the reason untold: the system tells it when nothing more
        // goes out, so the rest is asked for once.
        const qint64 more = writeOnce(bytes.mid(written));
        written = more < 0 ? written : written + more;
    }
    if (written == bytes.size())
        return true;
    QString why = file.errorString();
    if (file.error() == QFileDevice::NoError || why.isEmpty())
        why = QStringLiteral("only %1 of %2 bytes written")
                  .arg(std::max<qint64>(written, 0))
                  .arg(bytes.size());
    if (written > 0 && !file.resize(before))
        why += QStringLiteral("; the part written could not be removed: ") + file.errorString();
    return fail(why);
}

} // namespace LogRecord
