// The settings reader on arbitrary bytes: no crash, a reason for every refusal, and every
// record it accepts writes out and reads back as the same record.

#include "FuzzCheck.h"

#include "core/DelimitedReader.h"
#include "core/SettingsFile.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace {

// Every field the reader hands out is well-formed, and reading always ends.
void checkReader(const QByteArray &bytes)
{
    DelimitedReader reader(bytes);
    qsizetype fields = 0;
    while (const auto field = reader.next()) {
        // Each field but a trailing one consumes at least its delimiter.
        FUZZ_CHECK(++fields <= bytes.size() + 1);
        FUZZ_CHECK(field->size() <= bytes.size());
    }
    FUZZ_CHECK(reader.atEnd());
    FUZZ_CHECK(!reader.next());
}

const QString currentLang = QStringLiteral("j");

std::optional<AppSettings> checkParse(const QByteArray &bytes, SettingsRead kind)
{
    QString why;
    const auto record = SettingsFile::parse(bytes, kind, currentLang, &why);
    if (!record) {
        FUZZ_CHECK(!why.isEmpty());
        return record;
    }
    if (kind == SettingsRead::Short)
        FUZZ_CHECK(record->lang == currentLang);

    // What the program writes back at the end must read as what it read.
    const QByteArray written = SettingsFile::format(*record);
    FUZZ_CHECK(written.endsWith("\r\n"));
    const auto again = SettingsFile::parse(written, kind, currentLang);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(*again == *record);
    FUZZ_CHECK(SettingsFile::format(*again) == written);
    return record;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    checkReader(bytes);
    const auto full = checkParse(bytes, SettingsRead::Full);
    const auto brief = checkParse(bytes, SettingsRead::Short);
    // The short read is the full one without the language line.
    if (full) {
        FUZZ_CHECK(brief.has_value());
        AppSettings withLang = *brief;
        withLang.lang = full->lang;
        FUZZ_CHECK(withLang == *full);
    }
    return 0;
}
