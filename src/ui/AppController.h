#pragma once

#include "core/Language.h"
#include "ui/MainWindow.h"
#include "ui/UiContext.h"

#include <QObject>
#include <QPointer>

// Keeps exactly one Main window on screen: opens the English one at start, hands over to
// the Japanese one when the settings say so, swaps them at a language switch and ends the
// program when the current one closes.
class AppController : public QObject {
    Q_OBJECT
public:
    explicit AppController(UiContext &context, QObject *parent = nullptr);

    // Opens the first window. False when the program cannot start (the message was shown).
    bool start();
    MainWindow *currentWindow() const { return m_current; }
    // 0, or 1 when the start failed or the settings could not be written at the end.
    int exitCode() const { return m_exitCode; }

Q_SIGNALS:
    // The current Main window closed other than by a switch: the program ends.
    void finished(int exitCode);

private:
    MainWindow *openWindow(Language language);
    void switchTo(Language target);
    void onWindowClosed(MainWindow *window, bool settingsOk);

    UiContext &m_context;
    QPointer<MainWindow> m_current;
    int m_exitCode = 0;
};
