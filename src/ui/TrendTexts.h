#pragma once

#include "core/Language.h"

#include <QString>
#include <QStringList>

// The Trend window's texts, per language.
struct TrendTexts {
    QString caption;
    QString menuFile, menuOpen, menuLive, menuSavePng, menuCopy, menuClose;
    QString live;        // the mode: the polled values of this run
    QString file;        // the mode: %1 the log file
    QString reading;     // %1 the log file
    QString fileSummary; // %1 records
    QString fileDamaged; // %1 lines that are no record, %2 the first one's number
    QString fileLeftOut; // %1 records beyond what a review holds
    QString notRead;     // headline: a log that could not be read
    QString span, follow;
    QStringList spans; // 10 min, 1 h, 8 h, 24 h, all
    QString highLimit, lowLimit, apply;
    QString notALimit;      // %1 the text
    QString limitsCrossed;  // the low limit above the high one
    QString limitsNotSaved; // the preferences file could not be written
    QString shownSpan, sinceReset, wholeFile, reset;
    // Statistics rows: count, minimum, maximum, mean, standard deviation, latest, replies
    // that were no number, values outside the limits, time outside the limits.
    QStringList rows;
    QString chartNotSaved; // headline: the PNG could not be written
    QString chartName;     // the chart's accessible name
};

const TrendTexts &trendTexts(Language language);
