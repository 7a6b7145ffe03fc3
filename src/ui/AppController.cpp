#include "ui/AppController.h"

#include "ui/MainWindow.h"
#include "ui/Prompts.h"

AppController::AppController(UiContext &context, QObject *parent)
    : QObject(parent), m_context(context)
{
}

MainWindow *AppController::openWindow(Language language)
{
    auto *window = new MainWindow(language, m_context);
    MainWindow::StartFailure failure;
    if (!window->Form_Load(&failure)) {
        m_context.prompts.message(nullptr, failure.text, failure.detail);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        delete window;
        return nullptr;
    }
    connect(window, &MainWindow::switchRequested, this, &AppController::switchTo);
    connect(window, &MainWindow::closed, this,
            [this, window](bool ok) { onWindowClosed(window, ok); });
    return window;
}

bool AppController::start()
{
    MainWindow *english = openWindow(Language::English);
    if (!english) {
        m_exitCode = 1;
        return false;
    }
    if (!m_context.session.routesToJapanese()) {
        m_current = english;
        english->show();
        return true;
    }
    // The English window hands over without ever being shown, and writes nothing.
    MainWindow *japanese = openWindow(Language::Japanese);
    english->disconnect(this);
    english->setAttribute(Qt::WA_DeleteOnClose, false);
    delete english;
    if (!japanese) {
        m_exitCode = 1;
        return false;
    }
    m_current = japanese;
    japanese->show();
    return true;
}

void AppController::switchTo(Language target)
{
    MainWindow *old = m_current;
    MainWindow *next = openWindow(target);
    if (!next)
        return; // the old window stays current
    m_current = next;
    next->show();
    if (old)
        old->close();
}

void AppController::onWindowClosed(MainWindow *window, bool settingsOk)
{
    if (window != m_current)
        return; // closed by a switch: the other window goes on
    if (!settingsOk)
        m_exitCode = 1;
    m_current = nullptr;
    Q_EMIT finished(m_exitCode);
}
