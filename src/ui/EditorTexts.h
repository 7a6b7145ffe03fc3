#pragma once

#include "core/Language.h"
#include "params/ParameterRules.h"

#include <QString>
#include <QStringList>

#include <array>

// Every text of the Parameter editor window, per language, exactly as operators know them
// (the full-width parentheses of several list items included). Texts that stay English in
// the Japanese window are the same in both tables.
struct EditorTexts {
    QString caption;
    QString standard, details; // Command1 in the Standard and the Details layout
    QString ok, load, transmission;
    QString nowLoading, nowTransmission; // Frame1 while an exchange runs

    std::array<QString, 3> limitLabels; // Label1..Label3: REF PRESET, HIGH LIMIT, LOW LIMIT
    QString modeLabel;                  // Label5
    // Row labels and items of the lists, in ParameterRules::listFields order
    // (Label4 AVE, Label6 GAIN, ... Label15 Self test).
    std::array<QString, ParameterRules::listCount> listLabels;
    std::array<QStringList, ParameterRules::listCount> listItems;

    QString menuFile, menuOpen, menuSaveAsDialog, menuSave, menuPrint, menuClose;
    QString menuEdit, menuCommSet;
    QString menuDetails;            // the layout button's work, from the keyboard
    QString openFilter, saveFilter; // file-dialog filters, the same in both languages

    // Failures the window reports; the reason goes to the message's detail.
    QString fileNotRead, fileNotWritten, printFailed;
    // Why printing failed, by PrintFailure::Kind; %1 the printer.
    std::array<QString, 4> printFaults;
};

const EditorTexts &editorTexts(Language language);
