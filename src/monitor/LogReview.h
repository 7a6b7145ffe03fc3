#pragma once

#include "monitor/TrendSeries.h"

#include <QByteArrayView>
#include <QString>

#include <functional>

// Reads a measurement log ("yyyymmdd","hhmmss","value" CR LF per record, local time) back
// into a history for review, of any size, a daily file included. Lines that are no record
// are counted, never fatal; a value that is no number is a record of a reply that was no
// number. Records out of time order are put in order. Where records are missing (a step
// more than one and a half times the file's usual step between records) the history
// breaks.
namespace LogReview {

// More records than a review holds (320 MB of history, 230 days at 1 s) are left out.
inline constexpr qint64 maxRecords = 20'000'000;

struct Result {
    TrendSeries series{0};
    qint64 records = 0;          // records read, numbers or not
    qint64 damaged = 0;          // lines that are no record (blank lines aside)
    qint64 firstDamagedLine = 0; // its line number, from 1; 0 when none
    qint64 leftOut = 0;          // records beyond maxRecords
    qint64 stepMs = 0;           // the usual step between records; 0 below two records
    QString error;               // the file could not be read: its path and the reason
};

// `cancelled` (if given) is asked between chunks; true ends the reading early, with what
// was read.
Result read(const QString &path, const std::function<bool()> &cancelled = {});
// The same for a file's whole content.
Result parse(QByteArrayView bytes);

} // namespace LogReview
