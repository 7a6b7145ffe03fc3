#pragma once

#include "core/Language.h"
#include "monitor/LogReader.h"
#include "monitor/LogReview.h"
#include "ui/RefreshPacer.h"
#include "ui/TrendTexts.h"
#include "ui/UiContext.h"

#include <QMainWindow>

#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class TrendChart;

// The Trend window (one class, both languages, not modal): the measured value's history as
// a chart with its statistics and the alarm limits, in one of two modes. Live shows what the
// Main window's polling received in this run (UiContext::history); File shows a measurement
// log opened for review, read in the background so polling goes on meanwhile.
class TrendWindow : public QMainWindow {
    Q_OBJECT
public:
    enum class Mode { Live, File };

    TrendWindow(Language language, UiContext &context, QWidget *parent = nullptr);
    ~TrendWindow() override;

    Mode mode() const { return m_file ? Mode::File : Mode::Live; }
    TrendChart *chart() const { return m_chart; }
    bool isReading() const { return m_reader.isReading(); }

    // Reads `path` and shows it (File mode) once read; a file that cannot be read is reported
    // and the window stays as it was.
    void openLog(const QString &path);
    void showLive();

    // The statistics as tab-separated text, as Copy statistics puts them on the clipboard.
    QString statisticsText() const;

Q_SIGNALS:
    // New limits hold (the session has them, saved or not).
    void limitsChanged();
    // A log has been read and is shown, or could not be read.
    void logRead();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildMenus();
    QWidget *buildControls();
    void applyLimits();
    void updateStatistics();
    void showLog(const QString &path, LogReview::Result result);
    void savePng();
    void showMode();
    const TrendSeries &shownSeries() const;

    const Language m_language;
    const TrendTexts &m_texts;
    UiContext &m_context;

    TrendChart *m_chart = nullptr;
    QLabel *m_mode = nullptr, *m_note = nullptr;
    QComboBox *m_span = nullptr;
    QPushButton *m_follow = nullptr, *m_reset = nullptr;
    QLineEdit *m_high = nullptr, *m_low = nullptr;
    QTableWidget *m_stats = nullptr;

    std::unique_ptr<LogReview::Result> m_file; // File mode: the log shown
    QString m_filePath;
    qint64 m_resetMs;             // Live mode: statistics since this time
    QStringList m_shown, m_whole; // the statistics' two columns as shown
    RefreshPacer m_pacer;         // live refreshes
    LogReader m_reader;
};
