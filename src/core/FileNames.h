#pragma once

#include <QString>

namespace FileNames {

// name with suffix appended unless its last characters are exactly suffix (case-sensitive:
// "A.TXT" with ".txt" gives "A.TXT.txt"). The file dialogs of the log and the parameter
// files rely on this rule.
QString withSuffix(const QString &name, const QString &suffix);

} // namespace FileNames
