#pragma once

#include "core/Language.h"
#include "ui/UiContext.h"

#include <QDialog>

class QComboBox;
class SerialPort;

// The Communication settings dialog, English (Form7) or Japanese (Form3): port COM1..COM7
// and one of seven speeds. Ok applies the choice to the editor's port, then the Main
// window's, then the settings; Cancel, Escape and the close box apply nothing. A list with no
// selection (a stored value outside it) applies nothing for that list.
class CommDialog : public QDialog {
    Q_OBJECT
public:
    CommDialog(Language language, UiContext &context, SerialPort *editorPort, SerialPort *mainPort,
               QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Command1_Click();

    Language m_language;
    UiContext &m_context;
    SerialPort *m_editorPort;
    SerialPort *m_mainPort;
    QComboBox *m_combo1 = nullptr;
    QComboBox *m_combo2 = nullptr;
};
