#pragma once

#include "core/ProgramFolder.h"

#include <QString>

// The operator's help page, qsr540_comm.html beside the executable.
namespace HelpPage {
// The page's path; the name is matched without regard to case, as on the platform the
// program came from.
QString path(const ProgramFolder &folder);
// Opens it with the desktop's viewer. A missing page or viewer gives no message.
void open(const ProgramFolder &folder);
} // namespace HelpPage
