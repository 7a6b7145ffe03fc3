#pragma once

#include "core/Language.h"
#include "core/Options.h"
#include "ui/MainTexts.h"
#include "ui/UiContext.h"

#include <QMainWindow>
#include <QPointer>

#include <chrono>

class QLabel;
class QMenu;
class QPushButton;
class QScrollBar;
class Monitor;
class QTimer;
class SerialPort;
class TrendWindow;
struct CycleResult;

// The Main window, English (Form5) or Japanese (Form1): the measured value in large
// digits, polling and logging, the two interval selectors and the menu bar.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(Language language, UiContext &context, QWidget *parent = nullptr);
    ~MainWindow() override;

    Language language() const { return m_language; }

    // The window's load: reads the settings (with recovery), hands port and speed to the
    // editor's port and then to its own, fills the labels. False when the start cannot
    // go on; `failure` then holds the message, in the window's language, and its detail.
    struct StartFailure {
        QString text, detail;
    };
    bool Form_Load(StartFailure *failure);

    SerialPort *mainPort() const { return m_mainPort; }
    SerialPort *editorPort() const { return m_editorPort; }
    Monitor *monitor() const { return m_monitor; }
    // The name the log-file dialog proposes.
    QString logDialogName() const { return m_logDialogName; }
    // The operator's options (Edit > Options) as they apply now.
    const Options &options() const { return m_options; }
    // The Trend window while one is open.
    TrendWindow *trendWindow() const;

Q_SIGNALS:
    // The user chose the other language and the settings file has been written.
    void switchRequested(Language target);
    // The window has closed (after its unload handling); false when the settings file
    // should have been written and could not be.
    void closed(bool settingsOk);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void buildMenus();
    void placeIntervalLabel(QLabel *label, const QScrollBar *bar);
    void setPollStatus(const QString &text);
    void setSaveStatus(const QString &text); // Label4, and Label3 fitted to what is left
    QString pollingText(); // for Label3 while polling runs

    void Command1_Click();
    void Command2_Click();
    void startPolling();
    void stopPolling();
    void onPollFailed(const CycleResult &result);
    void onLogFailed(const QString &reason);
    void setMenusAndSelectorsEnabled(bool enabled);
    std::chrono::milliseconds intervalOf(const QLabel *label) const;

    void VScroll1_Change(int value);
    void VScroll2_Change(int value);
    void SAVE_AS_Click();
    void END_Click();
    void COMM_SET_Click();
    void PORTS_Click();
    void OPTIONS_Click();
    void SELECT_Click();
    void TREND_Click();
    void Language_Click();
    void gotohelp_Click();
    void ver_Click();

    bool applySerialSettings(const AppSettings &s);
    void applyOptions();
    void updateValueColour();

    const Language m_language;
    const MainTexts &m_texts;
    UiContext &m_context;

    SerialPort *m_mainPort = nullptr;   // MSComm1: polling
    SerialPort *m_editorPort = nullptr; // MSComm2: the Parameter editor's Load and Transmission
    QString m_logDialogName = QStringLiteral("qsr540.csv");

    QLabel *m_label1 = nullptr, *m_label2 = nullptr, *m_label3 = nullptr, *m_label4 = nullptr;
    QLabel *m_label7 = nullptr, *m_label12 = nullptr;
    QPushButton *m_command1 = nullptr, *m_command2 = nullptr;
    QScrollBar *m_vscroll1 = nullptr, *m_vscroll2 = nullptr;
    QMenu *m_fileMenu = nullptr, *m_editMenu = nullptr, *m_commMenu = nullptr,
          *m_helpMenu = nullptr;
    Monitor *m_monitor = nullptr; // Timer1 (polling) and Timer2 (logging) live in here
    QPointer<TrendWindow> m_trendWindow;
    Options m_options;
    QString m_logger;           // the logger attached to last: "qsrlink-logger line3, process N"
    bool m_loggerEnded = false; // it has ended; Label3 says so until the next poll
    QString m_keepAwakeProblem; // why the system refused to keep the computer awake, if it did
};
