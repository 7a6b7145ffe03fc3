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

bool append(const QString &path, const QByteArray &record, QString *error)
{
    QFile file(path);
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Append);
    ok = ok && file.write(record) == record.size();
    ok = ok && file.flush();
    if (!ok && error)
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
    file.close();
    return ok;
}

} // namespace LogRecord
