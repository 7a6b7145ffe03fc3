#pragma once

#include "core/ParameterSet.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

// How the logger writes a reading outside the CSV log: on its standard output and on the
// broker. Times are ISO 8601 local time with milliseconds and the offset from UTC
// ("2026-12-09T14:03:07.250+01:00"), so a reader anywhere can place them.
namespace ReadingFormat {

QByteArray isoTime(const QDateTime &at);
// `text` as a JSON string, quotes included; control characters escaped.
QByteArray jsonString(const QString &text);
// "<time> <reply without its line end>" and a line feed.
QByteArray line(const QDateTime &at, const QByteArray &reply);
// {"time":"…","value":12.345,"raw":"12.345\r"}; value is null for a reply that is not a
// number. The reply is read in the local 8-bit code page, as the log file holds it.
QByteArray readingJson(const QDateTime &at, const QByteArray &reply);
// {"time":"…","event":"lost","reason":"no reply"}
QByteArray eventJson(const QDateTime &at, const QByteArray &event, const QString &reason);
// {"time":"…","senter":1250,"upper":1300,…,"ziko":0}: the 15 parameters, by the names the
// settings and parameter files give them, in their order.
QByteArray parametersJson(const QDateTime &at, const ParameterSet &parameters);

} // namespace ReadingFormat
