#include "ui/TrendStatistics.h"

#include <QDateTime>

namespace {

const QString none = QStringLiteral("-");

QString duration(qint64 ms)
{
    const qint64 s = ms / 1000;
    const QString clock = QStringLiteral("%1:%2:%3")
                              .arg(s / 3600 % 24, 2, 10, QLatin1Char('0'))
                              .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                              .arg(s % 60, 2, 10, QLatin1Char('0'));
    return s >= 86400 ? QStringLiteral("%1 d %2").arg(s / 86400).arg(clock) : clock;
}

} // namespace

namespace TrendStatistics {

QStringList column(const TrendStats &s, const AlarmLimits &limits, int decimals)
{
    const auto value = [decimals](double v, int significant) {
        return decimals >= 0 ? QString::number(v, 'f', decimals)
                             : QString::number(v, 'g', significant);
    };
    const bool any = s.count > 0;
    const auto sd = s.standardDeviation();
    const QString latestAt =
        QDateTime::fromMSecsSinceEpoch(s.latestMs).toString(QStringLiteral("MM-dd HH:mm:ss"));
    return {QString::number(s.count),
            any ? value(s.minimum, 12) : none,
            any ? value(s.maximum, 12) : none,
            any ? value(s.mean, 7) : none,
            sd ? value(*sd, 7) : none,
            any ? QStringLiteral("%1 (%2)").arg(value(s.latest, 12), latestAt) : none,
            QString::number(s.notNumbers),
            limits.isSet() ? QString::number(s.outsideCount) : none,
            limits.isSet() ? duration(s.outsideMs) : none};
}

QString text(const QString &title, const QString &range, const QStringList &headers,
             const QStringList &rows, const QStringList &shown, const QStringList &whole)
{
    QStringList lines{title, range, u'\t' + headers.join(u'\t')};
    for (qsizetype r = 0; r < rows.size(); ++r)
        lines << QStringLiteral("%1\t%2\t%3").arg(rows[r], shown.value(r), whole.value(r));
    return lines.join(u'\n') + u'\n';
}

} // namespace TrendStatistics
