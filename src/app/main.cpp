#include "core/ProgramFolder.h"
#include "core/Session.h"
#include "monitor/Clock.h"
#include "monitor/SleepInhibitor.h"
#include "serial/SerialLines.h"
#include "ui/AppController.h"
#include "ui/Prompts.h"
#include "ui/UiContext.h"

#include <QApplication>

#include <memory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qsrlink"));
    // Desktops match the running windows to the installed desktop entry, and take the
    // application icon from it; no window icon is set for the application here.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.qsrlink.qsrlink"));
    QApplication::setQuitOnLastWindowClosed(false);

    const ProgramFolder folder = ProgramFolder::forRunningProgram();
    Session session(folder);
    DialogPrompts prompts;
    SerialLines lines(folder);
    const Clock clock;
    UiContext context{session, prompts, lines, clock};
    // The system bus is only reached for when logging is to keep the computer awake.
    std::unique_ptr<SleepInhibitor> inhibitor;
    context.sleepInhibitor = [&inhibitor]() -> SleepInhibitor & {
        if (!inhibitor)
            inhibitor = std::make_unique<SystemSleepInhibitor>();
        return *inhibitor;
    };
    AppController controller(context);
    QObject::connect(&controller, &AppController::finished, &app, &QApplication::exit);
    if (!controller.start())
        return controller.exitCode();
    return app.exec();
}
