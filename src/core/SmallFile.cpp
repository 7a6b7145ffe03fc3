#include "core/SmallFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>

namespace SmallFile {

std::optional<QByteArray> read(const QString &path, QString *why)
{
    if (QFileInfo(path).isDir()) {
        *why = qt_error_string(EISDIR); // the system's words, in the system's language
        return std::nullopt;
    }
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        *why = in.errorString();
        return std::nullopt;
    }
    const QByteArray bytes = in.read(maxBytes + 1);
    if (in.error() != QFileDevice::NoError) {
        *why = in.errorString();
        return std::nullopt;
    }
    if (bytes.size() > maxBytes) {
        *why = qt_error_string(EFBIG);
        return std::nullopt;
    }
    return bytes;
}

} // namespace SmallFile
