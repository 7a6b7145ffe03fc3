#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Reads a file the program keeps its own small records in (settings, options) whole: the
// bytes, or nothing with the system's reason in `why` for a folder in its place, a file
// that cannot be opened or read, or one larger than any such file (1 MiB).
namespace SmallFile {
inline constexpr qint64 maxBytes = 1 << 20;
std::optional<QByteArray> read(const QString &path, QString *why);
} // namespace SmallFile
