#include "logger/LoggerConfig.h"
#include "logger/OptionChecks.h"
#include "logger/OptionTable.h"

namespace LoggerOptions {
namespace {

// "%i" -> instance, "%%" -> '%'; any other '%' stays as it is.
QString expandInstance(const QString &value, const QString &instance)
{
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar next = i + 1 < value.size() ? value[i + 1] : QChar();
        if (value[i] == u'%' && (next == u'i' || next == u'%')) {
            out += next == u'i' ? instance : QStringLiteral("%");
            ++i;
        } else {
            out += value[i];
        }
    }
    return out;
}

} // namespace

std::optional<QStringList> configArguments(const QByteArray &text, QString *error,
                                           const QString &instance)
{
    QStringList args;
    int number = 0;
    const auto failed = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("line %1%2").arg(number).arg(why);
        return std::nullopt;
    };
    for (const QByteArray &raw : text.split('\n')) {
        ++number;
        const auto decoded = strictUtf8(raw);
        const QString line = decoded.value_or(QString::fromUtf8(raw)).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue; // a comment may be in any encoding
        const qsizetype eq = line.indexOf(u'=');
        const QString name = (eq < 0 ? line : line.left(eq)).trimmed();
        const QString value = eq < 0 ? QString() : line.mid(eq + 1).trimmed();
        const auto control = controlIn(line);
        if (name.isEmpty() || name.startsWith(u'-') || name.contains(u' ') || name == "config" ||
            controlIn(name) || name.contains(QChar::ReplacementCharacter)) {
            if (control)
                return failed(QStringLiteral(" holds %1").arg(named(*control)));
            if (!decoded)
                return failed(QStringLiteral(" is not valid UTF-8"));
            return failed(QStringLiteral(" is not \"name = value\": %1").arg(line));
        }
        if (control)
            return failed(QStringLiteral(": the value of %1 holds %2").arg(name, named(*control)));
        if (!decoded)
            return failed(QStringLiteral(": the value of %1 is not valid UTF-8").arg(name));
        // Without its value, the option would take the next argument for it: the command
        // line's first, "--config=line3.conf" say, as the log file's name.
        const Option *option = findOption(name);
        if (eq < 0 && option && option->valueName)
            return failed(QStringLiteral(": %1 needs a value (%1 = %2)")
                              .arg(name, QLatin1String(option->valueName)));
        args << QStringLiteral("--") + name;
        if (eq >= 0)
            args << expandInstance(value, instance);
    }
    return args;
}

} // namespace LoggerOptions
