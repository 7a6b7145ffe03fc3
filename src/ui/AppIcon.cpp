#include "ui/AppIcon.h"

#include <QString>

namespace AppIcon {

QIcon mainWindowIcon()
{
    return QIcon(QString::fromLatin1(resourcePath));
}

} // namespace AppIcon
