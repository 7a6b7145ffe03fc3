// The Main window beside a logger, as bench/attach drives it: how soon the big digits show a
// reading, first while the window polls the line itself (the baseline), then attached to
// the logger that owns the line, logging at 1 s to a file of its own.
//
// Usage: bench-attach FOLDER LOCAL_POLLS SECONDS
//   FOLDER       a program folder whose ports/COM1 leads to a running simulator
//   LOCAL_POLLS  readings polled by the window itself; then it stops, prints "local-done"
//                and waits for FOLDER/logger-ready
//   SECONDS      how long it stays attached, logging to FOLDER/window.csv
// Each attached reading's time of day (HH:mm:ss.zzz, as the logger printed it) goes to
// FOLDER/window-readings.txt. Prints figures and PASS/FAIL; exits 1 when a target fails.
#include "BenchKit.h"
#include "BenchProgram.h"
#include "monitor/Monitor.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QPushButton>

#include <cstdio>
#include <vector>

namespace {

constexpr double latencyMsMax = 50;

// From each reading (its own time: the reply's arrival where it was read) to the big
// digits' next paint; a reading whose text equals the last one's is not painted again and
// counts only to the window's handling of it.
class DigitWatch : public QObject {
public:
    DigitWatch(MainWindow &window) : m_digits(window.findChild<QLabel *>(QStringLiteral("Label2")))
    {
        m_digits->installEventFilter(this);
        connect(window.monitor(), &Monitor::reading, this,
                [this](const QDateTime &at, const QByteArray &) {
                    // Connected after the window's own handler: the text is set now.
                    settle();
                    m_pendingMs = at.toMSecsSinceEpoch();
                    handled.push_back(double(QDateTime::currentMSecsSinceEpoch() - m_pendingMs));
                    times << at.toString(QStringLiteral("HH:mm:ss.zzz"));
                });
    }
    void reset()
    {
        m_pendingMs = 0;
        handled.clear();
        painted.clear();
        times.clear();
        unpainted = 0;
    }
    // Counts a reading whose paint never came (its text was the last one's).
    void settle()
    {
        if (m_pendingMs)
            ++unpainted;
        m_pendingMs = 0;
    }
    std::vector<double> handled, painted;
    QStringList times;
    int unpainted = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_digits && event->type() == QEvent::Paint && m_pendingMs) {
            painted.push_back(double(QDateTime::currentMSecsSinceEpoch() - m_pendingMs));
            m_pendingMs = 0;
        }
        return false;
    }

private:
    QLabel *m_digits;
    qint64 m_pendingMs = 0;
};

void report(const char *name, const DigitWatch &watch)
{
    const auto row = [&](const char *what, const std::vector<double> &v) {
        std::printf("  %-9s %-26s %5zu %8.1f %8.1f %8.1f %8.1f\n", name, what, v.size(),
                    bench::quantile(v, 0), bench::median(v), bench::quantile(v, 0.95),
                    bench::quantile(v, 1));
    };
    row("to the digits painted", watch.painted);
    row("to the window's handler", watch.handled);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: bench-attach FOLDER LOCAL_POLLS SECONDS\n");
        return 2;
    }
    const QString folderPath = QString::fromLocal8Bit(argv[1]);
    const int localPolls = std::max(3, atoi(argv[2]));
    const int seconds = std::max(5, atoi(argv[3]));
    bench::Program program(folderPath);
    UiContext &context = program.context;
    MainWindow w(Language::English, context);
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    if (!w.Form_Load(nullptr))
        qFatal("the Main window did not load");
    w.show();
    auto *comm = w.findChild<QPushButton *>(QStringLiteral("Command1"));
    auto *save = w.findChild<QPushButton *>(QStringLiteral("Command2"));
    auto *status = w.findChild<QLabel *>(QStringLiteral("Label3"));
    DigitWatch watch(w);
    bench::waitFor([] { return false; }, 1000); // mapped and painted first

    // The baseline: the window polls the line itself.
    comm->click();
    bench::waitFor([&] { return int(watch.handled.size()) > localPolls; },
                   (localPolls + 10) * 1000);
    comm->click();
    bench::waitFor([] { return false; }, 300);
    watch.settle();
    const std::vector<double> localPainted = watch.painted;
    const std::size_t localReadings = watch.handled.size();
    std::printf(
        "from a reading to the big digits, ms        n      min   median      p95      max\n");
    report("local", watch);
    std::printf("local-done %zu\n", localReadings);
    std::fflush(stdout);

    // Attached: the logger is on the line now, and the window's next poll finds it.
    const QString ready = folderPath + QStringLiteral("/logger-ready");
    bench::waitFor([&] { return QFile::exists(ready); }, 3600 * 1000);
    watch.reset();
    bool attached = false;
    QObject::connect(w.monitor(), &Monitor::attached, [&] { attached = true; });
    comm->click();
    bench::waitFor([&] { return attached && !watch.handled.empty(); }, 10000);
    program.session.settings().fom1file = folderPath + QStringLiteral("/window.csv");
    save->click();
    const QString statusText = status->text();
    bench::waitFor([] { return false; }, seconds * 1000);
    save->click();
    comm->click();
    watch.settle();
    QFile times(folderPath + QStringLiteral("/window-readings.txt"));
    if (times.open(QIODevice::WriteOnly))
        times.write(watch.times.join(u'\n').toLatin1() + '\n');
    report("attached", watch);
    std::printf("  (%d attached readings were the last one's text again: not painted again)\n",
                watch.unpainted);
    std::printf("  the status while attached: \"%s\"\n", qPrintable(statusText));
    if (!localPainted.empty() && !watch.painted.empty())
        std::printf("  attached / local: median %.2fx, p95 %.2fx\n",
                    bench::median(watch.painted) / std::max(1.0, bench::median(localPainted)),
                    bench::quantile(watch.painted, 0.95) /
                        std::max(1.0, bench::quantile(localPainted, 0.95)));
    bench::verdict(attached && int(watch.handled.size()) >= seconds - 2,
                   "the window attached and showed a reading a second");
    const double worst =
        std::max(bench::quantile(watch.painted, 1), bench::quantile(watch.handled, 1));
    char line[120];
    std::snprintf(line, sizeof line, "every reading on the digits within %.0f ms (slowest %.0f ms)",
                  latencyMsMax, worst);
    bench::verdict(worst < latencyMsMax, line);
    return bench::allPassed ? 0 : 1;
}
