#pragma once

#include <QString>

namespace Version {
constexpr int major = 1;
constexpr int minor = 0;
constexpr int revision = 1;

// Major, ".", minor and revision written directly after it: 1.01 for 1, 0, 1.
inline QString text()
{
    return QString::number(major) + u'.' + QString::number(minor) + QString::number(revision);
}
inline QString windowCaption()
{
    return QStringLiteral("QSRLINK Ver") + text();
}
} // namespace Version
