#pragma once

#include "core/AlarmLimits.h"
#include "monitor/TrendSeries.h"

#include <QChartView>

#include <vector>

class Clock;
class QChart;
class QCategoryAxis;
class QValueAxis;
class TraceItem;

// The measured value against local time: Qt Charts' axes and grid, with the history drawn
// by an item of our own so that a break in the data is a break in the line and a span of
// any length costs a few points per pixel column. Values outside the alarm limits are red
// dots; the limits are dashed lines.
//
// The view follows the newest point (its right edge) until the user scrolls or zooms:
// dragging or the arrow keys scroll, the wheel or +/- zoom about the pointer or the middle;
// follow() returns to the newest point.
class TrendChart : public QChartView {
    Q_OBJECT
public:
    enum class Span { TenMinutes, Hour, EightHours, Day, All };

    // `clock` gives the time an empty chart ends at; it must outlive the chart.
    explicit TrendChart(const Clock &clock, QWidget *parent = nullptr);
    ~TrendChart() override;

    // What to draw; it must outlive the chart or be replaced first. Null: nothing.
    void setSeries(const TrendSeries *series);
    void setLimits(const AlarmLimits &limits);
    // Shows the span ending at the newest point and follows it.
    void setSpan(Span span);
    Span span() const { return m_span; }
    void follow();
    bool isFollowing() const { return m_following; }
    // The series changed: draws it again (when following, the view moves with it).
    void refresh();

    // The shown time range, milliseconds since the epoch.
    qint64 from() const { return m_from; }
    qint64 to() const { return m_to; }
    // The time one pixel column of the plot stands for, in milliseconds.
    qint64 columnMs() const { return (m_to - m_from) / m_columns; }
    // The points handed to the drawing at the last refresh.
    const std::vector<TrendSeries::Point> &drawnPoints() const;

Q_SIGNALS:
    // The shown range changed (new data while following, scrolling, zooming, a new span).
    void viewChanged();
    void followingChanged(bool following);
    // The chart has been painted.
    void painted();

protected:
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void showRange(qint64 from, qint64 to);
    void showTimeTicks();
    void userRange(qint64 from, qint64 to);
    void zoom(double factor, double anchor); // anchor: 0 left edge .. 1 right edge
    void setFollowing(bool following);

    const Clock &m_clock;
    QChart *m_chart;
    QCategoryAxis *m_x;
    QValueAxis *m_y;
    TraceItem *m_trace;
    const TrendSeries *m_series = nullptr;
    AlarmLimits m_limits;
    Span m_span = Span::TenMinutes;
    bool m_following = true;
    qint64 m_from = 0, m_to = 0;
    int m_columns = 1;               // pixel columns of the last reduction
    std::vector<qint64> m_timeTicks; // on the time axis now
    QString m_timeFormat;
    int m_dragX = -1; // where a drag started, in pixels; -1 when none
    qint64 m_dragFrom = 0;
};
