#include "params/ParameterFile.h"

#include "core/DelimitedReader.h"
#include "core/FileNames.h"
#include "core/Numbers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>

namespace {

// A parameter file is one short line; a file far larger is not one (and the open
// dialog offers all files).
constexpr qint64 maxFileBytes = 1 << 20;

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

} // namespace

namespace ParameterFile {

QByteArray format(const ParameterSet &set)
{
    QByteArray line;
    for (int i = 0; i < ParameterSet::fieldCount; ++i) {
        const qint32 v = set.field(i);
        if (i > 0)
            line += ',';
        if (v >= 0)
            line += ' ';
        line += QByteArray::number(v) + ' ';
    }
    return line + QByteArrayLiteral("\r\n");
}

Values parse(const QByteArray &bytes)
{
    Values values;
    values.fill(qint64(0));
    DelimitedReader reader(bytes);
    for (auto &value : values) {
        const auto text = reader.nextText();
        if (!text)
            break;
        if (Numbers::isNumber(*text))
            value = Numbers::toInteger(*text);
    }
    return values;
}

int storeInto(const Values &values, ParameterSet &set)
{
    int refused = 0;
    for (int i = 0; i < ParameterSet::fieldCount; ++i) {
        const auto &v = values[size_t(i)];
        if (!v || !set.setField(i, *v))
            ++refused;
    }
    return refused;
}

bool readFile(const QString &path, ParameterSet &inOut, QString *error)
{
    // The message's headline says what failed; the detail is the file and the system's words.
    const QString cannot = QStringLiteral("%1: %2");
    if (QFileInfo(path).isDir()) {
        setError(error, cannot.arg(shown(path), qt_error_string(EISDIR)));
        return false;
    }
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        setError(error, cannot.arg(shown(path), in.errorString()));
        return false;
    }
    const QByteArray bytes = in.read(maxFileBytes + 1);
    if (in.error() != QFileDevice::NoError) {
        setError(error, cannot.arg(shown(path), in.errorString()));
        return false;
    }
    if (bytes.size() > maxFileBytes) {
        setError(error, cannot.arg(shown(path), qt_error_string(EFBIG)));
        return false;
    }
    storeInto(parse(bytes), inOut);
    return true;
}

bool writeFile(const QString &path, const ParameterSet &set, QString *error)
{
    const QByteArray bytes = format(set);
    QSaveFile out(path);
    const bool ok =
        out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() && out.commit();
    if (!ok)
        setError(error, QStringLiteral("%1: %2").arg(shown(path), out.errorString()));
    return ok;
}

QString withTxtSuffix(const QString &name)
{
    return FileNames::withSuffix(name, QStringLiteral(".txt"));
}

} // namespace ParameterFile
