#include "monitor/LogRecord.h"

#include <QFile>

namespace LogRecord {

QByteArray format(const QDateTime &at, const QByteArray &lastReply)
{
    QByteArray r;
    r.reserve(32 + lastReply.size());
    r += '"' + at.toString(QStringLiteral("yyyyMMdd")).toLatin1() + "\",\"";
    r += at.toString(QStringLiteral("HHmmss")).toLatin1() + "\",\"";
    r += lastReply.chopped(lastReply.isEmpty() ? 0 : 1);
    r += "\"\r\n";
    return r;
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
