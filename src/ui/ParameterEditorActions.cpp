// The Parameter editor's buttons, its exchanges with the instrument and its File menu;
// construction, layout and the copying between controls and parameters are in
// ParameterEditor.cpp.
#include "ui/ParameterEditor.h"

#include "params/ParameterFile.h"
#include "serial/SerialLines.h"
#include "serial/SerialPort.h"
#include "ui/CommDialog.h"
#include "ui/FailureTexts.h"
#include "ui/Printer.h"
#include "ui/Prompts.h"
#include "ui/ScreenFit.h"

#include <QGroupBox>
#include <QImage>
#include <QLayout>
#include <QPushButton>
#include <QWidget>

// ---- Buttons ------------------------------------------------------------------------

void ParameterEditor::Command1_Click()
{
    m_detailed = !m_detailed;
    applyLayout();
    // Grown, the window may now reach past the bottom of the screen.
    if (m_detailed && isVisible()) {
        layout()->activate();
        ScreenFit::keepOnScreen(this);
    }
}

void ParameterEditor::Command3_Click()
{
    if (!canStartCycle())
        return;
    startCycle(Operation::Load, m_texts.nowLoading, ParameterRules::loadExchanges(),
               [this](int index, const QByteArray &reply, QString *reason) {
                   // Stored at once: a later time-out keeps what already arrived.
                   const auto stored = ParameterRules::storeLoadReply(params(), index, reply);
                   if (!stored && reason)
                       *reason = replyFaultText(mainTexts(m_language), stored);
                   return stored.ok();
               });
}

void ParameterEditor::Command4_Click()
{
    if (!canStartCycle())
        return;
    const QString previous = m_frame1->title();
    m_frame1->setTitle(m_texts.nowTransmission);
    CollectParameters();
    if (!startCycle(Operation::Transmission, m_texts.nowTransmission,
                    ParameterRules::transmissionExchanges(params(), m_detailed)))
        m_frame1->setTitle(previous);
}

void ParameterEditor::Command5_Click()
{
    CollectParameters();
    accept();
}

// ---- Port cycles --------------------------------------------------------------------

bool ParameterEditor::canStartCycle() const
{
    return m_editorPort && m_operation == Operation::None && !m_editorPort->isBusy();
}

bool ParameterEditor::startCycle(Operation operation, const QString &caption,
                                 QList<Exchange> exchanges, ReplyHandler onReply)
{
    const QString previous = m_frame1->title();
    m_frame1->setTitle(caption);
    m_operation = operation;
    m_line = &m_editorPort->line();
    // A failed open is reported from inside startCycle(), through onCycleFinished.
    if (m_editorPort->startCycle(std::move(exchanges), std::move(onReply), this,
                                 [this](const CycleResult &r) { onCycleFinished(r); }))
        return true;
    m_frame1->setTitle(previous);
    m_operation = Operation::None;
    return false;
}

void ParameterEditor::cancelCycle()
{
    if (m_line)
        m_line->cancel(this); // the port closes and nothing is reported
    m_line.clear();
    m_operation = Operation::None;
}

void ParameterEditor::onCycleFinished(const CycleResult &result)
{
    const Operation operation = std::exchange(m_operation, Operation::None);
    m_line.clear();
    if (operation == Operation::None)
        return;
    if (result.status == CycleStatus::Ok) {
        if (operation == Operation::Load)
            ShowParameters();
    } else {
        // Fields a Load stored before the failure stay; the controls keep what they showed.
        const MainTexts &texts = mainTexts(m_language);
        m_context.prompts.message(this, texts.communicationError, failureDetail(texts, result));
    }
    m_frame1->setTitle(QString());
    if (const auto close = std::exchange(m_closeWhenSent, std::nullopt))
        done(*close);
}

// ---- File menu ----------------------------------------------------------------------

void ParameterEditor::OPEN_Click()
{
    const auto chosen = m_context.prompts.openFileName(this, m_texts.openFilter, m_fileName);
    if (!chosen)
        return;
    QString error;
    if (!ParameterFile::readFile(*chosen, params(), &error)) {
        m_context.prompts.message(this, m_texts.fileNotRead, error);
        return;
    }
    m_fileName = *chosen;
    m_context.session.settings().fom2file = *chosen;
    ShowParameters();
}

void ParameterEditor::SAVE_Click()
{
    const auto chosen = m_context.prompts.saveFileName(this, m_texts.saveFilter, m_fileName);
    if (!chosen)
        return;
    CollectParameters();
    m_fileName = ParameterFile::withTxtSuffix(*chosen);
    writeCurrentFile();
}

void ParameterEditor::SAVE_AS_Click()
{
    CollectParameters();
    writeCurrentFile();
}

bool ParameterEditor::writeCurrentFile()
{
    QString error;
    if (ParameterFile::writeFile(m_fileName, params(), &error))
        return true;
    m_context.prompts.message(this, m_texts.fileNotWritten, error);
    return false;
}

void ParameterEditor::PRINT_Click()
{
    QImage image = m_client->grab().toImage();
    // The printer sizes the image from its resolution: the window's size on the screen.
    const qreal dotsPerMetre = m_client->logicalDpiX() * image.devicePixelRatio() / 0.0254;
    image.setDotsPerMeterX(qRound(dotsPerMetre));
    image.setDotsPerMeterY(qRound(dotsPerMetre));
    PrintFailure failure;
    if (!m_printer->print(image, &failure)) {
        QString why = m_texts.printFaults[size_t(failure.kind)];
        if (failure.kind == PrintFailure::PrinterUnusable)
            why = why.arg(failure.printer);
        m_context.prompts.message(this, m_texts.printFailed, why);
    }
}

void ParameterEditor::CLOSE_Click()
{
    CollectParameters();
    accept();
}

void ParameterEditor::COMM_SET_Click()
{
    CommDialog dialog(m_language, m_context, m_editorPort, m_mainPort, this);
    dialog.exec();
}
