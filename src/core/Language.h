#pragma once

#include <QString>

enum class Language { English, Japanese };

// The code stored in the settings file's language line.
inline QString languageCode(Language l)
{
    return l == Language::English ? QStringLiteral("e") : QStringLiteral("j");
}
inline Language otherLanguage(Language l)
{
    return l == Language::English ? Language::Japanese : Language::English;
}
