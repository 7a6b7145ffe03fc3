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

// The keys of neither feature, as the file holds them. A list reads as a list of strings
// from a file and as a list of variants from a copy still in memory: the same list.
QVariantMap othersOf(QVariantMap values)
{
    for (auto it = values.begin(); it != values.end();) {
        if (it.key().startsWith(u"options/") || it.key().startsWith(u"trend/")) {
            it = values.erase(it);
            continue;
        }
        if (it->typeId() == QMetaType::QVariantList)
            *it = it->toStringList();
        ++it;
    }
    return values;
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

    // The Trend window saves its limits, then the Options dialog its options.
    QString error;
    FUZZ_CHECK(LimitsFile::save(path, limits, &error));
    FUZZ_CHECK(LimitsFile::load(path) == limits);
    if (values)
        FUZZ_CHECK(OptionsFile::load(path) == options);
    FUZZ_CHECK(OptionsFile::save(path, options, &error));
    FUZZ_CHECK(OptionsFile::load(path) == options);
    FUZZ_CHECK(LimitsFile::load(path) == limits);
    const auto saved = IniFile::read(path);
    FUZZ_CHECK(saved.has_value());
    if (values)
        FUZZ_CHECK(othersOf(*saved) == othersOf(*values));
    return 0;
}
