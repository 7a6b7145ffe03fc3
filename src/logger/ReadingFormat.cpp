#include "logger/ReadingFormat.h"

#include "core/Numbers.h"

#include <charconv>

namespace ReadingFormat {

QByteArray jsonString(const QString &text)
{
    QByteArray out = "\"";
    for (const char c : text.toUtf8()) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u == 0x7f) {
            out += "\\u00" + QByteArray::number(u, 16).rightJustified(2, '0');
        } else {
            out += c;
        }
    }
    return out + '"';
}

namespace {

QByteArray jsonNumber(double value)
{
    // The shortest text that reads back as the same number: 12.345, not 12.3450000000001.
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return QByteArray(buffer, end - buffer);
}

} // namespace

QByteArray isoTime(const QDateTime &at)
{
    // Always "+hh:mm", also for UTC, which Qt would write as "Z".
    const int offset = at.offsetFromUtc();
    const int minutes = qAbs(offset) / 60;
    return at.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")).toLatin1() +
           (offset < 0 ? '-' : '+') + QByteArray::number(minutes / 60).rightJustified(2, '0') +
           ':' + QByteArray::number(minutes % 60).rightJustified(2, '0');
}

QByteArray line(const QDateTime &at, const QByteArray &reply)
{
    QByteArray value = reply;
    while (value.endsWith('\r') || value.endsWith('\n'))
        value.chop(1);
    return isoTime(at) + ' ' + value + '\n';
}

QByteArray readingJson(const QDateTime &at, const QByteArray &reply)
{
    const auto value = Numbers::toReal(reply);
    return "{\"time\":\"" + isoTime(at) + "\",\"value\":" + (value ? jsonNumber(*value) : "null") +
           ",\"raw\":" + jsonString(QString::fromLocal8Bit(reply)) + '}';
}

QByteArray eventJson(const QDateTime &at, const QByteArray &event, const QString &reason)
{
    return "{\"time\":\"" + isoTime(at) + "\",\"event\":" + jsonString(QString::fromLatin1(event)) +
           ",\"reason\":" + jsonString(reason) + '}';
}

QByteArray parametersJson(const QDateTime &at, const ParameterSet &parameters)
{
    static const char *const names[ParameterSet::fieldCount] = {
        "senter", "upper", "under", "ave",  "mode1", "mode2", "gain", "henn",
        "zero",   "syou",  "hyou",  "erro", "edg",   "soku",  "ziko"};
    QByteArray json = "{\"time\":\"" + isoTime(at) + '"';
    for (int i = 0; i < ParameterSet::fieldCount; ++i)
        json += ",\"" + QByteArray(names[i]) + "\":" + QByteArray::number(parameters.field(i));
    return json + '}';
}

} // namespace ReadingFormat
