#include "core/FileNames.h"

namespace FileNames {

QString withSuffix(const QString &name, const QString &suffix)
{
    if (name.endsWith(suffix, Qt::CaseSensitive))
        return name;
    return name + suffix;
}

} // namespace FileNames
