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

// The lines a line feed ends; what follows the last one (nothing, or a line still being
// written) is left out.
inline QList<QByteArray> completeLines(const QByteArray &bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeLast();
    return lines;
}

// The complete lines of a file; none for a missing one.
inline QList<QByteArray> fileLines(const QString &path)
{
    return completeLines(fileBytes(path));
}

// Replaces the file with exactly these bytes.
inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}
