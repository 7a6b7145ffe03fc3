#include "ui/TrendWindow.h"

#include "core/FileNames.h"
#include "core/Options.h"
#include "ui/Controls.h"
#include "ui/Prompts.h"
#include "ui/ScreenFit.h"
#include "ui/TrendChart.h"
#include "ui/TrendStatistics.h"

#include <QBoxLayout>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QImageWriter>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTableWidget>

namespace {

constexpr qint64 beginning = std::numeric_limits<qint64>::min() / 2;
constexpr qint64 end = std::numeric_limits<qint64>::max() / 2;
const QString none = QStringLiteral("-");

QString localTime(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QLabel *labelFor(QWidget *parent, const QString &text, QWidget *field)
{
    auto *label = new QLabel(text, parent);
    label->setBuddy(field);
    return label;
}

} // namespace

TrendWindow::TrendWindow(Language language, UiContext &context, QWidget *parent)
    : QMainWindow(parent), m_language(language), m_texts(trendTexts(language)), m_context(context),
      m_resetMs(beginning), m_pacer([this] { m_chart->refresh(); })
{
    setObjectName(QStringLiteral("Trend"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(m_texts.caption);
    buildMenus();
    setCentralWidget(buildControls());
    resize(1080, 580);

    m_chart->setLimits(m_context.session.limits());
    connect(m_chart, &TrendChart::viewChanged, this, &TrendWindow::updateStatistics);
    connect(m_chart, &TrendChart::followingChanged, m_follow,
            [this](bool following) { m_follow->setEnabled(!following); });
    connect(m_chart, &TrendChart::painted, &m_pacer, &RefreshPacer::painted);
    connect(&m_context.history, &LiveHistory::changed, this, [this] {
        if (mode() == Mode::Live && isVisible())
            m_pacer.request();
    });
    connect(&m_reader, &LogReader::finished, this,
            [this](const QString &path) { showLog(path, m_reader.takeResult()); });
    connect(&m_reader, &LogReader::cancelled, this, &TrendWindow::showMode);
    showLive();
}

TrendWindow::~TrendWindow() = default;

void TrendWindow::buildMenus()
{
    QMenu *file = menuBar()->addMenu(m_texts.menuFile);
    file->setObjectName(QStringLiteral("TrendFile"));
    connect(Controls::menuItem(file, "OpenLog", m_texts.menuOpen), &QAction::triggered, this,
            [this] {
                const QString initial =
                    m_filePath.isEmpty() ? m_context.session.settings().fom1file : m_filePath;
                if (const auto chosen =
                        m_context.prompts.openFileName(this, QStringLiteral("*.csv"), initial))
                    openLog(*chosen);
            });
    connect(Controls::menuItem(file, "LiveData", m_texts.menuLive), &QAction::triggered, this,
            &TrendWindow::showLive);
    file->addSeparator();
    connect(Controls::menuItem(file, "SavePng", m_texts.menuSavePng), &QAction::triggered, this,
            &TrendWindow::savePng);
    connect(Controls::menuItem(file, "CopyStatistics", m_texts.menuCopy), &QAction::triggered, this,
            [this] { QGuiApplication::clipboard()->setText(statisticsText()); });
    file->addSeparator();
    connect(Controls::menuItem(file, "CloseTrend", m_texts.menuClose), &QAction::triggered, this,
            &QWidget::close);
}

QWidget *TrendWindow::buildControls()
{
    auto *client = new QWidget(this);
    m_mode = new QLabel(client);
    m_mode->setObjectName(QStringLiteral("Mode"));
    m_mode->setTextFormat(Qt::PlainText);
    QFont bold = m_mode->font();
    bold.setBold(true);
    m_mode->setFont(bold);
    m_note = new QLabel(client);
    m_note->setObjectName(QStringLiteral("Note"));
    m_note->setTextFormat(Qt::PlainText);
    m_note->setWordWrap(true);

    m_span = new QComboBox(client);
    m_span->setObjectName(QStringLiteral("Span"));
    m_span->addItems(m_texts.spans);
    m_follow = new QPushButton(m_texts.follow, client);
    m_follow->setObjectName(QStringLiteral("Follow"));
    m_follow->setEnabled(false);
    m_high = new QLineEdit(limitText(m_context.session.limits().high), client);
    m_high->setObjectName(QStringLiteral("HighLimit"));
    m_low = new QLineEdit(limitText(m_context.session.limits().low), client);
    m_low->setObjectName(QStringLiteral("LowLimit"));
    for (QLineEdit *field : {m_high, m_low}) {
        field->setMaximumWidth(120);
        connect(field, &QLineEdit::returnPressed, this, &TrendWindow::applyLimits);
    }
    auto *apply = new QPushButton(m_texts.apply, client);
    apply->setObjectName(QStringLiteral("ApplyLimits"));

    m_chart = new TrendChart(m_context.clock, client);
    m_chart->setAccessibleName(m_texts.chartName);

    m_stats = new QTableWidget(int(m_texts.rows.size()), 2, client);
    m_stats->setObjectName(QStringLiteral("Statistics"));
    m_stats->setVerticalHeaderLabels(m_texts.rows);
    m_stats->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_stats->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_stats->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    // Wide enough for two columns of "12.3456 (12-08 13:59:59)" beside the row names.
    const QFontMetrics metrics = m_stats->fontMetrics();
    int names = 0;
    for (const QString &row : m_texts.rows)
        names = std::max(names, metrics.horizontalAdvance(row));
    const int cell = metrics.horizontalAdvance(QStringLiteral("12.3456 (12-08 13:59:59)"));
    m_stats->setMaximumWidth(names + 2 * cell + 48);
    m_stats->setMinimumWidth(160); // a small screen scrolls it instead
    m_stats->setWordWrap(false);
    for (int r = 0; r < m_stats->rowCount(); ++r)
        for (int c = 0; c < 2; ++c)
            m_stats->setItem(r, c, new QTableWidgetItem(none));
    m_reset = new QPushButton(m_texts.reset, client);
    m_reset->setObjectName(QStringLiteral("ResetStatistics"));

    auto *controls = new QHBoxLayout;
    controls->addWidget(labelFor(client, m_texts.span, m_span));
    controls->addWidget(m_span);
    controls->addWidget(m_follow);
    controls->addStretch();
    controls->addWidget(labelFor(client, m_texts.highLimit, m_high));
    controls->addWidget(m_high);
    controls->addWidget(labelFor(client, m_texts.lowLimit, m_low));
    controls->addWidget(m_low);
    controls->addWidget(apply);

    auto *side = new QVBoxLayout;
    side->addWidget(m_stats, 1);
    side->addWidget(m_reset, 0, Qt::AlignRight);
    auto *body = new QHBoxLayout;
    body->addWidget(m_chart, 3);
    body->addLayout(side, 2);

    auto *layout = new QVBoxLayout(client);
    layout->addWidget(m_mode);
    layout->addWidget(m_note);
    layout->addLayout(controls);
    layout->addLayout(body, 1);

    setTabOrder(m_span, m_follow);
    setTabOrder(m_follow, m_high);
    setTabOrder(m_high, m_low);
    setTabOrder(m_low, apply);
    setTabOrder(apply, m_chart);
    setTabOrder(m_chart, m_stats);
    setTabOrder(m_stats, m_reset);

    connect(m_span, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_chart->setSpan(TrendChart::Span(index)); });
    connect(m_follow, &QPushButton::clicked, m_chart, &TrendChart::follow);
    connect(apply, &QPushButton::clicked, this, &TrendWindow::applyLimits);
    connect(m_reset, &QPushButton::clicked, this, [this] {
        m_resetMs = m_context.clock.now().toMSecsSinceEpoch();
        updateStatistics();
    });
    return client;
}

void TrendWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous()) // its frame is known now
        ScreenFit::keepOnScreen(this);
}

void TrendWindow::showLive()
{
    m_reader.cancel(); // the operator went back to the live data meanwhile
    m_file.reset();
    m_filePath.clear();
    m_chart->setSeries(&shownSeries());
    showMode();
}

void TrendWindow::showMode()
{
    const bool live = mode() == Mode::Live;
    m_mode->setText(live ? m_texts.live : m_texts.file.arg(QDir::toNativeSeparators(m_filePath)));
    QStringList note;
    if (!live) {
        note << m_texts.fileSummary.arg(m_file->records);
        if (m_file->damaged)
            note << m_texts.fileDamaged.arg(m_file->damaged).arg(m_file->firstDamagedLine);
        if (m_file->leftOut)
            note << m_texts.fileLeftOut.arg(m_file->leftOut);
    }
    m_note->setText(note.join(u' '));
    m_note->setVisible(!live);
    m_reset->setEnabled(live);
    m_stats->setHorizontalHeaderLabels(
        {m_texts.shownSpan, live ? m_texts.sinceReset : m_texts.wholeFile});
    updateStatistics();
}

void TrendWindow::openLog(const QString &path)
{
    if (m_reader.start(path))
        m_mode->setText(m_texts.reading.arg(QDir::toNativeSeparators(path)));
}

void TrendWindow::showLog(const QString &path, LogReview::Result result)
{
    if (!result.error.isEmpty()) {
        showMode();
        m_context.prompts.message(this, m_texts.notRead, result.error);
        Q_EMIT logRead();
        return;
    }
    m_file = std::make_unique<LogReview::Result>(std::move(result));
    m_filePath = QFileInfo(path).absoluteFilePath();
    m_chart->setSeries(&m_file->series);
    m_span->setCurrentIndex(int(TrendChart::Span::All)); // shows the whole file
    m_chart->setSpan(TrendChart::Span::All);
    showMode();
    Q_EMIT logRead();
}

void TrendWindow::applyLimits()
{
    const auto high = parseLimit(m_high->text());
    const auto low = parseLimit(m_low->text());
    for (auto [limit, field] : {std::pair{&high, m_high}, std::pair{&low, m_low}})
        if (!*limit) {
            m_context.prompts.message(this, m_texts.notALimit.arg(field->text()));
            field->setFocus();
            return;
        }
    const AlarmLimits limits{*high, *low};
    if (limits.high && limits.low && *limits.low > *limits.high) {
        m_context.prompts.message(this, m_texts.limitsCrossed);
        m_low->setFocus();
        return;
    }
    m_high->setText(limitText(limits.high));
    m_low->setText(limitText(limits.low));
    QString error;
    const bool saved =
        LimitsFile::save(OptionsFile::path(m_context.session.folder()), limits, &error);
    // As with the options: limits the file could not take still hold for this run.
    m_context.session.setLimits(limits);
    m_chart->setLimits(limits);
    Q_EMIT limitsChanged();
    if (!saved)
        m_context.prompts.message(this, m_texts.limitsNotSaved, error);
}

void TrendWindow::updateStatistics()
{
    const TrendSeries &series = shownSeries();
    const AlarmLimits &limits = m_context.session.limits();
    const auto column = [&](qint64 from, qint64 to) {
        return TrendStatistics::column(Trend::summarize(series, from, to, limits), limits,
                                       series.decimals());
    };
    const qint64 wholeFrom = m_file ? beginning : m_resetMs;
    m_shown = column(m_chart->from(), m_chart->to());
    // All of it in view (the usual way to watch a day or a week): the same points, read once.
    const bool same = series.lowerBound(m_chart->from()) == series.lowerBound(wholeFrom) &&
                      series.lowerBound(m_chart->to() + 1) == series.lowerBound(end + 1);
    m_whole = same ? m_shown : column(wholeFrom, end);
    for (int r = 0; r < m_stats->rowCount(); ++r) {
        m_stats->item(r, 0)->setText(m_shown.value(r));
        m_stats->item(r, 1)->setText(m_whole.value(r));
    }
}

const TrendSeries &TrendWindow::shownSeries() const
{
    return m_file ? m_file->series : m_context.history.series();
}

QString TrendWindow::statisticsText() const
{
    return TrendStatistics::text(
        m_mode->text(),
        QStringLiteral("%1 - %2").arg(localTime(m_chart->from()), localTime(m_chart->to())),
        {m_texts.shownSpan, mode() == Mode::Live ? m_texts.sinceReset : m_texts.wholeFile},
        m_texts.rows, m_shown, m_whole);
}

void TrendWindow::savePng()
{
    const auto chosen =
        m_context.prompts.saveFileName(this, QStringLiteral("*.png"), QStringLiteral("trend.png"));
    if (!chosen)
        return;
    const QString path = FileNames::withSuffix(*chosen, QStringLiteral(".png"));
    QImageWriter writer(path, "png");
    if (!writer.write(m_chart->grab().toImage()))
        m_context.prompts.message(
            this, m_texts.chartNotSaved,
            QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), writer.errorString()));
}
