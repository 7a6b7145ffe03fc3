#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// One CSV record of the measurement log: "yyyymmdd","hhmmss","value" CR LF, where value is
// the last reply without its final character (nothing for an empty reply), quotes not
// doubled. Date and time come from the one reading `at`, so a record written across
// midnight cannot pair yesterday's date with today's 000000.
namespace LogRecord {
QByteArray format(const QDateTime &at, const QByteArray &lastReply);
// Opens `path` for appending (creating it), writes `record`, closes. False with a reason
// naming the file when any step fails.
bool append(const QString &path, const QByteArray &record, QString *error);

// The file of one day's records: the date (yyyymmdd) before the name's extension,
// "qsr540.csv" -> "qsr540-20261209.csv"; a name without an extension gets it at the end.
QString dailyPath(const QString &path, const QDate &day);
// The event file beside a log: "qsr540.csv" -> "qsr540.events.csv".
QString eventsPath(const QString &path);
// One event record: "yyyymmdd","hhmmss","event","reason" CR LF. The reason is quoted as
// CSV quotes a field (a quote doubled) and kept on one line.
QByteArray formatEvent(const QDateTime &at, const QByteArray &event, const QString &reason);
} // namespace LogRecord
