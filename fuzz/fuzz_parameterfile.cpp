// The parameter-file reader on arbitrary bytes: no crash, fields outside their range left
// alone, and whatever set it yields saves and reads back unchanged.

#include "FuzzCheck.h"

#include "core/Numbers.h"
#include "params/ParameterFile.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace {

// A set where no field is 0, so a field the reader leaves alone is visible.
ParameterSet marked()
{
    ParameterSet p;
    for (int i = 0; i < ParameterSet::fieldCount; ++i)
        p.setField(i, -1 - i);
    return p;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const ParameterFile::Values values = ParameterFile::parse(bytes);

    const ParameterSet before = marked();
    ParameterSet set = before;
    const int refused = ParameterFile::storeInto(values, set);
    FUZZ_CHECK(refused >= 0 && refused <= ParameterSet::fieldCount);
    int unchanged = 0;
    for (int i = 0; i < ParameterSet::fieldCount; ++i) {
        const auto &v = values[size_t(i)];
        if (v && *v == set.field(i))
            continue; // stored
        FUZZ_CHECK(set.field(i) == before.field(i));
        ++unchanged;
    }
    FUZZ_CHECK(unchanged == refused);

    // Save then Open gives the same fifteen values, in the same bytes again.
    const QByteArray written = ParameterFile::format(set);
    FUZZ_CHECK(written.endsWith("\r\n"));
    const ParameterFile::Values reread = ParameterFile::parse(written);
    for (int i = 0; i < ParameterSet::fieldCount; ++i)
        FUZZ_CHECK(reread[size_t(i)] == qint64(set.field(i)));
    ParameterSet back;
    FUZZ_CHECK(ParameterFile::storeInto(reread, back) == 0);
    FUZZ_CHECK(back == set);
    FUZZ_CHECK(ParameterFile::format(back) == written);

    // The number rules on their own: an integer's own text reads back as itself.
    const QString text = QString::fromLatin1(bytes.left(64));
    if (const auto n = Numbers::toInteger(text)) {
        FUZZ_CHECK(Numbers::isNumber(text));
        FUZZ_CHECK(Numbers::toInteger(QString::number(*n)) == *n);
    }
    return 0;
}
