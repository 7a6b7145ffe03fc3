// The program's own poll cycle and monitor, measured against a running qsr540-sim whose
// link is FOLDER/ports/COM1 (the program's port mapping, COM1 at 9600,N,8,1).
//
// Usage:
//   bench-portcycle cycles FOLDER N      N poll cycles ("R") through the serial lines, back to back
//   bench-portcycle poll FOLDER N        Monitor polling every 1 s until the Nth reply
//   bench-portcycle log FOLDER N CSV     Monitor polling and logging every 1 s, N records
//
// Output is one "key value..." line per figure, for bench/poll to read. Times are
// nanoseconds (cycles) or milliseconds (poll, log) as the key names say; CPU is
// getrusage(RUSAGE_SELF) user + system.

#include "monitor/Clock.h"
#include "monitor/Monitor.h"
#include "serial/SerialLines.h"
#include "serial/SerialPort.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;
using std::chrono::nanoseconds;

constexpr int warmUpCycles = 5;
constexpr milliseconds interval = 1000ms;
// The user clicks "stert save" a little after "stert comm", off any whole second.
constexpr milliseconds logClickAfterPollClick = 2250ms;
// Beyond the ideal run time, how long a run may take before it is called hung.
constexpr milliseconds runMargin = 30s;

nanoseconds cpuTime()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    using namespace std::chrono;
    return seconds(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           microseconds(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec);
}

void reportPollFailure(const CycleResult &result, const char *what, int done)
{
    std::printf("error poll failed (%s) at %s, after %d %s\n",
                result.status == CycleStatus::TimedOut ? "no complete reply in time"
                                                       : qPrintable(result.reason),
                qPrintable(QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz"))),
                done, what);
    QCoreApplication::exit(1);
}

double toMs(nanoseconds n)
{
    return std::chrono::duration<double, std::milli>(n).count();
}

// The program's COM1 in `folder` with a port's defaults (9600,N,8,1), on lines of its own.
struct ProgramPort {
    explicit ProgramPort(const QString &folder) : lines(ProgramFolder::at(folder)), port(lines) {}
    SerialLines lines;
    SerialPort port;
};

void giveUpAfter(milliseconds bound, const char *what)
{
    auto *t = new QTimer(QCoreApplication::instance());
    t->setSingleShot(true);
    QObject::connect(t, &QTimer::timeout, [what] {
        std::printf("error %s did not finish in time\n", what);
        std::fflush(stdout);
        std::_Exit(1);
    });
    t->start(bound);
}

// ---- cycles ---------------------------------------------------------------------------

class CycleRun : public QObject {
public:
    CycleRun(const QString &folder, int cycles) : m_program(folder), m_cycles(cycles) {}

    void startCycle()
    {
        if (m_done == warmUpCycles)
            m_cpuStart = cpuTime();
        m_wall.start();
        if (!m_program.port.startCycle({{QByteArrayLiteral("R"), true}}, {}, this,
                                       [this](const CycleResult &r) { onFinished(r); })) {
            std::printf("error cycle refused\n");
            QCoreApplication::exit(1);
        }
    }

private:
    void onFinished(const CycleResult &result)
    {
        const qint64 wall = m_wall.nsecsElapsed();
        if (result.status != CycleStatus::Ok) {
            ++m_failures;
            std::fprintf(stderr, "cycle failed: %s\n", qPrintable(result.reason));
        }
        if (m_done >= warmUpCycles)
            std::printf("cycle %lld\n", static_cast<long long>(wall));
        ++m_done;
        if (m_done < warmUpCycles + m_cycles) {
            // Queued, as the monitor's next tick would be: not inside the port's readyRead.
            QTimer::singleShot(0, this, &CycleRun::startCycle);
            return;
        }
        std::printf("cpu_ns %lld cycles %d failures %d\n",
                    static_cast<long long>((cpuTime() - m_cpuStart).count()), m_cycles, m_failures);
        QCoreApplication::exit(m_failures == 0 ? 0 : 1);
    }

    ProgramPort m_program;
    QElapsedTimer m_wall;
    nanoseconds m_cpuStart{0};
    int m_cycles;
    int m_done = 0;
    int m_failures = 0;
};

// ---- poll -----------------------------------------------------------------------------

// Polls every second from a "click" until the Nth reply; times every pollStarted.
class PollRun : public QObject {
public:
    PollRun(const QString &folder, int polls)
        : m_program(folder), m_monitor(m_program.port, m_clock, this), m_polls(polls)
    {
        connect(&m_monitor, &Monitor::pollStarted, this,
                [this] { m_starts.push_back(m_sinceClick.nsecsElapsed()); });
        connect(&m_monitor, &Monitor::reading, this, &PollRun::onReply);
        connect(&m_monitor, &Monitor::pollFailed, this,
                [this](const CycleResult &r) { reportPollFailure(r, "replies", m_replies); });
    }

    void click()
    {
        giveUpAfter(interval * m_polls + runMargin, "poll run");
        m_cpuStart = cpuTime();
        m_sinceClick.start();
        m_monitor.startPolling(interval);
    }

private:
    void onReply(const QDateTime &, const QByteArray &reply)
    {
        const qint64 at = m_sinceClick.nsecsElapsed();
        m_maxReplyNs = std::max(m_maxReplyNs, at - m_starts.back());
        if (!reply.endsWith('\r'))
            ++m_badReplies;
        if (++m_replies < m_polls)
            return;
        const nanoseconds cpu = cpuTime() - m_cpuStart;
        m_monitor.stopPolling();
        report(nanoseconds(at), cpu);
        QCoreApplication::exit(0);
    }

    void report(nanoseconds wall, nanoseconds cpu) const
    {
        double maxDeviation = 0;
        for (std::size_t k = 0; k < m_starts.size(); ++k) {
            const double ideal = double(k + 1) * double(interval.count());
            maxDeviation = std::max(maxDeviation, std::abs(toMs(nanoseconds(m_starts[k])) - ideal));
        }
        std::printf("polls %zu replies %d bad_replies %d skipped %d\n", m_starts.size(), m_replies,
                    m_badReplies, m_monitor.skippedPolls());
        std::printf("first_poll_ms %.3f\n", toMs(nanoseconds(m_starts.front())));
        std::printf("last_poll_ms %.3f\n", toMs(nanoseconds(m_starts.back())));
        std::printf("span_ms %.3f\n", toMs(nanoseconds(m_starts.back() - m_starts.front())));
        std::printf("max_deviation_ms %.3f\n", maxDeviation);
        std::printf("max_reply_ms %.3f\n", toMs(nanoseconds(m_maxReplyNs)));
        std::printf("cpu_ms %.3f wall_ms %.3f cpu_pct %.4f\n", toMs(cpu), toMs(wall),
                    100.0 * toMs(cpu) / toMs(wall));
    }

    ProgramPort m_program;
    Clock m_clock;
    Monitor m_monitor;
    QElapsedTimer m_sinceClick;
    std::vector<qint64> m_starts; // ns after the click
    nanoseconds m_cpuStart{0};
    qint64 m_maxReplyNs = 0;
    int m_polls;
    int m_replies = 0;
    int m_badReplies = 0;
};

// ---- log ------------------------------------------------------------------------------

// Remembers its latest reading: inside a log tick that is the time the record carries.
class RecordingClock : public Clock {
public:
    QDateTime now() const override
    {
        m_last = Clock::now();
        return m_last;
    }
    QDateTime last() const { return m_last; }

private:
    mutable QDateTime m_last;
};

class LogRun : public QObject {
public:
    LogRun(const QString &folder, int records, QString csv)
        : m_program(folder), m_monitor(m_program.port, m_clock, this), m_records(records),
          m_csv(std::move(csv))
    {
        connect(&m_monitor, &Monitor::recordStarted, this, &LogRun::onRecord);
        connect(&m_monitor, &Monitor::pollFailed, this, [this](const CycleResult &r) {
            reportPollFailure(r, "records", int(m_ticks.size()));
        });
        connect(&m_monitor, &Monitor::logFailed, this,
                [](const QString &path, const QString &reason) {
                    std::printf("error log failed: %s: %s\n", qPrintable(path), qPrintable(reason));
                    QCoreApplication::exit(1);
                });
    }

    void clickPoll()
    {
        giveUpAfter(interval * m_records + logClickAfterPollClick + runMargin, "log run");
        QFile::remove(m_csv);
        m_monitor.startPolling(interval);
        QTimer::singleShot(logClickAfterPollClick, Qt::PreciseTimer, this, &LogRun::clickLog);
    }

private:
    void clickLog()
    {
        m_cpuStart = cpuTime();
        m_wall.start();
        m_click = QDateTime::currentDateTime();
        if (!m_monitor.startLogging(interval, m_csv)) {
            std::printf("error logging refused\n");
            QCoreApplication::exit(1);
        }
    }

    void onRecord()
    {
        m_ticks.push_back(m_clock.last());
        if (int(m_ticks.size()) < m_records)
            return;
        // The record is appended after this signal returns.
        QTimer::singleShot(0, this, [this] {
            const nanoseconds cpu = cpuTime() - m_cpuStart;
            const qint64 wall = m_wall.nsecsElapsed();
            m_monitor.stopPolling();
            std::printf("cpu_ms %.3f wall_ms %.3f cpu_pct %.4f\n", toMs(cpu),
                        toMs(nanoseconds(wall)), 100.0 * toMs(cpu) / toMs(nanoseconds(wall)));
            QCoreApplication::exit(checkFile() ? 0 : 1);
        });
    }

    bool checkFile() const
    {
        QFile file(m_csv);
        if (!file.open(QIODevice::ReadOnly)) {
            std::printf("error cannot read %s\n", qPrintable(m_csv));
            return false;
        }
        const QByteArray all = file.readAll();
        // "yyyymmdd","hhmmss","value" with the simulator's value (three decimals).
        static constexpr char16_t pattern[] = uR"re(^"(\d{8})","(\d{6})","(\d+\.\d{3})"$)re";
        static const QRegularExpression record(QString::fromUtf16(pattern));
        int malformed = 0, breaks = 0, minuteBoundaries = 0, tickMismatches = 0;
        QSet<QString> seconds;
        QList<QDateTime> times;
        const QList<QByteArray> lines = all.split('\n');
        // Every record ends CR LF, so the split leaves one empty piece at the end.
        if (!all.endsWith("\r\n"))
            ++malformed;
        for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
            if (!lines[i].endsWith('\r')) {
                ++malformed;
                continue;
            }
            const auto m = record.match(QString::fromLatin1(lines[i].chopped(1)));
            if (!m.hasMatch()) {
                ++malformed;
                continue;
            }
            const QString stamp = m.captured(1) + m.captured(2);
            const QDateTime t = QDateTime::fromString(stamp, QStringLiteral("yyyyMMddHHmmss"));
            seconds.insert(stamp);
            if (!times.isEmpty()) {
                if (times.back().secsTo(t) != 1)
                    ++breaks;
                if (t.time().minute() != times.back().time().minute())
                    ++minuteBoundaries;
            }
            if (qsizetype(times.size()) < qsizetype(m_ticks.size()) &&
                m_ticks[times.size()].toString(QStringLiteral("yyyyMMddHHmmss")) != stamp)
                ++tickMismatches;
            times.push_back(t);
        }
        const qint64 clickMs = m_click.toMSecsSinceEpoch();
        std::printf("records_signalled %zu records_in_file %lld malformed %d\n", m_ticks.size(),
                    static_cast<long long>(times.size()), malformed);
        std::printf("distinct_seconds %lld breaks %d minute_boundaries %d tick_mismatches %d\n",
                    static_cast<long long>(seconds.size()), breaks, minuteBoundaries,
                    tickMismatches);
        std::printf("click %s\n",
                    qPrintable(m_click.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))));
        if (!times.isEmpty()) {
            std::printf("first_record %s last_record %s\n",
                        qPrintable(times.front().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))),
                        qPrintable(times.back().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
            // The record's whole second against the click: at least 1 s, as far as
            // whole seconds can tell.
            std::printf("first_record_second_after_click_s %lld\n",
                        static_cast<long long>(times.front().toSecsSinceEpoch() -
                                               m_click.toSecsSinceEpoch()));
        }
        if (!m_ticks.empty()) {
            qint64 minPhase = 1000, maxPhase = 0;
            for (const QDateTime &t : m_ticks) {
                const qint64 phase = t.toMSecsSinceEpoch() % 1000;
                minPhase = std::min(minPhase, phase);
                maxPhase = std::max(maxPhase, phase);
            }
            std::printf("first_tick_after_click_ms %lld\n",
                        static_cast<long long>(m_ticks.front().toMSecsSinceEpoch() - clickMs));
            std::printf("tick_phase_ms %lld %lld\n", static_cast<long long>(minPhase),
                        static_cast<long long>(maxPhase));
        }
        return true;
    }

    ProgramPort m_program;
    RecordingClock m_clock;
    Monitor m_monitor;
    int m_records;
    QString m_csv;
    QDateTime m_click;
    QElapsedTimer m_wall;
    nanoseconds m_cpuStart{0};
    std::vector<QDateTime> m_ticks; // the clock reading of each log tick
};

int usage()
{
    std::fprintf(stderr, "usage: bench-portcycle cycles FOLDER N | poll FOLDER N | "
                         "log FOLDER N CSV\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4)
        return usage();
    const QString mode = args[1];
    const QString folder = args[2];
    bool ok = false;
    const int n = args[3].toInt(&ok);
    if (!ok || n < 1)
        return usage();

    if (mode == u"cycles" && args.size() == 4) {
        CycleRun run(folder, n);
        QTimer::singleShot(0, &run, &CycleRun::startCycle);
        return app.exec();
    }
    // The long runs report as they end; a run that is killed still leaves its lines.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (mode == u"poll" && args.size() == 4) {
        PollRun run(folder, n);
        QTimer::singleShot(0, &run, &PollRun::click);
        return app.exec();
    }
    if (mode == u"log" && args.size() == 5) {
        LogRun run(folder, n, args[4]);
        QTimer::singleShot(0, &run, &LogRun::clickPoll);
        return app.exec();
    }
    return usage();
}
