#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>

class QFile;

// One CSV record of the measurement log: "yyyymmdd","hhmmss","value" CR LF, where value is
// the last reply without its final character (nothing for an empty reply), quotes not
// doubled. Date and time come from the one reading `at`, so a record written across
// midnight cannot pair yesterday's date with today's 000000.
namespace LogRecord {
QByteArray format(const QDateTime &at, const QByteArray &lastReply);
// How bytes reach an open file: one write, returning how many went out (-1: none), as
// QFile::write does. Replaceable in tests, where a disk fills up after so many bytes.
using Write = std::function<qint64(QFile &file, const QByteArray &bytes)>;

// Appends `record` to `path` (created when missing) in one write and closes the file. A
// record is whole or absent: after a short or failed write the file is cut back to its
// length before, and false is returned with the file and the system's reason
// ("/data/qsr540.csv: No space left on device") in `error`. A file that ends in the middle of a
// line (a power loss) gets a line break first, so the record starts on a line of its own.
bool append(const QString &path, const QByteArray &record, QString *error, const Write &write = {});

// The file of one day's records: the date (yyyymmdd) before the name's extension,
// "qsr540.csv" -> "qsr540-20261209.csv"; a name without an extension gets it at the end.
QString dailyPath(const QString &path, const QDate &day);
// The event file beside a log: "qsr540.csv" -> "qsr540.events.csv".
QString eventsPath(const QString &path);
// One event record: "yyyymmdd","hhmmss","event","reason" CR LF. The reason is quoted as
// CSV quotes a field (a quote doubled) and kept on one line.
QByteArray formatEvent(const QDateTime &at, const QByteArray &event, const QString &reason);
} // namespace LogRecord
