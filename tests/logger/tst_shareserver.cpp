// The logger's line served to attached windows: what a client is told, the cycles it asks
// for run between polls on the logger's own port, and what a client cannot do to the
// logger or to the other clients.
#include "FakeSerialDevice.h"
#include "logger/ShareServer.h"
#include "monitor/Clock.h"
#include "monitor/LiveHistory.h"
#include "monitor/Monitor.h"
#include "serial/SerialLines.h"
#include "serial/SerialPort.h"

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace std::chrono_literals;
namespace S = ShareProtocol;

namespace {

// Answers R, P and H at once, unless the line is down.
class Instrument final : public FakeSerialDevice {
public:
    bool write(const QByteArray &bytes) override
    {
        if (!FakeSerialDevice::write(bytes))
            return false;
        const QByteArray reply = bytes == "R"   ? "12.345\r"
                                 : bytes == "P" ? "1250\r"
                                 : bytes == "H" ? "1300\r"
                                                : QByteArray();
        if (!reply.isEmpty())
            QTimer::singleShot(0, this, [this, reply] { inject(reply); });
        return true;
    }
};

// A logger's line with a server, polling every `poll`.
struct Served {
    explicit Served(ShareServer::Bounds bounds = {}, std::chrono::milliseconds poll = 50ms)
        : lines(ProgramFolder::at(dir.path()),
                [this] {
                    auto made = std::make_unique<Instrument>();
                    device = made.get();
                    return made;
                }),
          port(lines), monitor(port, clock), history(50'000),
          server(port, monitor, history,
                 S::Hello{1, 42, "qsrlink-logger", "line1", "COM1", "n", 9600, 1, 1, false}, bounds)
    {
        history.follow(monitor);
        monitor.setUnattended({true, false, false});
        monitor.setPollsWaitForTheLine(true);
        QVERIFY(server.listen(dir.filePath("run/line.sock"), dir.path(), nullptr));
        monitor.startPolling(poll);
    }
    QTemporaryDir dir;
    Instrument *device = nullptr;
    SerialLines lines;
    SerialPort port;
    Clock clock;
    Monitor monitor;
    LiveHistory history;
    ShareServer server;
};

// A window's end of the socket.
struct Client {
    explicit Client(const QString &path)
    {
        socket.connectToServer(path);
        QVERIFY(QTest::qWaitFor([this] { return socket.state() == QLocalSocket::ConnectedState; },
                                2000));
    }
    // The next message, within 5 s.
    S::Message next()
    {
        // The server runs in this thread: wait with its events going on.
        if (!QTest::qWaitFor([this] { return socket.canReadLine(); }, 5000))
            return {};
        return S::decode(socket.readLine().chopped(1), nullptr).value_or(S::Message{});
    }
    // The next message of `type` within 5 s, others passed over.
    S::Message nextOf(const char *type)
    {
        QDeadlineTimer deadline(5000);
        for (S::Message m = next(); !m.type.isEmpty() && !deadline.hasExpired(); m = next())
            if (m.type == QLatin1String(type))
                return m;
        return {};
    }
    void send(const QByteArray &line) { socket.write(line); }
    QLocalSocket socket;
};

} // namespace

class TestShareServer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Hello first, then every reading; history since a time in bounded chunks; a cycle's
    // bytes on the line exactly as asked, whole, never inside a poll, and no poll skipped
    // for it.
    void servesReadingsHistoryAndCycles()
    {
        Served s;
        for (int i = 0; i < 2500; ++i)
            s.history.addReading(QDateTime::fromMSecsSinceEpoch(1'000'000 + i), "1.5\r");
        Client c(s.server.path());
        const auto hello = S::toHello(c.next());
        QVERIFY(hello && hello->pid == 42 && hello->instance == "line1" && !hello->lost);
        const auto reading = S::toReading(c.nextOf("reading"));
        QVERIFY(reading && reading->raw == "12.345\r");

        c.send(S::encode(S::HistoryRequest{5, 1'000'500}));
        std::vector<S::Point> points;
        int chunks = 0;
        for (bool more = true; more; ++chunks) {
            const auto chunk = S::toHistoryChunk(c.nextOf("history"));
            QVERIFY(chunk && chunk->id == 5 && int(chunk->points.size()) <= S::historyChunkPoints);
            points.insert(points.end(), chunk->points.begin(), chunk->points.end());
            more = chunk->more;
        }
        QVERIFY(points.size() >= 2000);
        QCOMPARE(points.front().ms, 1'000'500);
        QCOMPARE(points.front().value, 1.5);
        QVERIFY(chunks >= 2);

        const qsizetype before = s.device->written.size();
        c.send(S::encode(S::CycleRequest{6, {{"P", true}, {"h1300\r", false}, {"H", true}}}));
        const auto answer = S::toCycleAnswer(c.nextOf("cycle"));
        QVERIFY(answer && answer->id == 6 && !answer->busy);
        QCOMPARE(answer->result.status, CycleStatus::Ok);
        QCOMPARE(answer->replies, (QList<QByteArray>{"1250\r", "1300\r"}));
        QVERIFY2(s.device->written.mid(before).contains("Ph1300\rH"),
                 s.device->written.mid(before).constData());
        QTest::qWait(200);
        QCOMPARE(s.monitor.skippedPolls(), 0);
    }

    // Garbage, a line of 1 MB, an unknown type and a request the instrument must not get:
    // each gets an error and its connection ends; the others keep their readings.
    void endsAClientThatBreaksTheProtocolOnly()
    {
        Served s;
        Client watcher(s.server.path());
        QVERIFY(S::toHello(watcher.next()));
        const QByteArray bad[] = {"garbage\n", QByteArray(1 << 20, 'x') + '\n',
                                  "{\"type\":\"reboot\"}\n",
                                  "{\"type\":\"cycle\",\"id\":1,\"exchanges\":[{\"send\":\"z\","
                                  "\"reply\":false}]}\n"};
        for (const QByteArray &line : bad) {
            Client c(s.server.path());
            c.send(line);
            // A client still writing its megabyte may lose the answer with the connection.
            if (line.size() < 1000) {
                const S::Message error = c.nextOf("error");
                QVERIFY2(!error.fields.value("reason").toString().isEmpty(), line.constData());
            }
            QTRY_COMPARE(c.socket.state(), QLocalSocket::UnconnectedState);
        }
        QTRY_COMPARE(s.server.clientCount(), 1);
        QVERIFY(S::toReading(watcher.nextOf("reading")));
        QVERIFY(S::toReading(watcher.nextOf("reading")));
        QVERIFY(!s.device->written.contains('z'));
    }

    // More cycles than the queue holds are answered busy at once; a cycle while the
    // instrument is lost fails with the reason a local one would give.
    void answersBusyBeyondItsQueueAndFailsWithTheLine()
    {
        Served s(ShareServer::Bounds{1 << 20, 1, 128});
        Client c(s.server.path());
        QVERIFY(S::toHello(c.next()));
        for (qint64 id = 1; id <= 4; ++id)
            c.send(S::encode(S::CycleRequest{id, {{"P", true}}}));
        int busy = 0, ran = 0;
        for (int i = 0; i < 4; ++i) {
            const auto answer = S::toCycleAnswer(c.nextOf("cycle"));
            QVERIFY(answer);
            (answer->busy ? busy : ran) += 1;
        }
        QVERIFY(busy >= 1 && ran >= 1);

        s.device->failOpen = true;
        QVERIFY(S::toEvent(c.nextOf("lost")));
        c.send(S::encode(S::CycleRequest{9, {{"P", true}}}));
        const auto failed = S::toCycleAnswer(c.nextOf("cycle"));
        QVERIFY(failed && !failed->busy);
        QCOMPARE(failed->result.status, CycleStatus::OpenFailed);
    }

    // A hundred windows at once: each is greeted and gets the readings, the polls keep
    // their schedule; one more than the bound is turned away with a reason.
    void servesAHundredClients()
    {
        Served s(ShareServer::Bounds{1 << 20, 4, 100});
        std::vector<std::unique_ptr<Client>> clients;
        for (int i = 0; i < 100; ++i)
            clients.push_back(std::make_unique<Client>(s.server.path()));
        for (const auto &c : clients)
            QVERIFY(S::toHello(c->next()));
        QTest::qWait(100);
        const int skipped = s.monitor.skippedPolls();
        for (const auto &c : clients)
            QVERIFY(S::toReading(c->nextOf("reading")));
        Client extra(s.server.path());
        QVERIFY(!extra.nextOf("error").fields.value("reason").toString().isEmpty());
        QCOMPARE(s.monitor.skippedPolls(), skipped);
    }

    // A client that never reads is dropped once its send buffer is full; the polls keep
    // their schedule and the others their readings meanwhile.
    void dropsAClientThatStopsReading()
    {
        Served s(ShareServer::Bounds{40 * 1024, 4, 128}, 20ms);
        // More history than the system's socket buffer takes: the rest waits in the server.
        for (int i = 0; i < 50'000; ++i)
            s.history.addReading(QDateTime::fromMSecsSinceEpoch(1'000'000 + i), "1.5\r");
        QTest::qWait(100);
        const int skipped = s.monitor.skippedPolls(); // while the test filled the history
        Client sleeper(s.server.path());
        sleeper.socket.setReadBufferSize(1); // takes nothing more off the system's buffer
        sleeper.send(S::encode(S::HistoryRequest{1, 0}));
        Client watcher(s.server.path());
        QVERIFY(S::toHello(watcher.next()));
        QTRY_COMPARE_WITH_TIMEOUT(s.server.clientCount(), 1, 20000);
        QVERIFY(S::toReading(watcher.nextOf("reading")));
        QCOMPARE(s.monitor.skippedPolls(), skipped);
    }
};

QTEST_GUILESS_MAIN(TestShareServer)
#include "tst_shareserver.moc"
