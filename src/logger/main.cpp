#include "core/ProgramFolder.h"
#include "core/Version.h"
#include "logger/Logger.h"
#include "logger/LoggerConfig.h"
#include "logger/MosquittoClient.h"
#include "logger/MqttPublisher.h"
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

    std::unique_ptr<MosquittoClient> client;
    std::unique_ptr<MqttPublisher> publisher;
    if (config.mqtt) {
        const LoggerConfig::Mqtt &m = *config.mqtt;
        client = std::make_unique<MosquittoClient>(
            MosquittoClient::Settings{m.host, m.port, m.tls, m.caFile, m.user, m.password,
                                      QStringLiteral("qsrlink-logger-%1-%2")
                                          .arg(QSysInfo::machineHostName())
                                          .arg(QCoreApplication::applicationPid())});
        publisher = std::make_unique<MqttPublisher>(*client, m.prefix.toUtf8(), m.queueLimit);
    }

    Logger logger(config, lines, clock, out, err, publisher.get());
    StopSignals stopSignals;
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &logger, &Logger::stop);
    QObject::connect(&logger, &Logger::finished, &app, &QCoreApplication::exit);
    if (!logger.start())
        return Logger::failed;
    return app.exec();
}
