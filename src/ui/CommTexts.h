#pragma once

#include "core/Language.h"

#include <QString>

// The communication settings dialog's texts, per language.
struct CommTexts {
    QString caption, port, baudRate, otherConditions, ok, cancel;
};

const CommTexts &commTexts(Language language);
