#include "core/AlarmLimits.h"

#include "core/IniFile.h"
#include "core/Numbers.h"

#include <QLocale>

namespace {

constexpr char highKey[] = "trend/high_limit";
constexpr char lowKey[] = "trend/low_limit";

std::optional<double> limitOf(const QVariant &value)
{
    const auto parsed = parseLimit(value.toString());
    return parsed ? *parsed : std::nullopt;
}

} // namespace

std::optional<std::optional<double>> parseLimit(const QString &text)
{
    if (text.trimmed().isEmpty())
        return std::optional<double>();
    if (const auto value = Numbers::toReal(text.toLatin1()))
        return value;
    return std::nullopt;
}

QString limitText(const std::optional<double> &limit)
{
    // The shortest text that reads back as the same number, never in exponent form.
    if (!limit)
        return QString();
    QString text = QString::number(*limit, 'f', QLocale::FloatingPointShortest);
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

namespace LimitsFile {

AlarmLimits load(const QString &path)
{
    const auto values = IniFile::read(path);
    if (!values)
        return {};
    return {limitOf(values->value(QLatin1String(highKey))),
            limitOf(values->value(QLatin1String(lowKey)))};
}

bool save(const QString &path, const AlarmLimits &limits, QString *error)
{
    return IniFile::write(path,
                          {{QLatin1String(highKey), limitText(limits.high)},
                           {QLatin1String(lowKey), limitText(limits.low)}},
                          error);
}

} // namespace LimitsFile
