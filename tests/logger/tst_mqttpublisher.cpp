#include "logger/MessageJournal.h"
#include "logger/MosquittoClient.h"
#include "logger/MqttPublisher.h"
#include "logger/PlantFeed.h"
#include "logger/ReadingFormat.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <mosquitto.h>
#include <netdb.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <sys/resource.h>

namespace {
// Takes what it is handed and acknowledges it when told.
class FakeClient : public MqttClient {
public:
    QList<Message> handed;
    QList<int> ids;
    Message will;
    bool started = false;
    bool stopped = false;
    bool aborted = false;
    int nextId = 1;

    void start(const Message &w) override
    {
        will = w;
        started = true;
    }
    int publish(const Message &m) override
    {
        handed << m;
        ids << nextId;
        return nextId++;
    }
    void stop() override { stopped = true; }
    void abort() override { aborted = true; }

    void acknowledgeAll()
    {
        const QList<int> all = std::exchange(ids, {});
        for (int id : all)
            Q_EMIT delivered(id);
    }
    QList<QByteArray> payloads(const QByteArray &topic) const
    {
        QList<QByteArray> out;
        for (const Message &m : handed) {
            if (m.topic == topic)
                out << m.payload;
        }
        return out;
    }
};

// A broker as far as TCP goes: each connection, in turn, is hung up at once, taken and never
// answered, or accepted as an MQTT connection; the last answer in the plan repeats.
class FakeBroker : public QObject {
public:
    enum class Answer { HangUp, Silence, Accept };
    QList<Answer> plan;
    QList<qint64> arrivals; // ms since the broker started
    QElapsedTimer clock;
    QTcpSocket *latest = nullptr;

    explicit FakeBroker(QList<Answer> answers) : plan(std::move(answers))
    {
        server.listen(QHostAddress::LocalHost, 0);
        clock.start();
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = server.nextPendingConnection())
                take(s);
        });
    }
    MosquittoClient::Settings settings() const
    {
        MosquittoClient::Settings s;
        s.host = QStringLiteral("127.0.0.1");
        s.port = server.serverPort();
        return s;
    }

private:
    void take(QTcpSocket *s)
    {
        arrivals << clock.elapsed();
        s->setParent(this);
        latest = s;
        switch (plan.value(arrivals.size() - 1, plan.last())) {
        case Answer::HangUp:
            s->close();
            break;
        case Answer::Silence:
            break;
        case Answer::Accept:
            connect(s, &QTcpSocket::readyRead, s, [s, answered = false]() mutable {
                s->readAll();
                if (!std::exchange(answered, true))
                    s->write(QByteArray::fromHex("20020000")); // CONNACK, accepted
            });
            break;
        }
    }

    QTcpServer server;
};

QDateTime at(int second)
{
    return QDateTime(QDate(2026, 12, 9), QTime(14, 3, second), QTimeZone(3600));
}
} // namespace

class MqttPublisherTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void formatsReadingsAndEvents()
    {
        const QDateTime t(QDate(2026, 12, 9), QTime(14, 3, 7, 250), QTimeZone(-(3 * 3600 + 1800)));
        QCOMPARE(ReadingFormat::isoTime(t), QByteArray("2026-12-09T14:03:07.250-03:30"));
        QCOMPARE(ReadingFormat::isoTime(t.toUTC()), QByteArray("2026-12-09T17:33:07.250+00:00"));
        QCOMPARE(ReadingFormat::line(t, "12.345\r\n"),
                 QByteArray("2026-12-09T14:03:07.250-03:30 12.345\n"));
        QCOMPARE(ReadingFormat::readingJson(t, "+12.345\r"),
                 QByteArray("{\"time\":\"2026-12-09T14:03:07.250-03:30\",\"value\":12.345,\"raw\":"
                            "\"+12.345\\r\"}"));
        // Not a number: null, and the raw text still valid JSON whatever it holds.
        const QByteArray odd = ReadingFormat::readingJson(t, "E\"r\\\x01");
        QJsonParseError error;
        const QJsonObject o = QJsonDocument::fromJson(odd, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QVERIFY(o.value("value").isNull());
        QCOMPARE(o.value("raw").toString(), QString("E\"r\\\x01"));
        QCOMPARE(ReadingFormat::eventJson(t, "lost", "port not opened: \"x\""),
                 QByteArray("{\"time\":\"2026-12-09T14:03:07.250-03:30\",\"event\":\"lost\","
                            "\"reason\":\"port not opened: \\\"x\\\"\"}"));
    }

    // Online (retained) at each connection, the will "offline" (retained), readings and
    // events in order under the prefix, a few in flight at a time.
    void publishesInOrderWithAFewInFlight()
    {
        FakeClient client;
        MqttPublisher publisher(client, "plant/l3", 1000);
        publisher.start();
        QVERIFY(client.started);
        QCOMPARE(client.will.topic, QByteArray("plant/l3/status"));
        QCOMPARE(client.will.payload, QByteArray("offline"));
        QVERIFY(client.will.retain);

        for (int i = 0; i < 50; ++i)
            publisher.publishReading(at(i % 60), QByteArray::number(i) + '\r');
        publisher.publishEvent(at(59), "lost", "no reply");
        QVERIFY(client.handed.isEmpty()); // nothing before the broker is there
        QCOMPARE(publisher.queued(), 51);

        Q_EMIT client.connected();
        QCOMPARE(client.handed.first().topic, QByteArray("plant/l3/status"));
        QCOMPARE(client.handed.first().payload, QByteArray("online"));
        QVERIFY(client.handed.first().retain);
        QCOMPARE(client.payloads("plant/l3/value").size(), MqttPublisher::inFlightLimit);
        while (publisher.queued() > 0)
            client.acknowledgeAll();
        const QList<QByteArray> values = client.payloads("plant/l3/value");
        QCOMPARE(values.size(), 50);
        for (int i = 0; i < 50; ++i)
            QVERIFY(values[i].contains("\"raw\":\"" + QByteArray::number(i) + "\\r\""));
        QCOMPARE(client.payloads("plant/l3/event").size(), 1);
        QCOMPARE(client.handed.last().topic, QByteArray("plant/l3/event"));
        QCOMPARE(publisher.delivered(), 51);
        // Readings and events must survive a lost connection; only the status is retained.
        QCOMPARE(client.will.qos, 1);
        for (const MqttClient::Message &m : std::as_const(client.handed)) {
            QCOMPARE(m.qos, 1);
            QCOMPARE(m.retain, m.topic.endsWith("/status"));
        }
    }

    // A full queue drops its oldest waiting reading, counts it and says so on return;
    // handed-over ones are the client's, kept, and not counted against the bound.
    void dropsTheOldestWhenFull()
    {
        FakeClient client;
        MqttPublisher publisher(client, "p", 5);
        QSignalSpy said(&publisher, &MqttPublisher::stateChanged);
        publisher.start();
        for (int i = 0; i < 12; ++i)
            publisher.publishReading(at(i), QByteArray::number(i) + '\r');
        QCOMPARE(publisher.queued(), 5);
        QCOMPARE(publisher.dropped(), 7);
        Q_EMIT client.connected();
        QVERIFY(said.last()[0].toString().contains("7 oldest readings were dropped"));
        const QList<QByteArray> values = client.payloads("p/value");
        QCOMPARE(values.size(), 5);
        QVERIFY(values.first().contains("\"raw\":\"7\\r\""));
        QVERIFY(values.last().contains("\"raw\":\"11\\r\""));

        // Five in flight and not yet acknowledged: the next reading is handed over too.
        publisher.publishReading(at(20), "20\r");
        QCOMPARE(client.payloads("p/value").size(), 6);
        QCOMPARE(publisher.dropped(), 7);

        // Broker gone with six in flight: they stay the client's, and the bound is on
        // what waits, whose oldest makes room.
        Q_EMIT client.connectionLost("gone");
        for (int i = 30; i < 37; ++i)
            publisher.publishReading(at(i), QByteArray::number(i) + '\r');
        QCOMPARE(publisher.queued(), 6 + 5);
        QCOMPARE(publisher.dropped(), 9);
    }

    // The end: everything queued first, then "offline", then the client stops; with the
    // broker away, at once.
    void finishesAfterTheQueueAndTheGoodbye()
    {
        FakeClient client;
        MqttPublisher publisher(client, "p", 100);
        QSignalSpy finished(&publisher, &MqttPublisher::finished);
        publisher.start();
        Q_EMIT client.connected();
        publisher.publishReading(at(1), "1\r");
        publisher.finish();
        publisher.publishReading(at(2), "2\r"); // nothing new once ending
        QVERIFY(finished.isEmpty());
        client.acknowledgeAll(); // the reading: now the goodbye
        QCOMPARE(client.handed.last().payload, QByteArray("offline"));
        QVERIFY(client.handed.last().retain);
        QVERIFY(finished.isEmpty() && !client.stopped);
        client.acknowledgeAll();
        QCOMPARE(finished.size(), 1);
        QVERIFY(client.stopped);
        QCOMPARE(client.payloads("p/value").size(), 1);

        FakeClient away;
        MqttPublisher lonely(away, "p", 100);
        QSignalSpy done(&lonely, &MqttPublisher::finished);
        QSignalSpy said(&lonely, &MqttPublisher::stateChanged);
        lonely.start();
        lonely.publishReading(at(1), "1\r");
        lonely.finish();
        QCOMPARE(done.size(), 1);
        QVERIFY(away.stopped);
        QVERIFY(said.last()[0].toString().contains("1 readings not published"));

        // Out of time with readings still in flight: no goodbye, so that the broker's last
        // will does not leave "online" standing.
        FakeClient slow;
        MqttPublisher late(slow, "p", 100);
        late.start();
        Q_EMIT slow.connected();
        late.publishReading(at(1), "1\r");
        late.finish();
        late.abandon();
        QVERIFY(slow.aborted && !slow.stopped);
    }

    // A run killed while the broker is away, some readings in flight: the next run sends
    // what it left (in flight or waiting, not what was acknowledged) once, in order, before
    // anything new; a line a power loss cut short is skipped; a smaller queue drops the
    // oldest and counts them. Nothing waiting: the file is empty.
    void keepsWhatWaitsAcrossARestart()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("state/line1.mqtt-queue");
        {
            MessageJournal journal;
            QVERIFY(journal.open(path, nullptr));
            FakeClient client;
            MqttPublisher publisher(client, "p", 100);
            publisher.keepIn(&journal);
            publisher.start();
            Q_EMIT client.connected();
            publisher.publishReading(at(0), "0\r");
            client.acknowledgeAll();
            QCOMPARE(journal.fileSize(), 0);
            for (int i = 1; i <= 5; ++i) // in flight when the broker goes
                publisher.publishReading(at(i), QByteArray::number(i) + '\r');
            Q_EMIT client.connectionLost("gone");
            for (int i = 6; i <= 30; ++i)
                publisher.publishReading(at(i), QByteArray::number(i) + '\r');
            publisher.publishEvent(at(31), "lost", "no reply");
            MessageJournal second;
            QString why;
            QVERIFY(!second.open(path, &why));
            QVERIFY2(why.contains("in use by another process"), qPrintable(why));
        } // killed: no goodbye
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append));
        file.write("+v {\"time\":\"2026-12"); // the power went
        file.close();

        MessageJournal journal;
        QVERIFY(journal.open(path, nullptr));
        FakeClient client;
        MqttPublisher publisher(client, "p", 20);
        QSignalSpy said(&publisher, &MqttPublisher::stateChanged);
        publisher.keepIn(&journal);
        QCOMPARE(publisher.dropped(), 11); // 31 kept, 20 fit
        publisher.start();
        QCOMPARE(said.value(0).value(0).toString(),
                 QString("20 readings kept from the last run wait for the broker"));
        publisher.publishReading(at(40), "40\r");
        QCOMPARE(publisher.dropped(), 12);
        Q_EMIT client.connected();
        while (publisher.queued() > 0)
            client.acknowledgeAll();
        QList<QByteArray> raws;
        for (const MqttClient::Message &m : std::as_const(client.handed)) {
            if (!m.topic.endsWith("/status"))
                raws << QJsonDocument::fromJson(m.payload)
                            .object()
                            .value("raw")
                            .toString()
                            .toLatin1();
        }
        QList<QByteArray> expected;
        for (int i = 13; i <= 30; ++i)
            expected << QByteArray::number(i) + '\r';
        expected << ""
                 << "40\r"; // the event has no raw text
        QCOMPARE(raws, expected);
        QCOMPARE(client.payloads("p/event").size(), 1);
        QCOMPARE(journal.fileSize(), 0);
    }

    // A line is whole or absent when the disk fills (a file size limit stands in for it),
    // with the system's reason; the next one after room returns starts clean. Done lines
    // are let go, so the file stays within about twice what waits.
    void journalLinesAreWholeAndTheFileBounded()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("q");
        {
            MessageJournal journal;
            QVERIFY(journal.open(path, nullptr));
            QVERIFY(journal.append('v', "{\"a\":1}") > 0);
            const qint64 before = journal.fileSize();
            rlimit old{};
            getrlimit(RLIMIT_FSIZE, &old);
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            rlimit small = old;
            small.rlim_cur = rlim_t(before + 5);
            setrlimit(RLIMIT_FSIZE, &small);
            const qint64 refused = journal.append('v', "{\"a\":2}");
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldHandler);
            QCOMPARE(refused, -1);
            QCOMPARE(QFileInfo(path).size(), before);
            QVERIFY2(journal.lastError().endsWith(QString::fromLocal8Bit(strerror(EFBIG))),
                     qPrintable(journal.lastError()));
            QVERIFY(journal.append('e', "{\"a\":3}") > 0);
        }
        MessageJournal reopened;
        QVERIFY(reopened.open(path, nullptr));
        QCOMPARE(reopened.loaded().size(), size_t(2));
        QCOMPARE(reopened.loaded()[1].kind, 'e');
        QCOMPARE(reopened.loaded()[1].payload, QByteArray("{\"a\":3}"));

        // Ten waiting at any time while 30000 pass through.
        std::deque<qint64> waiting{reopened.loaded()[0].id, reopened.loaded()[1].id};
        const QByteArray payload = "{\"time\":\"" + QByteArray(80, 'x') + "\"}";
        qint64 largest = 0;
        for (int i = 0; i < 30000; ++i) {
            waiting.push_back(reopened.append('v', payload + QByteArray::number(i)));
            while (waiting.size() > 10) {
                reopened.done(waiting.front());
                waiting.pop_front();
            }
            largest = std::max(largest, reopened.fileSize());
        }
        QVERIFY2(largest < (1 << 20) + 2000, qPrintable(QString::number(largest)));
        QCOMPARE(QFileInfo(path).size(), reopened.fileSize());
        MessageJournal another;
        QVERIFY(!another.open(path, nullptr)); // the rewritten file is locked too
    }

    // At each connection, after "online": the info and the discovery config, retained; a
    // config announced before and no longer wanted is emptied; announced() once the broker
    // has them all. Values are retained when asked for, events never.
    void announcesItselfAtEachConnection()
    {
        const PlantFeed::Identity who{
            "1.1.0", "/dev/ttyUSB0", 9600,    1,
            0,       "plant-pc",     "line3", "qsrlink-logger-plant.pc-line3",
            at(5)};
        const QJsonObject info = QJsonDocument::fromJson(PlantFeed::infoJson(who)).object();
        QCOMPARE(info.value("model").toString(), QString("QSR540"));
        QCOMPARE(info.value("speed").toInt(), 9600);
        QVERIFY(info.value("log_interval").isNull());
        QCOMPARE(info.value("started").toString(), QString("2026-12-09T14:03:05.000+01:00"));
        QCOMPARE(info.size(), 11);

        const QByteArray topic = PlantFeed::discoveryTopic("homeassistant", who);
        QCOMPARE(topic,
                 QByteArray("homeassistant/sensor/qsrlink-logger-plant_pc-line3/value/config"));
        const QJsonObject config =
            QJsonDocument::fromJson(PlantFeed::discoveryJson("plant/line3", who)).object();
        QCOMPARE(config.value("state_topic").toString(), QString("plant/line3/value"));
        QCOMPARE(config.value("value_template").toString(), QString("{{ value_json.value }}"));
        QCOMPARE(config.value("availability_topic").toString(), QString("plant/line3/status"));
        QCOMPARE(config.value("payload_available").toString(), QString("online"));
        QCOMPARE(config.value("unique_id").toString(),
                 QString("qsrlink-logger-plant_pc-line3_value"));
        const QJsonObject device = config.value("device").toObject();
        QCOMPARE(device.value("identifiers").toArray().first().toString(),
                 QString("qsrlink-logger-plant_pc-line3"));
        QCOMPARE(device.value("name").toString(), QString("QSR540 line3"));

        const QByteArray old = "ha/sensor/x/value/config";
        FakeClient client;
        MqttPublisher publisher(client, "plant/line3", 10);
        publisher.setRetainValues(true);
        publisher.setAnnouncements(
            PlantFeed::announcements("plant/line3", who, "homeassistant", old));
        QSignalSpy announced(&publisher, &MqttPublisher::announced);
        publisher.start();
        publisher.publishReading(at(6), "1\r");
        publisher.publishEvent(at(7), "lost", "no reply");
        for (int connection = 1; connection <= 2; ++connection) {
            client.handed.clear();
            Q_EMIT client.connected();
            QCOMPARE(client.handed.size() >= 4, true);
            QCOMPARE(client.handed[1].topic, QByteArray("plant/line3/info"));
            QCOMPARE(client.handed[2].topic, old);
            QCOMPARE(client.handed[2].payload, QByteArray());
            QCOMPARE(client.handed[3].topic, topic);
            for (int i = 0; i < 4; ++i)
                QVERIFY(client.handed[i].retain);
            QVERIFY(announced.size() == connection - 1);
            client.acknowledgeAll();
            QCOMPARE(announced.size(), connection);
            if (connection == 1) { // the reading and the event waited for it
                QCOMPARE(client.handed.size(), 6);
                QVERIFY(client.handed[4].topic.endsWith("/value") && client.handed[4].retain);
                QVERIFY(client.handed[5].topic.endsWith("/event") && !client.handed[5].retain);
            }
            Q_EMIT client.connectionLost("gone");
        }
        QCOMPARE(PlantFeed::announcements("p", who, {}, {}).size(), 1);
        QCOMPARE(PlantFeed::announcements("p", who, "homeassistant", topic).size(), 2);
    }

    // A broker that takes the connection and never answers is named as such, and tried again.
    void saysWhenTheBrokerNeverAnswers()
    {
        FakeBroker broker({FakeBroker::Answer::Silence});
        MosquittoClient::Settings settings = broker.settings();
        settings.answerBound = std::chrono::milliseconds(300);
        settings.firstPause = std::chrono::milliseconds(50);
        MosquittoClient client(settings);
        MqttPublisher publisher(client, "p", 10);
        QSignalSpy said(&publisher, &MqttPublisher::stateChanged);
        publisher.start();
        QTRY_COMPARE_WITH_TIMEOUT(said.size(), 1, 5000);
        QCOMPARE(said[0][0].toString(),
                 QString("cannot connect (no answer from the broker within 0.3 s); trying again"));
        QTRY_VERIFY_WITH_TIMEOUT(broker.arrivals.size() >= 2, 5000);
    }

    // Reasons the library itself calls "Unknown error", and those of the system.
    void namesTheRealReason_data()
    {
        QTest::addColumn<int>("rc");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("reason");
        QTest::newRow("errno") << int(MOSQ_ERR_ERRNO) << ECONNREFUSED
                               << QString::fromLocal8Bit(std::strerror(ECONNREFUSED));
        QTest::newRow("lookup") << int(MOSQ_ERR_EAI) << EAI_NONAME
                                << "cannot look up the broker: " +
                                       QString::fromLocal8Bit(gai_strerror(EAI_NONAME));
        QTest::newRow("keep-alive")
            << int(MOSQ_ERR_KEEPALIVE) << 0
            << QString("no answer from the broker to a keep-alive within 30 s");
        QTest::newRow("malformed")
            << int(MOSQ_ERR_MALFORMED_PACKET) << 0 << QString("malformed packet from the broker");
    }
    void namesTheRealReason()
    {
        QFETCH(int, rc);
        QFETCH(int, error);
        QFETCH(QString, reason);
        QCOMPARE(MosquittoClient::describe(rc, error, {}), reason);
    }

    // After an outage with long pauses and a good connection, a new drop is retried after
    // the first pause again, not after the longest one reached before.
    void retriesSoonAfterAGoodConnectionDrops()
    {
        using A = FakeBroker::Answer;
        FakeBroker broker({A::HangUp, A::HangUp, A::HangUp, A::HangUp, A::Accept});
        MosquittoClient::Settings settings = broker.settings();
        settings.firstPause = std::chrono::milliseconds(40);
        MosquittoClient client(settings);
        QSignalSpy connected(&client, &MqttClient::connected);
        client.start({"p/status", "offline", 1, true});
        QTRY_COMPARE_WITH_TIMEOUT(connected.size(), 1, 10000); // after 40+80+160+320 ms
        QCOMPARE(broker.arrivals.size(), 5);
        const qint64 dropped = broker.clock.elapsed();
        broker.latest->close();
        QTRY_COMPARE_WITH_TIMEOUT(connected.size(), 2, 10000);
        // 40 ms and the way through the event loops; without the reset, at least 512 ms.
        const qint64 gap = broker.arrivals.value(5) - dropped;
        QVERIFY2(gap < 400, qPrintable(QString::number(gap)));
    }
};

QTEST_GUILESS_MAIN(MqttPublisherTest)
#include "tst_mqttpublisher.moc"
