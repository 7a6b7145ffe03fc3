#include "BrokerProcess.h"
#include "LoggerProcess.h"
#include "SimProcess.h"
#include "TestFiles.h"
#include "serial/SerialLines.h"
#include "serial/SerialPort.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

namespace {
// The reading times the logger printed, and those the broker delivered, in order.
QList<QByteArray> printedTimes(const LoggerProcess &logger)
{
    QList<QByteArray> out;
    for (const QByteArray &line : logger.readings())
        out << line.left(line.indexOf(' '));
    return out;
}
QList<QByteArray> deliveredTimes(Subscriber &sub, const QByteArray &prefix)
{
    QList<QByteArray> out;
    for (const QByteArray &payload : sub.payloads(prefix + "/value"))
        out << QJsonDocument::fromJson(payload).object().value("time").toString().toLatin1();
    return out;
}

bool run(const QString &command)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(QStringLiteral("sh"), {QStringLiteral("-ec"), command});
    return p.waitForFinished(30000) && p.exitCode() == 0;
}
} // namespace

class LoggerMqttTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Every reading once and in order, "online" retained while it runs, and the broker's
    // "offline" (the last will) when the logger is killed.
    void deliversEveryReadingAndTheWill()
    {
        ProgramFolderFixture folder;
        SimProcess sim(folder.portPath(1), {"--value", "12.345\r"});
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        BrokerProcess broker;
        QVERIFY2(broker.start(), qPrintable(broker.errorString()));
        Subscriber sub(broker.port(), "line1/#");
        QVERIFY(sub.waitUntilSubscribed("line1/probe", broker.port()));

        LoggerProcess logger({"--device", folder.portPath(1), "--mqtt",
                              QStringLiteral("mqtt://127.0.0.1:%1/line1").arg(broker.port())});
        QVERIFY(logger.waitForReadings(4, 8000));
        QVERIFY(sub.waitFor("line1/value", 4, 3000));
        QCOMPARE(sub.payloads("line1/status").value(0), QByteArray("online"));
        const QJsonObject first =
            QJsonDocument::fromJson(sub.payloads("line1/value").first()).object();
        QCOMPARE(first.value("value").toDouble(), 12.345);
        QCOMPARE(first.value("raw").toString(), QString("12.345\r"));

        logger.signal(SIGKILL);
        QVERIFY(sub.waitFor("line1/status", 2, 5000));
        QCOMPARE(sub.payloads("line1/status").last(), QByteArray("offline"));
        QCOMPARE(deliveredTimes(sub, "line1"), printedTimes(logger));
    }

    // The instrument's parameters travel with its data: read at the start and after a
    // Transmission a window makes through the logger, retained, all 15 with their time.
    void publishesTheParametersRetained()
    {
        ProgramFolderFixture folder;
        SimProcess sim(folder.portPath(1), {"--params", "1250,1300,1200,3,1,2,2,0,0,3,0,0,0,0,0"});
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        BrokerProcess broker;
        QVERIFY2(broker.start(), qPrintable(broker.errorString()));
        LoggerProcess logger({"--device", folder.portPath(1), "--quiet", "--mqtt",
                              QStringLiteral("mqtt://127.0.0.1:%1/line1").arg(broker.port())});
        QTRY_VERIFY_WITH_TIMEOUT(logger.errors().contains("windows attach at"), 8000);
        const auto latest = [&] {
            // A subscriber that comes later gets the retained message at once.
            Subscriber late(broker.port(), "line1/parameters");
            return late.waitFor("line1/parameters", 1, 5000)
                       ? QJsonDocument::fromJson(late.payloads("line1/parameters").last()).object()
                       : QJsonObject();
        };
        QJsonObject p = latest();
        QCOMPARE(p.size(), 16);
        QCOMPARE(p.value("senter").toInt(), 1250);
        QCOMPARE(p.value("mode2").toInt(), 2);
        QVERIFY(!p.value("time").toString().isEmpty());

        SerialLines lines(ProgramFolder::at(folder.path()));
        SerialPort port(lines);
        std::optional<CycleResult> sent;
        QVERIFY(port.startCycle({{"p1251\r", false}}, {}, this,
                                [&](const CycleResult &r) { sent = r; }));
        QTRY_VERIFY_WITH_TIMEOUT(sent.has_value(), 5000);
        QCOMPARE(sent->status, CycleStatus::Ok);
        QTRY_COMPARE_WITH_TIMEOUT(latest().value("senter").toInt(), 1251, 10000);
    }

    // The broker away for 10 s: the readings of that time arrive afterwards, none lost,
    // none twice, in order; the CSV log went on meanwhile; a normal end says "offline".
    void keepsReadingsThroughABrokerOutage()
    {
        ProgramFolderFixture folder;
        SimProcess sim(folder.portPath(1), {"--value", "12.345\r"});
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        BrokerProcess broker;
        QVERIFY2(broker.start(), qPrintable(broker.errorString()));
        Subscriber sub(broker.port(), "line2/#");
        QVERIFY(sub.waitUntilSubscribed("line2/probe", broker.port()));
        const QString log = folder.path() + "/x.csv";
        LoggerProcess logger({"--device", folder.portPath(1), "--log", log, "--mqtt",
                              QStringLiteral("mqtt://127.0.0.1:%1/line2").arg(broker.port())});
        QVERIFY(sub.waitFor("line2/value", 2, 8000));

        broker.stop();
        const qsizetype records = fileBytes(log).count('\n');
        QTest::qWait(10000);
        QVERIFY(fileBytes(log).count('\n') >= records + 8); // the log did not wait
        QVERIFY(broker.start());
        const qsizetype printed = logger.readings().size();
        QVERIFY2(sub.waitFor("line2/value", printed, 30000), logger.errors().constData());
        logger.signal(SIGTERM);
        QVERIFY(logger.waitForExit(5000, 0));
        QVERIFY(sub.waitFor("line2/value", logger.readings().size(), 3000));
        QTRY_COMPARE_WITH_TIMEOUT(sub.payloads("line2/status").last(), QByteArray("offline"), 3000);
        QCOMPARE(deliveredTimes(sub, "line2"), printedTimes(logger));
        QVERIFY(logger.errors().contains("connection lost"));
        QVERIFY(logger.errors().contains("waiting readings follow"));
    }

    // A queue of 5 with the broker down from the start: the newest five arrive, the others
    // are dropped and counted on the error output.
    void dropsTheOldestWhenTheQueueIsFull()
    {
        ProgramFolderFixture folder;
        SimProcess sim(folder.portPath(1), {"--value", "12.345\r"});
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        BrokerProcess broker;
        QVERIFY(broker.start());
        Subscriber sub(broker.port(), "line3/#");
        QVERIFY(sub.waitUntilSubscribed("line3/probe", broker.port()));
        broker.stop(); // the subscriber's session is saved with the broker's state
        LoggerProcess logger({"--device", folder.portPath(1), "--mqtt-queue", "5", "--mqtt",
                              QStringLiteral("mqtt://127.0.0.1:%1/line3").arg(broker.port())});
        QVERIFY(logger.waitForReadings(8, 12000));
        QVERIFY(broker.start());
        QTRY_VERIFY_WITH_TIMEOUT(logger.errors().contains("oldest readings were dropped"), 20000);
        const QRegularExpression told(
            QStringLiteral("connected; 5 waiting readings follow; (\\d+) oldest readings"));
        const auto match = told.match(QString::fromLocal8Bit(logger.errors()));
        QVERIFY2(match.hasMatch(), logger.errors().constData());
        const int dropped = match.captured(1).toInt();
        QVERIFY(dropped >= 3);
        QVERIFY(sub.waitFor("line3/value", 5, 10000));
        logger.signal(SIGTERM);
        QVERIFY(logger.waitForExit(5000, 0));
        const qsizetype kept = logger.readings().size() - dropped;
        QVERIFY2(sub.waitFor("line3/value", kept, 5000), logger.errors().constData());
        QCOMPARE(sub.payloads("line3/value").size(), kept);
        QCOMPARE(deliveredTimes(sub, "line3"), printedTimes(logger).mid(dropped));
    }

    // A plant's tools: the info retained and complete, the value retained when asked for
    // and not otherwise, a Home Assistant config while the option is given and gone once it
    // is dropped, and the same client id with a lasting session at every start.
    void feedsAPlantsTools()
    {
        ProgramFolderFixture folder;
        SimProcess sim(folder.portPath(1), {"--value", "12.345\r"});
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        BrokerProcess broker;
        QVERIFY2(broker.start(), qPrintable(broker.errorString()));
        const QString url = QStringLiteral("mqtt://127.0.0.1:%1/line5").arg(broker.port());
        const auto retained = [&](const QString &filter) {
            return retainedMessages(broker.port(), filter);
        };
        const QString log = folder.path() + "/l.csv";
        LoggerProcess first({"--device", folder.portPath(1), "--log", log, "--log-interval", "2",
                             "--mqtt", url, "--mqtt-retain", "--mqtt-discovery", "homeassistant"});
        QVERIFY(first.waitForReadings(2, 8000));
        auto got = retained("#");
        const QJsonObject info = QJsonDocument::fromJson(got.value("line5/info")).object();
        QCOMPARE(info.value("model").toString(), QString("QSR540"));
        QCOMPARE(info.value("device").toString(), folder.portPath(1));
        QCOMPARE(info.value("speed").toInt(), 9600);
        QCOMPARE(info.value("poll").toInt(), 1);
        QCOMPARE(info.value("log_interval").toInt(), 2);
        QVERIFY(!info.value("host").toString().isEmpty());
        QVERIFY(!info.value("version").toString().isEmpty());
        QVERIFY(
            QDateTime::fromString(info.value("started").toString(), Qt::ISODateWithMs).isValid());
        const QString id = info.value("client_id").toString();
        QVERIFY(id.startsWith("qsrlink-logger-"));
        QVERIFY(got.contains("line5/value"));
        const QByteArray config =
            "homeassistant/sensor/" + id.toUtf8().replace('.', '_') + "/value/config";
        QVERIFY2(got.contains(config), got.keys().join(' ').constData());
        const QJsonObject sensor = QJsonDocument::fromJson(got.value(config)).object();
        QCOMPARE(sensor.value("state_topic").toString(), QString("line5/value"));
        QCOMPARE(sensor.value("availability_topic").toString(), QString("line5/status"));
        QCOMPARE(sensor.value("device").toObject().value("model").toString(), QString("QSR540"));
        first.signal(SIGTERM);
        QVERIFY(first.waitForExit(5000, 0));
        const QByteArray lastRetained = retained("line5/value").value("line5/value");
        QCOMPARE(QJsonDocument::fromJson(lastRetained).object().value("time").toString().toLatin1(),
                 printedTimes(first).last());

        LoggerProcess second({"--device", folder.portPath(1), "--mqtt", url});
        QVERIFY(second.waitForReadings(3, 8000));
        QTRY_VERIFY_WITH_TIMEOUT(!retained("homeassistant/#").contains(config), 5000);
        got = retained("line5/#");
        QCOMPARE(got.value("line5/value"), lastRetained); // newer values are not retained
        QVERIFY(QJsonDocument::fromJson(got.value("line5/info"))
                    .object()
                    .value("log_interval")
                    .isNull());
        second.signal(SIGTERM);
        QVERIFY(second.waitForExit(5000, 0));

        const QByteArray said = broker.log();
        const QByteArray connected = " as " + id.toUtf8() + " (p2, c0, k30)";
        QVERIFY2(said.count(connected) == 2, said.constData());
    }

    // Restarted during a 20 s broker outage: the readings of both runs reach the broker
    // afterwards, each once and in order.
    void keepsReadingsAcrossARestartDuringAnOutage()
    {
        ProgramFolderFixture folder;
        SimProcess sim(folder.portPath(1), {"--value", "12.345\r"});
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        BrokerProcess broker;
        QVERIFY2(broker.start(), qPrintable(broker.errorString()));
        Subscriber sub(broker.port(), "line6/#");
        QVERIFY(sub.waitUntilSubscribed("line6/probe", broker.port()));
        const QStringList args{"--device", folder.portPath(1), "--mqtt",
                               QStringLiteral("mqtt://127.0.0.1:%1/line6").arg(broker.port())};
        LoggerProcess first(args);
        QVERIFY(sub.waitFor("line6/value", 2, 8000));
        broker.stop();
        QTest::qWait(10000);
        first.signal(SIGTERM);
        QVERIFY(first.waitForExit(5000, 0));
        QVERIFY2(first.errors().contains("kept for the next run"), first.errors().constData());
        LoggerProcess second(args);
        QTest::qWait(10000);
        QVERIFY(broker.start());
        QTRY_VERIFY_WITH_TIMEOUT(second.errors().contains("waiting readings follow"), 20000);
        QVERIFY2(second.errors().contains("readings kept from the last run"),
                 second.errors().constData());
        second.signal(SIGTERM);
        QVERIFY(second.waitForExit(5000, 0));
        const QList<QByteArray> printed = printedTimes(first) + printedTimes(second);
        QVERIFY2(sub.waitFor("line6/value", printed.size(), 10000), second.errors().constData());
        QTest::qWait(300); // nothing more, nothing twice
        QCOMPARE(deliveredTimes(sub, "line6"), printed);
    }

    // TLS against a certificate authority made here, with a user and a password file; a
    // broker whose certificate the given authority did not sign is refused, and said so. A
    // broker that wants a client certificate takes the logger's, and refuses a logger
    // without one.
    void publishesOverTls()
    {
        ProgramFolderFixture folder;
        SimProcess sim(folder.portPath(1), {"--value", "12.345\r"});
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        const QString d = folder.path();
        QVERIFY(run(
            QStringLiteral("cd '%1'\n"
                           "for ca in ca other; do openssl req -x509 -newkey rsa:2048 -nodes "
                           "-keyout $ca.key -out $ca.crt -days 2 -subj /CN=$ca 2>/dev/null; done\n"
                           "openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr "
                           "-subj /CN=localhost 2>/dev/null\n"
                           "printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\\n' > san\n"
                           "openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key "
                           "-CAcreateserial -out server.crt -days 2 -extfile san 2>/dev/null\n"
                           "openssl req -newkey rsa:2048 -nodes -keyout client.key -out client.csr "
                           "-subj /CN=line4 2>/dev/null\n"
                           "openssl x509 -req -in client.csr -CA ca.crt -CAkey ca.key "
                           "-CAcreateserial -out client.crt -days 2 2>/dev/null\n"
                           "chmod 644 server.key\n"
                           "mosquitto_passwd -c -b passwd line4 's3cret pass'\n"
                           "printf 's3cret pass\\n' > password\n")
                .arg(d)));
        BrokerProcess broker("cafile " + d.toUtf8() + "/ca.crt\ncertfile " + d.toUtf8() +
                             "/server.crt\nkeyfile " + d.toUtf8() +
                             "/server.key\nallow_anonymous false\npassword_file " + d.toUtf8() +
                             "/passwd\n");
        QVERIFY2(broker.start(), qPrintable(broker.errorString()));
        const QStringList tls{"--cafile", d + "/ca.crt", "-u", "line4", "-P", "s3cret pass"};
        Subscriber sub(broker.port(), "line4/#", tls);
        QVERIFY(sub.waitUntilSubscribed("line4/probe", broker.port(), tls));

        const QString url = QStringLiteral("mqtts://localhost:%1/line4").arg(broker.port());
        LoggerProcess logger({"--device", folder.portPath(1), "--mqtt", url, "--mqtt-cafile",
                              d + "/ca.crt", "--mqtt-user", "line4", "--mqtt-password-file",
                              d + "/password"});
        QVERIFY(sub.waitFor("line4/value", 2, 10000));
        logger.signal(SIGTERM);
        QVERIFY(logger.waitForExit(5000, 0));

        LoggerProcess stranger({"--device", folder.portPath(1), "--mqtt", url, "--mqtt-cafile",
                                d + "/other.crt", "--mqtt-user", "line4", "--mqtt-password-file",
                                d + "/password"});
        QTRY_VERIFY_WITH_TIMEOUT(stranger.errors().contains("cannot connect"), 10000);
        QVERIFY2(stranger.errors().contains("certificate verify failed"),
                 stranger.errors().constData());
        QVERIFY(stranger.readings().size() >= 0);
        stranger.signal(SIGTERM);
        QVERIFY(stranger.waitForExit(5000, 0));
        QCOMPARE(sub.payloads("line4/value").size(), logger.readings().size());

        const QByteArray files = d.toUtf8();
        BrokerProcess strict("cafile " + files + "/ca.crt\ncertfile " + files +
                             "/server.crt\nkeyfile " + files +
                             "/server.key\nrequire_certificate true\nuse_identity_as_username "
                             "true\nallow_anonymous false\n");
        QVERIFY2(strict.start(), qPrintable(strict.errorString()));
        const QStringList mine{"--cafile",        d + "/ca.crt", "--cert",
                               d + "/client.crt", "--key",       d + "/client.key"};
        Subscriber certified(strict.port(), "line4/#", mine);
        QVERIFY(certified.waitUntilSubscribed("line4/probe", strict.port(), mine));
        const QString strictUrl = QStringLiteral("mqtts://localhost:%1/line4").arg(strict.port());
        LoggerProcess withCert({"--device", folder.portPath(1), "--mqtt", strictUrl,
                                "--mqtt-cafile", d + "/ca.crt", "--mqtt-certfile",
                                d + "/client.crt", "--mqtt-keyfile", d + "/client.key"});
        QVERIFY2(certified.waitFor("line4/value", 2, 10000), withCert.errors().constData());
        withCert.signal(SIGTERM);
        QVERIFY(withCert.waitForExit(5000, 0));
        LoggerProcess without(
            {"--device", folder.portPath(1), "--mqtt", strictUrl, "--mqtt-cafile", d + "/ca.crt"});
        QTRY_VERIFY_WITH_TIMEOUT(without.errors().contains("cannot connect"), 10000);
        without.signal(SIGTERM);
        QVERIFY(without.waitForExit(5000, 0));
        QCOMPARE(certified.payloads("line4/value").size(), withCert.readings().size());
    }
};

QTEST_GUILESS_MAIN(LoggerMqttTest)
#include "tst_loggermqtt.moc"
