#pragma once

#include "core/AlarmLimits.h"
#include "monitor/TrendSeries.h"

#include <QStringList>

// The Trend window's statistics table as text, without the window.
namespace TrendStatistics {

// One column, a text per row in the order of the table's rows (count, minimum, maximum,
// mean, standard deviation, latest, not numbers, outside limits, time outside). Values
// carry `decimals` digits after the point, as the replies do; -1 (not known): up to 12
// significant digits for values, 7 for the mean and the deviation.
QStringList column(const TrendStats &stats, const AlarmLimits &limits, int decimals);

// The table as tab-separated lines, as it goes to the clipboard: `title` and `range` lines,
// the column headers, then each row's name and its two columns.
QString text(const QString &title, const QString &range, const QStringList &headers,
             const QStringList &rows, const QStringList &shown, const QStringList &whole);

} // namespace TrendStatistics
