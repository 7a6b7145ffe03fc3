#pragma once

#include "core/Language.h"
#include "params/ParameterRules.h"
#include "serial/Exchange.h"
#include "ui/EditorTexts.h"
#include "ui/UiContext.h"

#include <QDialog>
#include <QPointer>

#include <array>
#include <memory>
#include <optional>

class Printer;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPushButton;
class QScrollBar;
class SerialLine;
class SerialPort;

// The Parameter editor window, English (Form6) or Japanese (Form2), modal. It edits
// session.settings().params in place: Ok, File > Close, the save items and Transmission
// commit the controls (CollectParameters); Load and Open store into the set and refresh the
// controls (ShowParameters); the close box commits nothing.
//
// The two ports belong to the Main window and outlive this window; Load and Transmission
// run on editorPort's line, the Communication settings dialog sets both. Closing the window
// while a Load waits ends the cycle and reports nothing.
class ParameterEditor : public QDialog {
    Q_OBJECT
public:
    ParameterEditor(Language language, UiContext &context, SerialPort *editorPort,
                    SerialPort *mainPort, QWidget *parent = nullptr);
    ~ParameterEditor() override;

    Language language() const { return m_language; }
    // True in the Details layout; Transmission then sends all fourteen values.
    bool isDetailed() const { return m_detailed; }
    // The name Save writes to and both file dialogs propose.
    QString fileName() const { return m_fileName; }
    // Print goes to `printer` (not owned, must outlive this window); nullptr restores the
    // system's default printer.
    void setPrinter(Printer *printer);

    void ShowParameters();
    void CollectParameters();

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void done(int result) override;

private:
    enum class Operation { None, Load, Transmission };

    void buildControls();
    void buildMenus();
    void applyLayout();

    void Command1_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Text1_Change();
    void Text2_Change();
    void Text3_Change();
    void VScroll1_Change(int value);
    void VScroll2_Change(int value);
    void OPEN_Click();
    void SAVE_Click();
    void SAVE_AS_Click();
    void PRINT_Click();
    void CLOSE_Click();
    void COMM_SET_Click();

    void validateText(QLineEdit *box);
    void setText(QLineEdit *box, const QString &text);
    ParameterRules::EditorControls controls() const;
    bool canStartCycle() const;
    bool startCycle(Operation operation, const QString &caption, QList<Exchange> exchanges,
                    ReplyHandler onReply = {});
    void onCycleFinished(const CycleResult &result);
    void cancelCycle();
    bool writeCurrentFile();
    ParameterSet &params();

    const Language m_language;
    const EditorTexts &m_texts;
    UiContext &m_context;
    SerialPort *m_editorPort; // MSComm2, not owned
    SerialPort *m_mainPort;   // MSComm1, not owned; only handed to the settings dialog

    bool m_detailed = false;
    bool m_closed = false;
    QString m_fileName;
    std::unique_ptr<Printer> m_systemPrinter;
    Printer *m_printer = nullptr;
    Operation m_operation = Operation::None; // the cycle of ours on the line, if any
    std::optional<int> m_closeWhenSent;      // closing waits for a Transmission to end
    QPointer<SerialLine> m_line;             // the line it runs on

    QMenuBar *m_menuBar = nullptr;
    QWidget *m_client = nullptr;
    QGroupBox *m_frame1 = nullptr;
    QPushButton *m_command1 = nullptr, *m_command3 = nullptr, *m_command4 = nullptr,
                *m_command5 = nullptr;
    std::array<QLineEdit *, 3> m_limitBoxes{};
    QLabel *m_label5 = nullptr, *m_label13 = nullptr, *m_label16 = nullptr;
    QScrollBar *m_vscroll1 = nullptr, *m_vscroll2 = nullptr;
    std::array<QComboBox *, ParameterRules::listCount> m_lists{};
};
