#include "ui/TrendChart.h"

#include "monitor/Clock.h"
#include "monitor/TrendScale.h"

#include <QCategoryAxis>
#include <QChart>
#include <QDateTime>
#include <QGraphicsItem>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

using std::chrono::milliseconds;
constexpr qint64 spanMs[] = {
    milliseconds(std::chrono::minutes(10)).count(), milliseconds(std::chrono::hours(1)).count(),
    milliseconds(std::chrono::hours(8)).count(), milliseconds(std::chrono::hours(24)).count(), 0};
constexpr qint64 shortestRangeMs = 10'000;
constexpr qint64 shortestAllMs = 60'000;
constexpr double scrollStep = 0.1; // of the shown range, per arrow key
constexpr double zoomStep = 0.8;   // of the shown range, per wheel notch or + key

constexpr int valueTicks = 6;
constexpr int timeTicks = 6;

const QColor lineColour(0x1f, 0x5f, 0xbf);
const QColor outsideColour(Qt::red);

} // namespace

// Draws the reduced history inside the chart's plot area.
class TraceItem : public QGraphicsItem {
public:
    explicit TraceItem(QChart *chart) : QGraphicsItem(chart), m_chart(chart) { setZValue(10); }

    void setData(std::vector<TrendSeries::Point> points, const AlarmLimits &limits, qint64 from,
                 qint64 to, double bottom, double top)
    {
        prepareGeometryChange();
        m_points = std::move(points);
        m_limits = limits;
        m_from = from;
        m_to = to;
        m_bottom = bottom;
        m_top = top;
        update();
    }
    const std::vector<TrendSeries::Point> &points() const { return m_points; }
    void plotAreaChanged() { prepareGeometryChange(); }

    QRectF boundingRect() const override { return m_chart->plotArea(); }

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *) override
    {
        const QRectF plot = m_chart->plotArea();
        if (plot.isEmpty() || m_to <= m_from || m_top <= m_bottom)
            return;
        painter->save();
        painter->setClipRect(plot);
        painter->setRenderHint(QPainter::Antialiasing, false);
        const auto at = [&](qint64 ms, double value) {
            return QPointF(plot.left() + double(ms - m_from) / double(m_to - m_from) * plot.width(),
                           plot.bottom() - (value - m_bottom) / (m_top - m_bottom) * plot.height());
        };
        const auto yOf = [&](double value) { return at(m_from, value).y(); };

        QPen limitPen(outsideColour, 1, Qt::DashLine);
        limitPen.setCosmetic(true);
        painter->setPen(limitPen);
        for (const auto &limit : {m_limits.high, m_limits.low})
            if (limit)
                painter->drawLine(QPointF(plot.left(), yOf(*limit)),
                                  QPointF(plot.right(), yOf(*limit)));

        // Each stretch between breaks as one polyline; a stretch of one point as a dot.
        QPen linePen(lineColour, 1);
        linePen.setCosmetic(true);
        painter->setPen(linePen);
        std::vector<QPointF> stretch, lone, outside;
        const auto drawStretch = [&] {
            if (stretch.size() == 1)
                lone.push_back(stretch.front());
            else if (stretch.size() > 1)
                painter->drawPolyline(stretch.data(), int(stretch.size()));
            stretch.clear();
        };
        for (const TrendSeries::Point &p : m_points) {
            if (p.isBreak()) {
                drawStretch();
                continue;
            }
            stretch.push_back(at(p.ms, p.value));
            if (m_limits.isOutside(p.value))
                outside.push_back(stretch.back());
        }
        drawStretch();
        painter->setPen(Qt::NoPen);
        painter->setBrush(lineColour);
        for (const QPointF &p : lone)
            painter->drawEllipse(p, 2.0, 2.0);
        painter->setBrush(outsideColour);
        for (const QPointF &p : outside)
            painter->drawEllipse(p, 2.5, 2.5);
        painter->restore();
    }

private:
    QChart *m_chart;
    std::vector<TrendSeries::Point> m_points;
    AlarmLimits m_limits;
    qint64 m_from = 0, m_to = 0;
    double m_bottom = 0, m_top = 1;
};

TrendChart::TrendChart(const Clock &clock, QWidget *parent)
    // The view owns the chart given here; one set later would leave the view's own default
    // chart to us to delete.
    : QChartView(new QChart, parent), m_clock(clock), m_chart(chart()), m_x(new QCategoryAxis),
      m_y(new QValueAxis)
{
    setObjectName(QStringLiteral("Chart"));
    m_chart->legend()->hide();
    // Flat and without smoothing: a shadow and antialiased grid lines double the cost of
    // every redraw and show nothing. Text stays smooth (the font's own antialiasing).
    m_chart->setDropShadowEnabled(false);
    m_chart->setBackgroundRoundness(0);
    m_chart->setMargins(QMargins(4, 4, 12, 4));
    m_chart->addAxis(m_x, Qt::AlignBottom);
    m_chart->addAxis(m_y, Qt::AlignLeft);
    m_x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    m_y->setLabelFormat(QStringLiteral("%.8g"));
    m_trace = new TraceItem(m_chart);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(200, 120);
    // A plot area of another width wants the history reduced to its columns again.
    connect(m_chart, &QChart::plotAreaChanged, this, [this](const QRectF &plot) {
        m_trace->plotAreaChanged();
        if (std::max(1, int(plot.width())) != m_columns)
            refresh();
    });
    refresh();
}

TrendChart::~TrendChart() = default;

const std::vector<TrendSeries::Point> &TrendChart::drawnPoints() const
{
    return m_trace->points();
}

void TrendChart::setSeries(const TrendSeries *series)
{
    m_series = series;
    refresh();
}

void TrendChart::setLimits(const AlarmLimits &limits)
{
    m_limits = limits;
    refresh();
}

void TrendChart::setSpan(Span span)
{
    m_span = span;
    setFollowing(true);
    refresh();
}

void TrendChart::follow()
{
    setFollowing(true);
    refresh();
}

void TrendChart::setFollowing(bool following)
{
    if (m_following == following)
        return;
    m_following = following;
    Q_EMIT followingChanged(following);
}

void TrendChart::refresh()
{
    if (!m_following) {
        showRange(m_from, m_to);
        return;
    }
    const qint64 span = spanMs[int(m_span)];
    if (!m_series || m_series->isEmpty()) {
        const qint64 now = m_clock.now().toMSecsSinceEpoch();
        showRange(now - (span ? span : spanMs[0]), now);
        return;
    }
    const qint64 last = m_series->at(m_series->size() - 1).ms;
    if (span) {
        showRange(last - span, last);
        return;
    }
    const qint64 first = m_series->at(0).ms;
    showRange(std::min(first, last - shortestAllMs), last);
}

void TrendChart::showRange(qint64 from, qint64 to)
{
    m_from = from;
    m_to = std::max(to, from + 1);
    m_columns = std::max(1, int(m_chart->plotArea().width()));
    std::vector<TrendSeries::Point> points;
    if (m_series)
        points = Trend::reduce(*m_series, m_from, m_to, m_columns);

    // The values in view decide the scale, and the limits show whenever they are set.
    const Trend::ValueScale scale = Trend::valueScale(points, m_from, m_to, m_limits, valueTicks);
    m_y->setTickCount(scale.ticks());
    m_y->setRange(scale.low, scale.high);
    showTimeTicks();
    m_trace->setData(std::move(points), m_limits, m_from, m_to, scale.low, scale.high);
    Q_EMIT viewChanged();
}

void TrendChart::showTimeTicks()
{
    // Round local times, each labelled on its grid line; the axis takes them as values.
    const qint64 length = m_to - m_from;
    const QString format = length <= spanMs[1]   ? QStringLiteral("HH:mm:ss")
                           : length <= spanMs[3] ? QStringLiteral("HH:mm")
                                                 : QStringLiteral("MM-dd HH:mm");
    std::vector<qint64> ticks = Trend::timeTicks(m_from, m_to, timeTicks);
    if (ticks != m_timeTicks || format != m_timeFormat) {
        for (const QString &label : m_x->categoriesLabels())
            m_x->remove(label);
        for (const qint64 tick : ticks)
            m_x->append(QDateTime::fromMSecsSinceEpoch(tick).toString(format), double(tick));
        m_timeTicks = std::move(ticks);
        m_timeFormat = format;
    }
    m_x->setStartValue(double(m_from));
    m_x->setRange(double(m_from), double(m_to));
}

void TrendChart::userRange(qint64 from, qint64 to)
{
    setFollowing(false);
    showRange(from, to);
}

void TrendChart::zoom(double factor, double anchor)
{
    const double length = double(m_to - m_from);
    const double newLength = std::max(double(shortestRangeMs), length * factor);
    const double at = double(m_from) + anchor * length;
    const qint64 from = qint64(at - anchor * newLength);
    userRange(from, from + qint64(newLength));
}

void TrendChart::wheelEvent(QWheelEvent *event)
{
    const int notches = event->angleDelta().y() / 120;
    if (notches == 0)
        return;
    const QRectF plot = m_chart->plotArea();
    const double anchor =
        std::clamp((event->position().x() - plot.left()) / std::max(1.0, plot.width()), 0.0, 1.0);
    zoom(std::pow(zoomStep, notches), anchor);
    event->accept();
}

void TrendChart::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QChartView::mousePressEvent(event);
    m_dragX = int(event->position().x());
    m_dragFrom = m_from;
    setCursor(Qt::ClosedHandCursor);
    event->accept();
}

void TrendChart::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragX < 0)
        return QChartView::mouseMoveEvent(event);
    const double width = std::max(1.0, m_chart->plotArea().width());
    const qint64 length = m_to - m_from;
    const qint64 shift = qint64((event->position().x() - m_dragX) / width * double(length));
    if (shift != 0)
        userRange(m_dragFrom - shift, m_dragFrom - shift + length);
    event->accept();
}

void TrendChart::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_dragX < 0)
        return QChartView::mouseReleaseEvent(event);
    m_dragX = -1;
    unsetCursor();
    event->accept();
}

void TrendChart::paintEvent(QPaintEvent *event)
{
    QChartView::paintEvent(event);
    Q_EMIT painted();
}

void TrendChart::keyPressEvent(QKeyEvent *event)
{
    const qint64 step = qint64(double(m_to - m_from) * scrollStep);
    switch (event->key()) {
    case Qt::Key_Left:
        return userRange(m_from - step, m_to - step);
    case Qt::Key_Right:
        return userRange(m_from + step, m_to + step);
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        return zoom(zoomStep, 0.5);
    case Qt::Key_Minus:
        return zoom(1 / zoomStep, 0.5);
    case Qt::Key_End:
        return follow();
    default:
        QChartView::keyPressEvent(event);
    }
}
