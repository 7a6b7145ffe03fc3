#include "core/SettingsFile.h"

#include "core/SmallFile.h"

#include "core/DelimitedReader.h"
#include "core/Numbers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>

#include <array>
#include <limits>
#include <utility>

namespace {

constexpr int numberCount = 17;
constexpr int portIndex = 15;
constexpr int baudIndex = 16;
constexpr int printZone = 14;
const QByteArray lineEnd = QByteArrayLiteral("\r\n");

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

// Quoted only where the bare name would not read back: a comma or quote inside, a line
// end inside, or blanks at either end. Every other name is written as it is.
QByteArray encodeName(const QString &name)
{
    const QByteArray bytes = name.toLocal8Bit();
    const bool needsQuotes = name.contains(u',') || name.contains(u'"') || name.contains(u'\r') ||
                             name.contains(u'\n') ||
                             (!name.isEmpty() && (isBlank(name.front()) || isBlank(name.back())));
    if (!needsQuotes)
        return bytes;
    QByteArray quoted = bytes;
    quoted.replace('"', QByteArrayLiteral("\"\""));
    return '"' + quoted + '"';
}

QByteArray numberLine(const AppSettings &s)
{
    QByteArray line;
    for (int i = 0; i < ParameterSet::fieldCount; ++i)
        line += QByteArray::number(s.params.field(i)) + ',';
    line += QByteArray::number(s.port) + ',' + QByteArray::number(s.baud);
    return line + lineEnd;
}

QByteArray fileNameLine(const AppSettings &s)
{
    QByteArray line = encodeName(s.fom1file) + ',';
    // A name that ends exactly on a zone boundary still gets a full zone of spaces, so the
    // second name never touches the comma.
    line += QByteArray(printZone - line.size() % printZone, ' ');
    return line + encodeName(s.fom2file) + lineEnd;
}

bool fitsField(int index, qint64 v)
{
    if (index < ParameterSet::wideFieldCount || index == baudIndex)
        return v >= std::numeric_limits<qint32>::min() && v <= std::numeric_limits<qint32>::max();
    return v >= std::numeric_limits<qint16>::min() && v <= std::numeric_limits<qint16>::max();
}

void setWhy(QString *why, const QString &text)
{
    if (why)
        *why = text;
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

namespace SettingsFile {

AppSettings defaults(const QString &programFolder)
{
    AppSettings s;
    s.fom1file = programFolder + QStringLiteral("/qsr540.csv");
    s.fom2file = programFolder + QStringLiteral("/qsr540.txt");
    return s;
}

QByteArray format(const AppSettings &settings)
{
    return numberLine(settings) + fileNameLine(settings) + encodeName(settings.lang) + lineEnd;
}

QByteArray defaultBytes(const QString &programFolder, SettingsRead kind)
{
    const AppSettings d = defaults(programFolder);
    if (kind == SettingsRead::Short)
        return numberLine(d) + fileNameLine(d);
    return format(d);
}

std::optional<AppSettings> parse(const QByteArray &bytes, SettingsRead kind,
                                 const QString &currentLang, QString *why)
{
    DelimitedReader reader(bytes);
    std::array<qint64, numberCount> numbers{};
    for (int i = 0; i < numberCount; ++i) {
        const auto text = reader.nextText();
        if (!text) {
            setWhy(why, QStringLiteral("the number line ends after %1 of %2 values")
                            .arg(i)
                            .arg(numberCount));
            return std::nullopt;
        }
        if (!Numbers::isNumber(*text))
            continue; // reads as 0
        const auto value = Numbers::toInteger(*text);
        if (!value || !fitsField(i, *value)) {
            setWhy(why, QStringLiteral("value %1 (\"%2\") is out of range").arg(i + 1).arg(*text));
            return std::nullopt;
        }
        numbers[size_t(i)] = *value;
    }

    AppSettings s;
    for (int i = 0; i < ParameterSet::fieldCount; ++i)
        s.params.setField(i, numbers[size_t(i)]);
    s.port = qint16(numbers[portIndex]);
    s.baud = qint32(numbers[baudIndex]);

    const auto fom1 = reader.nextText();
    const auto fom2 = fom1 ? reader.nextText() : std::nullopt;
    if (!fom2) {
        setWhy(why, QStringLiteral("the file names are missing"));
        return std::nullopt;
    }
    s.fom1file = *fom1;
    s.fom2file = *fom2;

    if (kind == SettingsRead::Short) {
        s.lang = currentLang;
    } else {
        const auto lang = reader.nextText();
        if (!lang) {
            setWhy(why, QStringLiteral("the language line is missing"));
            return std::nullopt;
        }
        s.lang = *lang;
    }
    return s;
}

} // namespace SettingsFile

SettingsStore::SettingsStore(QString programFolder) : m_folder(std::move(programFolder))
{
}

QString SettingsStore::path() const
{
    return m_folder + u'/' + QLatin1String(SettingsFile::fileName);
}

bool SettingsStore::save(const AppSettings &settings, QString *error) const
{
    return write(SettingsFile::format(settings), error);
}

SettingsStore::LoadResult SettingsStore::load(SettingsRead kind, AppSettings &settings,
                                              const Apply &apply) const
{
    LoadResult result;
    QString why;
    auto record = readOnce(kind, settings.lang, apply, &why);
    if (!record) {
        result.recovered = true;
        QString writeError;
        if (!write(SettingsFile::defaultBytes(m_folder, kind), &writeError)) {
            result.unwritable = true;
            result.error = writeError;
            return result;
        }
        record = readOnce(kind, settings.lang, apply, &why);
        if (!record) {
            result.error = QStringLiteral("%1: %2").arg(shown(path()), why);
            return result;
        }
    }
    settings = *record;
    result.ok = true;
    return result;
}

std::optional<AppSettings> SettingsStore::readOnce(SettingsRead kind, const QString &currentLang,
                                                   const Apply &apply, QString *why) const
{
    const std::optional<QByteArray> read = SmallFile::read(path(), why);
    if (!read)
        return std::nullopt;
    const QByteArray &bytes = *read;

    auto record = SettingsFile::parse(bytes, kind, currentLang, why);
    if (!record)
        return std::nullopt;
    // The port number handed to the serial port is port + 1, a 16-bit value as well.
    if (record->port == std::numeric_limits<qint16>::max()) {
        *why = QStringLiteral("port %1 is out of range").arg(record->port);
        return std::nullopt;
    }
    if (apply && !apply(*record)) {
        *why = QStringLiteral("the serial port refused port %1 or speed %2")
                   .arg(record->port + 1)
                   .arg(record->baud);
        return std::nullopt;
    }
    return record;
}

bool SettingsStore::write(const QByteArray &bytes, QString *error) const
{
    const QString file = path();
    QSaveFile out(file);
    const bool ok =
        out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() && out.commit();
    if (!ok && error)
        *error = QStringLiteral("%1: %2").arg(shown(file), out.errorString());
    return ok;
}
