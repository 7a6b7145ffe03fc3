// The preferences file qsrlink.ini on arbitrary bytes: a damaged file turns every addition
// off; limits read are numbers whose text reads back as themselves; and saving one
// feature's keys keeps the other's, and reads back as saved, even over a damaged file.

#include "FuzzCheck.h"

#include "core/AlarmLimits.h"
#include "core/IniFile.h"
#include "core/Options.h"
#include "core/SmallFile.h"

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

void checkLimit(const std::optional<double> &limit)
{
    if (!limit)
        return;
    FUZZ_CHECK(std::isfinite(*limit));
    const auto again = parseLimit(limitText(limit));
    FUZZ_CHECK(again && *again == limit);
}

// The keys of neither feature. A list reads as a list of strings from a file and as a list
// of variants from a copy still in memory: the same list. A line "=" gives a key without a
// name or a value, which has nothing to keep.
QVariantMap othersOf(QVariantMap values)
{
    for (auto it = values.begin(); it != values.end();) {
        if (it.key().startsWith(u"options/") || it.key().startsWith(u"trend/") || !it->isValid()) {
            it = values.erase(it);
            continue;
        }
        if (it->typeId() == QMetaType::QVariantList)
            *it = it->toStringList();
        ++it;
    }
    return values;
}

// QSettings writes odd names (an empty group, escapes) in its own way, so a damaged file's
// keys may change names on the first save; a key named as the program names its keys keeps
// name and value.
void checkKept(const QVariantMap &before, const QVariantMap &after)
{
    static const QRegularExpression plain(QStringLiteral("^\\w+(/\\w+)?$"));
    for (auto it = before.begin(); it != before.end(); ++it) {
        if (plain.match(it.key()).hasMatch())
            FUZZ_CHECK(after.value(it.key()) == *it);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (qint64(size) > SmallFile::maxBytes)
        return 0; // refused as no preferences file, and saving would refuse to replace it
    static const QTemporaryDir dir;
    FUZZ_CHECK(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("qsrlink.ini"));
    {
        QFile f(path);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(f.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size));
    }
    const auto values = IniFile::read(path);
    const Options options = OptionsFile::load(path);
    const AlarmLimits limits = LimitsFile::load(path);
    if (!values) {
        FUZZ_CHECK(options == Options());
        FUZZ_CHECK(limits == AlarmLimits());
    }
    checkLimit(limits.high);
    checkLimit(limits.low);

    // The Trend window saves its limits, then the Options dialog its options: each keeps
    // what the other and any other feature wrote.
    QString error;
    FUZZ_CHECK(LimitsFile::save(path, limits, &error));
    FUZZ_CHECK(LimitsFile::load(path) == limits);
    const auto first = IniFile::read(path);
    FUZZ_CHECK(first.has_value());
    if (values) {
        FUZZ_CHECK(OptionsFile::load(path) == options);
        checkKept(othersOf(*values), othersOf(*first));
    }
    FUZZ_CHECK(OptionsFile::save(path, options, &error));
    FUZZ_CHECK(OptionsFile::load(path) == options);
    FUZZ_CHECK(LimitsFile::load(path) == limits);
    const auto second = IniFile::read(path);
    FUZZ_CHECK(second.has_value());
    FUZZ_CHECK(othersOf(*second) == othersOf(*first));
    return 0;
}
