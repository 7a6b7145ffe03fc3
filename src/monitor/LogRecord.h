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
} // namespace LogRecord
