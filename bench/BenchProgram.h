#pragma once
// What a window needs from the application, made as the program makes it, for the
// benchmarks that open windows in their own process.
#include "core/Session.h"
#include "monitor/Clock.h"
#include "serial/SerialLines.h"
#include "ui/Prompts.h"
#include "ui/UiContext.h"

namespace bench {

struct Program {
    explicit Program(const QString &folderPath)
        : folder(ProgramFolder::at(folderPath)), session(folder), lines(folder)
    {
    }
    ProgramFolder folder;
    Session session;
    DialogPrompts prompts;
    SerialLines lines;
    const Clock clock;
    UiContext context{session, prompts, lines, clock};
};

} // namespace bench
