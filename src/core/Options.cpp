#include "core/Options.h"

#include "core/IniFile.h"
#include "core/ProgramFolder.h"

#include <array>

namespace {

struct Key {
    const char *name;
    bool Options::*flag;
};
constexpr std::array keys{
    Key{"keep_polling", &Options::keepPolling}, Key{"event_file", &Options::eventFile},
    Key{"daily_log", &Options::dailyLog}, Key{"keep_awake", &Options::keepAwake}};

QString keyOf(const Key &key)
{
    return QStringLiteral("options/") + QLatin1String(key.name);
}

// "true"/"false" as QSettings writes them, or "1"/"0"; anything else is no boolean.
bool isOn(const QVariant &value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (value.typeId() != QMetaType::QString)
        return false;
    const QString text = value.toString().trimmed().toLower();
    return text == QLatin1String("true") || text == QLatin1String("1");
}

} // namespace

namespace OptionsFile {

QString path(const ProgramFolder &folder)
{
    return folder.dataFile(QLatin1String(fileName));
}

Options load(const QString &path)
{
    const auto values = IniFile::read(path);
    if (!values)
        return {};
    Options options;
    for (const Key &key : keys)
        options.*key.flag = isOn(values->value(keyOf(key)));
    return options;
}

bool save(const QString &path, const Options &options, QString *error)
{
    QVariantMap values;
    for (const Key &key : keys)
        values.insert(keyOf(key), options.*key.flag);
    return IniFile::write(path, values, error);
}

} // namespace OptionsFile
