// The floor of a poll cycle: the least a QSerialPort client does for one "R" exchange
// (open, write, wait on readyRead through the event loop until the CR, read, close).
// Deliberately no project code.
//
// Usage: bench-floor-client LINK CYCLES
// Prints "cycle <wall ns>" for each measured cycle, then
// "cpu_ns <user+sys ns over the measured cycles> cycles <n> failures <n>".

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace {

using namespace std::chrono_literals;
constexpr std::chrono::milliseconds replyBound = 2000ms;
constexpr int warmUpCycles = 5;

std::chrono::nanoseconds cpuTime()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    using namespace std::chrono;
    return seconds(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           microseconds(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec);
}

class FloorClient : public QObject {
public:
    FloorClient(QString link, int cycles) : m_cycles(cycles)
    {
        m_port.setPortName(link);
        m_timeout.setSingleShot(true);
        connect(&m_port, &QSerialPort::readyRead, this, &FloorClient::onReadyRead);
        connect(&m_timeout, &QTimer::timeout, this, [this] { endCycle(false); });
    }

    void startCycle()
    {
        if (m_done == warmUpCycles)
            m_cpuStart = cpuTime();
        m_wall.start();
        m_reply.clear();
        m_port.setBaudRate(9600);
        m_port.setDataBits(QSerialPort::Data8);
        m_port.setParity(QSerialPort::NoParity);
        m_port.setStopBits(QSerialPort::OneStop);
        m_port.setFlowControl(QSerialPort::NoFlowControl);
        if (!m_port.open(QIODevice::ReadWrite)) {
            std::fprintf(stderr, "open: %s\n", qPrintable(m_port.errorString()));
            endCycle(false);
            return;
        }
        m_port.write("R");
        m_timeout.start(replyBound);
    }

    int failures() const { return m_failures; }

private:
    void onReadyRead()
    {
        m_reply += m_port.readAll();
        if (m_reply.contains('\r'))
            endCycle(true);
    }

    void endCycle(bool ok)
    {
        m_timeout.stop();
        m_port.close();
        const qint64 wall = m_wall.nsecsElapsed();
        if (!ok)
            ++m_failures;
        if (m_done >= warmUpCycles)
            std::printf("cycle %lld\n", static_cast<long long>(wall));
        ++m_done;
        if (m_done < warmUpCycles + m_cycles) {
            // Queued, so the next open does not run inside the port's own readyRead.
            QTimer::singleShot(0, this, &FloorClient::startCycle);
            return;
        }
        std::printf("cpu_ns %lld cycles %d failures %d\n",
                    static_cast<long long>((cpuTime() - m_cpuStart).count()), m_cycles, m_failures);
        QCoreApplication::exit(m_failures == 0 ? 0 : 1);
    }

    QSerialPort m_port;
    QTimer m_timeout;
    QElapsedTimer m_wall;
    QByteArray m_reply;
    std::chrono::nanoseconds m_cpuStart{0};
    int m_cycles;
    int m_done = 0;
    int m_failures = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench-floor-client LINK CYCLES\n");
        return 2;
    }
    FloorClient client(QString::fromLocal8Bit(argv[1]), std::atoi(argv[2]));
    QTimer::singleShot(0, &client, &FloorClient::startCycle);
    return app.exec();
}
