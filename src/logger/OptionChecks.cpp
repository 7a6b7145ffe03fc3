#include "logger/OptionChecks.h"

#include <QFile>
#include <QStringDecoder>

namespace LoggerOptions {

std::optional<QChar> controlIn(QStringView text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return c;
    }
    return std::nullopt;
}

QString named(QChar control)
{
    return QStringLiteral("the control character U+%1")
        .arg(QString::number(control.unicode(), 16).toUpper().rightJustified(4, u'0'));
}

std::optional<QString> strictUtf8(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (utf8.hasError())
        return std::nullopt;
    return text;
}

// U+FFFD is what decoding the arguments left of bytes the locale's encoding could not
// read: the file it names is not the one meant.
void checkPath(const QString &what, const QString &path)
{
    if (const auto c = controlIn(path))
        throw Failed{QStringLiteral("%1: the path holds %2").arg(what, named(*c))};
    if (path.contains(QChar::ReplacementCharacter) ||
        QFile::decodeName(QFile::encodeName(path)) != path)
        throw Failed{QStringLiteral("%1: the path \"%2\" is not valid in the system's encoding")
                         .arg(what, path)};
}

} // namespace LoggerOptions
