#include "core/ProgramFolder.h"
#include "core/Version.h"
#include "logger/Logger.h"
#include "logger/LoggerConfig.h"
#include "logger/MessageJournal.h"
#include "logger/MosquittoClient.h"
#include "logger/MqttPublisher.h"
#include "logger/PlantFeed.h"
#include "logger/StopSignals.h"
#include "monitor/Clock.h"
#include "serial/SerialLines.h"

#include <QCoreApplication>
#include <QFile>
#include <QSysInfo>

#include <cstdio>
#include <memory>

namespace {
constexpr int badOptions = 2;

QByteArray programName()
{
    return QByteArrayLiteral("qsrlink-logger");
}

void warn(QFile &err, const QString &text)
{
    err.write(programName() + ": " + text.toLocal8Bit() + '\n');
    err.flush();
}

// The broker's side of the logger: its client, a lasting queue in the state folder, and
// what the logger announces at each connection.
struct Broker {
    Broker(const LoggerConfig &config, const Clock &clock, QFile &err)
    {
        const LoggerConfig::Mqtt &m = *config.mqtt;
        const QString host = QSysInfo::machineHostName();
        const QString id = m.clientId.isEmpty() ? config.defaultClientId(host) : m.clientId;
        client = std::make_unique<MosquittoClient>(MosquittoClient::Settings{
            m.host, m.port, m.tls, m.caFile, m.certFile, m.keyFile, m.user, m.password, id});
        const QByteArray prefix = m.prefix.toUtf8();
        publisher = std::make_unique<MqttPublisher>(*client, prefix, m.queueLimit);
        publisher->setRetainValues(m.retain);

        const QString state = Logger::stateFolder() + u'/' + config.name();
        QString why;
        if (journal.open(state + QStringLiteral(".mqtt-queue"), &why))
            publisher->keepIn(&journal);
        else
            warn(err, why + QStringLiteral("; readings waiting for the broker are kept in memory "
                                           "only"));

        const PlantFeed::Identity who{Version::text(),
                                      config.instrumentName(),
                                      config.baud,
                                      config.pollSeconds,
                                      config.logPath.isEmpty() ? 0 : config.logSeconds,
                                      host,
                                      config.name(),
                                      id,
                                      clock.now()};
        const QString record = state + QStringLiteral(".mqtt-discovery");
        publisher->setAnnouncements(PlantFeed::announcements(
            prefix, who, m.discovery, PlantFeed::lastDiscoveryTopic(record)));
        const QByteArray topic =
            m.discovery.isEmpty() ? QByteArray() : PlantFeed::discoveryTopic(m.discovery, who);
        // Once the broker has them, a config announced before is gone and this one known.
        QObject::connect(publisher.get(), &MqttPublisher::announced, publisher.get(),
                         [&err, record, topic] {
                             QString why;
                             if (!PlantFeed::keepDiscoveryTopic(record, topic, &why))
                                 warn(err, why);
                         });
    }
    MessageJournal journal; // before the publisher, which writes to it
    std::unique_ptr<MosquittoClient> client;
    std::unique_ptr<MqttPublisher> publisher;
};
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The window's name: the same per-user folder, with the same ports/ links.
    QCoreApplication::setApplicationName(QStringLiteral("qsrlink"));
    QCoreApplication::setApplicationVersion(Version::text());

    QFile out, err;
    out.open(stdout, QIODevice::WriteOnly);
    err.open(stderr, QIODevice::WriteOnly);

    const LoggerOptions::Parsed parsed = LoggerOptions::parse(
        app.arguments().mid(1), {qEnvironmentVariable("CREDENTIALS_DIRECTORY")});
    switch (parsed.outcome) {
    case LoggerOptions::Outcome::Help:
        out.write(parsed.text.toLocal8Bit());
        return 0;
    case LoggerOptions::Outcome::Version:
        out.write(programName() + ' ' + Version::text().toLatin1() + '\n');
        return 0;
    case LoggerOptions::Outcome::Error:
        err.write(programName() + ": " + parsed.text.toLocal8Bit() + "\nTry '" + programName() +
                  " --help' for the options.\n");
        return badOptions;
    case LoggerOptions::Outcome::Run:
        break;
    }
    const LoggerConfig &config = parsed.config;

    ProgramFolder folder = ProgramFolder::forRunningProgram();
    if (!config.linkFolder.isEmpty())
        folder.data = config.linkFolder; // the settings file's folder holds its links
    SerialLines lines(folder);
    Clock clock;

    std::unique_ptr<Broker> broker;
    if (config.mqtt)
        broker = std::make_unique<Broker>(config, clock, err);

    Logger logger(config, lines, clock, out, err, broker ? broker->publisher.get() : nullptr);
    StopSignals stopSignals;
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &logger, &Logger::stop);
    QObject::connect(&logger, &Logger::finished, &app, &QCoreApplication::exit);
    if (!logger.start())
        return Logger::failed;
    return app.exec();
}
