// The Trend window's costs, each against a baseline measured in the same run:
//  memory   7 days of live data at 1 s (604,800 points), alone and with the window drawing
//           them, as resident memory grows (target < 60 MB);
//  redraw   one span of that history, statistics included, against the same window with no
//           data (target < 50 ms at every span);
//  open     a 604,800-record log read and drawn, against reading its bytes and counting its
//           lines (target < 1 s);
//  poll     the Main window polling qsr540-sim at 1 s, without and then with the Trend window
//           open on the whole 7-day history, in alternating rounds: timing of the polls
//           (N polls take N s +- 200 ms) and CPU (at most 1.5x closed, the window's part
//           under 0.5 % of a core).
//
// Usage: bench-trend FOLDER [POLLS]   FOLDER: a program folder whose ports/COM1 leads to a
// running simulator (bench/trend makes one). Prints figures, ratios and PASS/FAIL; exits 1
// when a target fails.
#include "BenchKit.h"
#include "BenchProgram.h"
#include "monitor/Monitor.h"
#include "ui/MainWindow.h"
#include "ui/TrendChart.h"
#include "ui/TrendWindow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {

using bench::median;
using bench::verdict;
using bench::waitFor;

constexpr qint64 week = 7 * 24 * 3600;
double residentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    return 0;
}

double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double timedMs(const std::function<void()> &work)
{
    QElapsedTimer t;
    t.start();
    work();
    return double(t.nsecsElapsed()) / 1e6;
}

double valueAt(qint64 s)
{
    return 12.3 + 0.05 * std::sin(double(s) / 2400) + 0.004 * std::sin(double(s) * 7.77);
}

// A week at 1 s ending now, with a pause of 20 minutes every day.
void fillWeek(LiveHistory &history)
{
    const qint64 end = QDateTime::currentMSecsSinceEpoch();
    for (qint64 s = 0; s < week; ++s) {
        const QDateTime at = QDateTime::fromMSecsSinceEpoch(end - (week - s) * 1000);
        if (s % 86400 == 43200)
            history.addBreak(at);
        history.addReading(at, QByteArray::number(valueAt(s), 'f', 4));
    }
}

QString writeWeekLog(const QString &folder)
{
    const QString path = folder + QStringLiteral("/week.csv");
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    QByteArray bytes;
    char line[64];
    for (qint64 s = 0; s < week; ++s) {
        const qint64 t = s % 86400;
        std::snprintf(line, sizeof line, "\"202612%02d\",\"%02d%02d%02d\",\"%.3f\"\r\n",
                      int(1 + s / 86400), int(t / 3600), int(t / 60 % 60), int(t % 60), valueAt(s));
        bytes += line;
    }
    out.write(bytes);
    return path;
}

// Polls `polls` times at 1 s; the wall time from the first poll to the last, and the CPU
// taken meanwhile.
struct PollRun {
    double wallMs = 0, cpuMs = 0;
    int polls = 0;
};
PollRun poll(MainWindow &w, int polls)
{
    std::vector<double> at;
    double cpuStart = 0;
    QElapsedTimer clock;
    clock.start();
    const auto c = QObject::connect(w.monitor(), &Monitor::pollStarted, [&] {
        if (at.empty())
            cpuStart = cpuMs();
        at.push_back(double(clock.nsecsElapsed()) / 1e6);
    });
    auto *start = w.findChild<QPushButton *>(QStringLiteral("Command1"));
    start->click();
    waitFor([&] { return int(at.size()) >= polls; }, (polls + 10) * 1000);
    const double cpu = cpuMs() - cpuStart;
    start->click();
    QObject::disconnect(c);
    waitFor([] { return false; }, 300); // the last reply
    return {at.size() > 1 ? at.back() - at.front() : 0, cpu, int(at.size())};
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench-trend FOLDER [POLLS]\n");
        return 2;
    }
    const QString folderPath = QString::fromLocal8Bit(argv[1]);
    const int polls = argc > 2 ? std::max(3, atoi(argv[2])) : 60;
    bench::Program program(folderPath);
    UiContext &context = program.context;
    std::printf("platform %s\n", qPrintable(QApplication::platformName()));

    // Memory.
    const double before = residentMb();
    fillWeek(context.history);
    const double withData = residentMb();
    {
        TrendWindow window(Language::English, context);
        window.show();
        window.findChild<QComboBox *>(QStringLiteral("Span"))->setCurrentIndex(4);
        window.chart()->viewport()->repaint();
        QCoreApplication::processEvents();
        const double withWindow = residentMb();
        std::printf("memory: 7 days of live data (%lld points)\n",
                    static_cast<long long>(context.history.series().size()));
        std::printf("  history alone        %6.1f MB (%zu bytes a point)\n", withData - before,
                    sizeof(TrendSeries::Point));
        std::printf("  with the window      %6.1f MB, %.2fx the history alone\n",
                    withWindow - before, (withWindow - before) / (withData - before));
        verdict(withWindow - before < 60, "7 days of live data with the window < 60 MB");

        // Redraw at each span.
        TrendSeries empty;
        std::printf("redraw (median of 15), against the same window with no data\n");
        const char *names[] = {"10 min", "1 h", "8 h", "24 h", "all"};
        double worst = 0;
        for (int span = 0; span < 5; ++span) {
            std::vector<double> full, bare;
            for (int i = 0; i < 15; ++i) {
                const auto redraw = [&] {
                    window.chart()->setSpan(TrendChart::Span(span));
                    window.chart()->viewport()->repaint();
                };
                window.chart()->setSeries(&empty);
                bare.push_back(timedMs(redraw));
                window.chart()->setSeries(&context.history.series());
                full.push_back(timedMs(redraw));
            }
            const double m = median(full), b = median(bare);
            worst = std::max(worst, m);
            std::printf("  %-6s %7.2f ms  baseline %6.2f ms  %.2fx\n", names[span], m, b, m / b);
        }
        verdict(worst < 50, "a redraw at any span < 50 ms");

        // Opening a week's log.
        const QString log = writeWeekLog(folderPath);
        std::vector<double> opened, raw;
        for (int i = 0; i < 5; ++i) {
            raw.push_back(timedMs([&] {
                QFile f(log);
                f.open(QIODevice::ReadOnly);
                volatile qsizetype n = f.readAll().count('\n');
                (void)n;
            }));
            window.showLive();
            opened.push_back(timedMs([&] {
                window.openLog(log);
                waitFor([&] { return !window.isReading(); }, 30000);
                window.chart()->viewport()->repaint();
            }));
        }
        const double mo = median(opened), mr = median(raw);
        std::printf("open a log of %lld records (median of 5)\n", static_cast<long long>(week));
        std::printf("  read and drawn %7.1f ms  baseline (read its bytes) %6.1f ms  %.2fx\n", mo,
                    mr, mo / mr);
        verdict(mo < 1000, "opening a 604,800-record log and drawing it < 1 s");
        window.close();
    }

    // Polling with the Trend window closed, then open on the whole week.
    MainWindow w(Language::English, context);
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    if (!w.Form_Load(nullptr))
        qFatal("the Main window did not load");
    w.show();
    // Alternating rounds, so that a busy moment of a shared machine falls on both.
    PollRun bare, open;
    const auto add = [](PollRun &sum, const PollRun &run) {
        sum.wallMs += run.wallMs;
        sum.cpuMs += run.cpuMs;
        sum.polls += run.polls;
    };
    constexpr int rounds = 3;
    for (int round = 0; round < rounds; ++round) {
        add(bare, poll(w, polls));
        w.findChild<QAction *>(QStringLiteral("TREND"))->trigger();
        w.trendWindow()->findChild<QComboBox *>(QStringLiteral("Span"))->setCurrentIndex(4);
        waitFor([] { return false; }, 1500); // the new window is mapped and painted first
        add(open, poll(w, polls));
        w.trendWindow()->close();
        waitFor([] { return false; }, 500);
    }
    std::printf("polling at 1 s, %d rounds of %d polls each, without and with the Trend window "
                "(all, 7 days)\n",
                rounds, polls);
    const double ideal = rounds * (polls - 1) * 1000.0;
    for (const auto &[name, run] : {std::pair{"closed", bare}, std::pair{"open  ", open}})
        std::printf("  %s %d polls in %.3f s (ideal %.0f s), CPU %.1f ms = %.3f %% of a core\n",
                    name, run.polls, run.wallMs / 1000, ideal / 1000, run.cpuMs,
                    100 * run.cpuMs / run.wallMs);
    std::printf("  CPU with the window open: %.2fx closed\n", open.cpuMs / bare.cpuMs);
    verdict(open.polls >= rounds * polls && std::abs(open.wallMs - ideal) <= 200,
            "polls with the window open keep time (+- 200 ms)");
    // The monitor's own share is bench/poll's (< 1 % of a core); here the Main window draws
    // on a virtual display too, so the window's part is what it adds.
    const double added = 100 * (open.cpuMs - bare.cpuMs) / open.wallMs;
    std::printf("  the window adds %.3f %% of a core\n", added);
    verdict(added < 0.5, "the Trend window adds < 0.5 % of a core while polling");
    verdict(open.cpuMs / bare.cpuMs <= 1.5, "CPU with the window open <= 1.5x closed");
    w.close();
    return bench::allPassed ? 0 : 1;
}
