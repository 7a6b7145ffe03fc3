#include "ui/MainWindow.h"

#include "core/FileNames.h"
#include "serial/SerialPort.h"
#include "ui/CommDialog.h"
#include "ui/Controls.h"
#include "ui/HelpPage.h"
#include "ui/LanguageDialog.h"
#include "ui/OptionsDialog.h"
#include "ui/ParameterEditor.h"
#include "ui/PortsDialog.h"
#include "ui/Prompts.h"
#include "ui/TrendWindow.h"
#include "ui/VersionBox.h"

#include <QMenuBar>
#include <QScreen>

// The Main window's menu bar and what each of its commands opens or changes.

void MainWindow::buildMenus()
{
    QMenuBar *bar = menuBar();
    m_fileMenu = bar->addMenu(m_texts.menuFile);
    m_fileMenu->setObjectName(QStringLiteral("FILE"));
    connect(Controls::menuItem(m_fileMenu, "SAVE_AS", m_texts.menuSaveAs), &QAction::triggered,
            this, &MainWindow::SAVE_AS_Click);
    m_fileMenu->addSeparator()->setObjectName(QStringLiteral("HIFN"));
    connect(Controls::menuItem(m_fileMenu, "END", m_texts.menuEnd), &QAction::triggered, this,
            &MainWindow::END_Click);

    m_editMenu = bar->addMenu(m_texts.menuEdit);
    m_editMenu->setObjectName(QStringLiteral("EDIT"));
    connect(Controls::menuItem(m_editMenu, "COMM_SET", m_texts.menuCommSet), &QAction::triggered,
            this, &MainWindow::COMM_SET_Click);
    connect(Controls::menuItem(m_editMenu, "Language", m_texts.menuLanguage), &QAction::triggered,
            this, &MainWindow::Language_Click);
    connect(Controls::menuItem(m_editMenu, "PORTS", m_texts.menuPorts), &QAction::triggered, this,
            &MainWindow::PORTS_Click);
    connect(Controls::menuItem(m_editMenu, "OPTIONS", m_texts.menuOptions), &QAction::triggered,
            this, &MainWindow::OPTIONS_Click);

    m_commMenu = bar->addMenu(m_texts.menuComm);
    m_commMenu->setObjectName(QStringLiteral("COMM"));
    connect(Controls::menuItem(m_commMenu, "SELECT", m_texts.menuSelect), &QAction::triggered, this,
            &MainWindow::SELECT_Click);

    // Enabled in every state, polling included, like help.
    QMenu *view = bar->addMenu(m_texts.menuView);
    view->setObjectName(QStringLiteral("VIEW"));
    connect(Controls::menuItem(view, "TREND", m_texts.menuTrend), &QAction::triggered, this,
            &MainWindow::TREND_Click);

    m_helpMenu = bar->addMenu(m_texts.menuHelp);
    m_helpMenu->setObjectName(QStringLiteral("help"));
    connect(Controls::menuItem(m_helpMenu, "gotohelp", m_texts.menuGotoHelp), &QAction::triggered,
            this, &MainWindow::gotohelp_Click);
    connect(Controls::menuItem(m_helpMenu, "ver", m_texts.menuVer), &QAction::triggered, this,
            &MainWindow::ver_Click);
}

void MainWindow::SAVE_AS_Click()
{
    const auto chosen =
        m_context.prompts.saveFileName(this, QStringLiteral("*.csv"), m_logDialogName);
    if (!chosen)
        return;
    m_logDialogName = FileNames::withSuffix(*chosen, QStringLiteral(".csv"));
    m_context.session.settings().fom1file = m_logDialogName;
    Controls::setAutoSizedText(m_label1, m_texts.saveFilePrefix + m_logDialogName);
}

void MainWindow::COMM_SET_Click()
{
    CommDialog dialog(m_language, m_context, m_editorPort, m_mainPort, this);
    dialog.exec();
}

void MainWindow::PORTS_Click()
{
    PortsDialog dialog(m_language, m_context, m_mainPort->baud(), {}, this);
    dialog.exec();
}

void MainWindow::OPTIONS_Click()
{
    OptionsDialog dialog(m_language, m_options, m_keepAwakeProblem, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const Options chosen = dialog.chosen();
    QString error;
    const bool saved =
        OptionsFile::save(OptionsFile::path(m_context.session.folder()), chosen, &error);
    // A choice the file could not take still holds until the program ends: the operator
    // chose it and is told that it was not saved, which is better than a window that goes
    // on doing what was just turned off.
    m_options = chosen;
    m_context.session.setOptions(chosen);
    applyOptions();
    if (!saved)
        m_context.prompts.message(this, m_texts.optionsNotSaved, error);
}

void MainWindow::SELECT_Click()
{
    ParameterEditor editor(m_language, m_context, m_editorPort, m_mainPort, this);
    editor.exec();
}

void MainWindow::END_Click()
{
    close();
}

void MainWindow::Language_Click()
{
    Session &session = m_context.session;
    LanguageDialog dialog(session.settings().lang, this);
    dialog.exec();
    QString error;
    if (!session.save(&error)) {
        // The other window would read a file that does not hold this choice. This window
        // stays, so it stays the current language too: its close must still write the file.
        session.settings().lang = languageCode(m_language);
        m_context.prompts.message(this, m_texts.settingsNotWritten, error);
        return;
    }
    if (const auto target = session.switchTarget(m_language))
        Q_EMIT switchRequested(*target);
}

void MainWindow::TREND_Click()
{
    if (!m_trendWindow) {
        m_trendWindow = new TrendWindow(m_language, m_context);
        connect(m_trendWindow, &TrendWindow::limitsChanged, this, &MainWindow::updateValueColour);
        // A small or scaled screen gets a smaller window rather than one past its edges.
        // Its frame will be as thick as this window's.
        if (const QScreen *s = screen())
            m_trendWindow->resize(m_trendWindow->size().boundedTo(
                s->availableGeometry().size() - (frameGeometry().size() - size())));
        Controls::centre(m_trendWindow, this);
    }
    m_trendWindow->show();
    m_trendWindow->raise();
    m_trendWindow->activateWindow();
}

void MainWindow::gotohelp_Click()
{
    HelpPage::open(m_context.session.folder());
}

void MainWindow::ver_Click()
{
    VersionBox box(this);
    box.exec();
}
