#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// The bytes of a file, or "<unreadable>" so that a missing file never equals an expected
// empty one.
inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// Replaces the file with exactly these bytes.
inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}
